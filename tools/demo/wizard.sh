#!/usr/bin/env bash
# The wizard on the current simulated PC ($KIT_MACHINE), through its host QelExec:
#   wizard.sh walk [REPORT.json]   the demo's user works the pages unattended; each page printed
#                                  (and the run written as JSON)
#   wizard.sh preview              the same answers as a dry run: the summary's "Detalles..."
#   wizard.sh gui                  the real window, for a person (needs a display)
#   wizard.sh screenshots DIR      the demo's walk, each page saved as DIR/asistente-<dialog>.png
set -euo pipefail
BIN=${KIT_BIN:?KIT_BIN must name the bin folder of a build}
HERE=$(cd "$(dirname "$0")" && pwd)
ANSWERS="$HERE/asistente.ini"
. "$HERE/comun.sh"
instalar_kit

case "${1:-walk}" in
  walk) recorrer "$ANSWERS" ${2:+--report "$2"} ;;
  preview) "$BIN/QelExec" --dir "$KITDIR" --unattended "$ANSWERS" --dry-run ;;
  gui)
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      echo "wizard.sh gui: no display; run it on a desktop or under xvfb-run, or use 'screenshots DIR'" >&2
      exit 2
    fi
    "$BIN/QelExec" --dir "$KITDIR" ;;
  screenshots)
    dir=$(mkdir -p "${2:?screenshots DIR}" && cd "$2" && pwd)
    answers="$KIT_MACHINE/temp/asistente-capturas.ini"
    con_capturas "$ANSWERS" "$dir" "$answers"
    recorrer "$answers" >/dev/null
    ls "$dir"/asistente-*.png ;;
  *) echo "usage: wizard.sh walk [REPORT.json] | preview | gui | screenshots DIR" >&2; exit 2 ;;
esac
