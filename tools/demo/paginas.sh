#!/usr/bin/env bash
# Every page of the wizard as the binding draws it, for the user's guide:
#   paginas.sh DIR [ROAD.ini...]   each page saved as DIR/asistente-<dialog>.png
# The demo's road (asistente.ini) and the other roads (paginas/*.ini), each on a fresh PC with
# the router it needs; the first road that reaches a page pictures it. Ends with the list of the
# wizard's pages pictured and not.
set -euo pipefail
BIN=${KIT_BIN:?KIT_BIN must name the bin folder of a build}
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/comun.sh"
dir=$(mkdir -p "${1:?usage: paginas.sh DIR}" && cd "$1" && pwd)
# The pages' own timers sped up; the router and the transfers keep their pace.
export KIT_UI_CLOCK=${KIT_UI_CLOCK:-0.05}

ROADS=(asistente.ini paginas/varios-pc.ini paginas/firmware.ini paginas/clave.ini paginas/fallo.ini
       paginas/sin-router.ini)
# Only the roads named, relative to this folder.
[ $# -le 1 ] || ROADS=("${@:2}")

# What the road needs on the PC and of the router beside it.
preparar() {
  case "$1" in
    paginas/firmware.ini)
      # A firmware file of 96 KB, C:\temp\ras.bin.
      head -c $((96 * 1024)) < <(yes 'Prestige 643 firmware') > "$KIT_MACHINE/temp/ras.bin"
      arrancar_router ;;
    paginas/clave.ini) arrancar_router --password clave7 ;;
    paginas/fallo.ini) arrancar_router --fault drop-data ;;
    paginas/sin-router.ini)
      # The router's console on COM1; the network cable out: nothing answers on any address.
      arrancar_router --com 1
      printf '[Hosts]\r\n' > "$KIT_MACHINE/network.ini" ;;
    *) arrancar_router ;;
  esac
}

declare -A pictured=()
# One road on a PC of its own; its pictures of pages no road before it reached go to DIR.
road() {
  local answers=$1 shots
  export KIT_MACHINE
  KIT_MACHINE=$(mktemp -d /tmp/kit-paginas-XXXXXX)
  nuevo_pc
  shots="$KIT_MACHINE/capturas"
  mkdir -p "$shots"
  instalar_kit
  preparar "$answers"
  con_capturas "$HERE/$answers" "$shots" "$KIT_MACHINE/temp/capturas.ini"
  local start=$SECONDS rc=0
  recorrer "$KIT_MACHINE/temp/capturas.ini" > "$KIT_MACHINE/temp/recorrido.txt" 2>&1 || rc=$?
  esperar_programas
  parar_router
  local png page new=()
  for png in "$shots"/asistente-*.png; do
    [ -e "$png" ] || continue
    page=${png##*/asistente-}
    page=${page%.png}
    [ -n "${pictured[$page]:-}" ] && continue
    pictured[$page]=$answers
    new+=("$page")
    mv "$png" "$dir/"
  done
  local ended="to its end"
  [ "$rc" -ne 2 ] || ended="to its last answer"
  printf '%-24s %3d s  %-18s new: %s\n' "$answers" $((SECONDS - start)) "$ended" "${new[*]:-none}"
  if [ "$rc" -ne 0 ] && [ "$rc" -ne 2 ]; then
    echo "  the road stopped early; the host's last lines:" >&2
    tail -n 5 "$KIT_MACHINE/temp/recorrido.txt" | sed 's/^/    /' >&2
  fi
  rm -rf "$KIT_MACHINE"
}
trap '[ -z "${KIT_MACHINE:-}" ] || { parar_router; rm -rf "$KIT_MACHINE"; }' EXIT

for answers in "${ROADS[@]}"; do road "$answers"; done

# The wizard's pages, by their templates' ids and classes.
echo
missing=0
while read -r id class; do
  if [ -n "${pictured[$id]:-}" ]; then
    printf 'pictured  %s %-20s (%s)\n' "$id" "$class" "${pictured[$id]}"
  else
    printf 'missing   %s %s\n' "$id" "$class"
    missing=$((missing + 1))
  fi
done < <(sed -n 's|^#define IDD_[A-Z0-9]* \(20[0-9][0-9]\) *// *[0-9]* \(CDlg[A-Za-z0-9]*\).*|\1 \2|p' \
           "$HERE/../../wizard/resource.h")
echo "${#pictured[@]} pages pictured in $dir, $missing not; $SECONDS s"
