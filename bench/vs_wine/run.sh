#!/usr/bin/env bash
# Runs loops.cpp two ways and compares them: as a Linux program on the kit's platform (a fresh
# simulated PC) and as a Windows program built by MinGW-w64 and run under Wine (a fresh
# prefix), first with the CPUs free, then with everything pinned to CPU 0.
# Needs build/release/lib/libplatform.so (./kit bench vs_wine builds it first).
# VS_WINE_SECONDS sets the time of each loop (default 0.7).
set -euo pipefail
HERE=$(cd "$(dirname "$(readlink -f "$0")")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
OUT=$ROOT/build/release/vs_wine
LIB=$ROOT/build/release/lib
SECONDS_PER_LOOP=${VS_WINE_SECONDS:-0.7}
MINGW_CXX=x86_64-w64-mingw32-g++
FLAGS=(-std=c++20 -O2 -Wall -Wextra -Werror -finput-charset=UTF-8 -fexec-charset=CP1252 -I"$ROOT")

skip() {
  echo "vs_wine: skipped: $*"
  exit 0
}

# The first of the given commands found on PATH or as an executable path.
first_tool() {
  local t
  for t in "$@"; do
    if command -v "$t" >/dev/null 2>&1; then
      command -v "$t"
      return 0
    fi
  done
  return 1
}

command -v "$MINGW_CXX" >/dev/null 2>&1 ||
  skip "$MINGW_CXX not installed (Debian package g++-mingw-w64-x86-64)"
WINE=$(first_tool wine64 wine /usr/lib/wine/wine64) || skip "wine64 not installed (Debian package wine64)"
WINESERVER=$(first_tool wineserver "$(dirname "$WINE")/wineserver" /usr/lib/wine/wineserver) ||
  skip "wineserver not found beside $WINE (Debian package wine64)"
[ -f "$LIB/libplatform.so" ] || { echo "vs_wine: $LIB/libplatform.so missing: run ./kit bench vs_wine" >&2; exit 1; }

# Always rebuilt (a few seconds): the host side also depends on the platform's headers.
build() {
  mkdir -p "$OUT"
  g++ "${FLAGS[@]}" "$HERE/loops.cpp" -o "$OUT/loops" -L"$LIB" -lplatform -Wl,-rpath,"$LIB" -pthread
  # Static, so the prefix needs none of MinGW's DLLs.
  "$MINGW_CXX" "${FLAGS[@]}" "$HERE/loops.cpp" -o "$OUT/loops.exe" -static
}

WORK=$(mktemp -d)
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
stop_wineserver() {
  [ -d "$WINEPREFIX" ] || return 0
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
}
cleanup() {
  stop_wineserver
  rm -rf "$WORK"
}
trap cleanup EXIT

init_prefix() {
  "$WINE" wineboot -i >"$WORK/wineboot.log" 2>&1 || { cat "$WORK/wineboot.log" >&2; exit 1; }
  stop_wineserver
}

# run_ours PIN...: the loops on a fresh simulated PC (the platform sets up an empty one).
run_ours() {
  local pc
  pc=$(mktemp -d "$WORK/pc.XXXX")
  KIT_MACHINE=$pc "$@" "$OUT/loops" "$SECONDS_PER_LOOP"
}

# run_wine PIN...: a persistent wineserver for the whole placement, a warm-up run, then the
# measured run, so neither the server's start nor the loader's first run is counted.
run_wine() {
  "$@" "$WINESERVER" -p
  "$@" "$WINE" "$OUT/loops.exe" 0.01 >/dev/null
  "$@" "$WINE" "$OUT/loops.exe" "$SECONDS_PER_LOOP" | tr -d '\r'
  stop_wineserver
}

print_table() {
  local title=$1 ours=$2 wine=$3
  echo "vs_wine: $title, $SECONDS_PER_LOOP s per loop; ratio = ours / wine (above 1: ours is faster)"
  awk -F'\t' 'NR == FNR { wine[$1] = $2; next }
    BEGIN { printf "  %-20s %12s %12s %8s\n", "loop", "ours ops/s", "wine ops/s", "ratio" }
    { w = wine[$1]; r = (w > 0) ? sprintf("%.2f", $2 / w) : "-"
      printf "  %-20s %12d %12d %8s\n", $1, $2, w, r }' \
    "$wine" "$ours"
}

# placement TAG TITLE PIN...: both sides under the same CPU placement.
placement() {
  local tag=$1 title=$2
  shift 2
  run_ours "$@" >"$WORK/ours.$tag"
  run_wine "$@" >"$WORK/wine.$tag"
  print_table "$title" "$WORK/ours.$tag" "$WORK/wine.$tag"
}

build
init_prefix
placement free "CPUs free" env
if command -v taskset >/dev/null 2>&1; then
  placement pinned "pinned to CPU 0" taskset -c 0
else
  echo "vs_wine: pinned placement skipped: taskset not installed (Debian package util-linux)"
fi
