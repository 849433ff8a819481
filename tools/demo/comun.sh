# shellcheck shell=bash
# The demo's PC, router and wizard, shared by the scripts that run the wizard on a simulated PC.
# Sourced; needs BIN (a build's bin folder) and, for all but nuevo_pc, KIT_MACHINE.
LIB=${KIT_LIB:-$(cd "$BIN/../lib" && pwd)}
NIC="Realtek RTL8139 Family PCI Fast Ethernet NIC"

# A fresh Windows XP PC in $KIT_MACHINE with one network card on DHCP, the kit's components
# registered.
nuevo_pc() {
  "$BIN/machine" create --os xp --lang 0x0c0a --admin yes --nic "$NIC" --dhcp >/dev/null
  local server
  for server in DaxParam.dll DaxTcpip.dll DaxModem.dll DaxWPoet.dll; do "$BIN/regsvr32" /s "$server"; done
}

# The simulated Prestige 643 beside the PC, with routersim's own options (--fault, --password,
# --com...). Once configured it also answers at its new LAN address, where the route fixer looks
# for it.
arrancar_router() {
  "$BIN/routersim" start --state "$KIT_MACHINE/router" --machine "$KIT_MACHINE" --restart-seconds 1 \
    --detach "$@" >/dev/null
  sed -n 's/^192\.168\.1\.1:80=/80.58.1.1:80=/p' "$KIT_MACHINE/network.ini" >> "$KIT_MACHINE/network.ini"
}
# The PC's programs the wizard left running (the route fixer checks the router for a moment after
# a configuration), waited for while the router is still there; after 15 s they are ended.
esperar_programas() {
  local pids _
  for _ in $(seq 150); do
    pids=$(pgrep -f "^$KIT_MACHINE/") || return 0
    sleep 0.1
  done
  # shellcheck disable=SC2086 # one id a word
  kill $pids 2>/dev/null || true
}
parar_router() { "$BIN/routersim" stop --state "$KIT_MACHINE/router" >/dev/null 2>&1 || true; }

# The kit installed in the PC's program folder, as its installer leaves it: the wizard with its
# settings, pictures and the router's template, and the route fixer beside it.
instalar_kit() {
  KITDIR="$KIT_MACHINE/program_files/KitADSL"
  mkdir -p "$KITDIR"
  cp "$LIB/QelAsist.so" "$LIB/Config.ini" "$LIB/643.cfg" "$KITDIR/"
  cp -r "$LIB/res" "$KITDIR/"
  cp "$BIN/QelFixRt" "$KITDIR/"
}

# The wizard worked on an answers file (more of the host's options after it). The host's exit
# code 0 says the wizard finished; 2 that the answers ran out where a walk stops.
recorrer() {
  local answers=$1 rc=0
  shift
  "$BIN/QelExec" --dir "$KITDIR" --unattended "$answers" "$@" || rc=$?
  [ "$rc" -eq 0 ] || [ "$rc" -eq 2 ] || { echo "QelExec ended with exit code $rc" >&2; return "$rc"; }
}

# The answers file ANSWERS (UTF-8) with a picture of each page it names, DIR/asistente-<dialog>.png,
# written to OUT in the PC's Windows 1252. A page is pictured each time just before the user
# presses one of its buttons (the last picture stays); a page the user only waits on, once its own
# steps are done (as soon as it shows when it has none).
con_capturas() {
  local answers=$1 dir=$2 out=$3
  iconv -f UTF-8 -t CP1252 "$answers" > "$out.in"
  awk -v dir="$dir" '
    function pagina(linea) { sub(/^\[P.gina /, "", linea); sub(/\].*/, "", linea); return linea }
    function captura() { printf "Captura=%s/asistente-%s.png\r\n", dir, page; pendiente = 0 }
    function fin_de_pagina() { if (pendiente) captura() }
    NR == FNR { if (/^\[P.gina [0-9]+\]/) page = pagina($0); if (/^Pulsar=/) pulsa[page] = 1; next }
    /^\[/ { fin_de_pagina() }
    /^\[P.gina [0-9]+\]/ { page = pagina($0); print; pendiente = !(page in pulsa); next }
    /^Pulsar=/ { captura() }
    { print }
    END { fin_de_pagina() }' "$out.in" "$out.in" > "$out"
  rm -f "$out.in"
}
