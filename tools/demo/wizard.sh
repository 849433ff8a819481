#!/usr/bin/env bash
# The wizard on the current simulated PC ($KIT_MACHINE), through its host QelExec:
#   wizard.sh walk                 the demo's user works the pages unattended; each page printed
#   wizard.sh gui                  the real window, for a person (needs a display)
#   wizard.sh screenshots DIR      the demo's walk, each page saved as DIR/asistente-<dialog>.png
set -euo pipefail
BIN=${KIT_BIN:?KIT_BIN must name the bin folder of a build}
HERE=$(cd "$(dirname "$0")" && pwd)
ANSWERS="$HERE/asistente.ini"
LIB=${KIT_LIB:-$(cd "$BIN/../lib" && pwd)}
# The kit installed in the PC's program folder, as its installer leaves it: the wizard with its
# settings, pictures and the router's template, and the route fixer beside it.
KITDIR="$KIT_MACHINE/program_files/KitADSL"
install_kit() {
  mkdir -p "$KITDIR"
  cp "$LIB/QelAsist.so" "$LIB/Config.ini" "$LIB/643.cfg" "$KITDIR/"
  cp -r "$LIB/res" "$KITDIR/"
  cp "$BIN/QelFixRt" "$KITDIR/"
}
install_kit

# The host's exit code 0 says the wizard finished; 2 that the answers ran out where a walk stops.
walk() {
  local answers=$1 rc=0
  "$BIN/QelExec" --dir "$KITDIR" --unattended "$answers" || rc=$?
  [ "$rc" -eq 0 ] || [ "$rc" -eq 2 ] || { echo "QelExec ended with exit code $rc" >&2; return "$rc"; }
}

case "${1:-walk}" in
  walk) walk "$ANSWERS" ;;
  gui)
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      echo "wizard.sh gui: no display; run it on a desktop or under xvfb-run, or use 'screenshots DIR'" >&2
      exit 2
    fi
    "$BIN/QelExec" --dir "$KITDIR" ;;
  screenshots)
    dir=$(mkdir -p "${2:?screenshots DIR}" && cd "$2" && pwd)
    # Each page pictured just before the demo's user presses its button; a page the user only
    # waits on, as soon as it shows.
    answers="$KIT_MACHINE/temp/asistente-capturas.ini"
    iconv -f UTF-8 -t CP1252 "$ANSWERS" > "$answers.in"
    awk -v dir="$dir" '
      function pagina(linea) { sub(/^\[P.gina /, "", linea); sub(/\].*/, "", linea); return linea }
      NR == FNR { if (/^\[P.gina [0-9]+\]/) page = pagina($0); if (/^Pulsar=/) pulsa[page] = 1; next }
      /^\[P.gina [0-9]+\]/ { page = pagina($0); print; if (!(page in pulsa)) printf "Captura=%s/asistente-%s.png\r\n", dir, page; next }
      /^Pulsar=/ { printf "Captura=%s/asistente-%s.png\r\n", dir, page }
      { print }' "$answers.in" "$answers.in" > "$answers"
    walk "$answers" >/dev/null
    ls "$dir"/asistente-*.png ;;
  *) echo "usage: wizard.sh walk | gui | screenshots DIR" >&2; exit 2 ;;
esac
