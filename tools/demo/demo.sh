#!/usr/bin/env bash
# The kit's main job on a simulated PC, as far as the kit goes today.
set -euo pipefail
BIN=${KIT_BIN:?KIT_BIN must name the bin folder of a build}
DATA=$(cd "$(dirname "$0")/../../data" && pwd)
PC_DEMO=$(mktemp -d /tmp/kit-demo-XXXXXX)
export KIT_MACHINE=$PC_DEMO
PC_KIT=$(mktemp -d /tmp/kit-demo-install-XXXXXX)
cleanup() {
  # The PCs' programs still running (the route fixer checks its gateway for minutes) end with them.
  local pc
  for pc in "$PC_DEMO" "$PC_KIT"; do pkill -f "^$pc/" 2>/dev/null || true; done
  for state in router router-asistente; do "$BIN/routersim" stop --state "$PC_DEMO/$state" >/dev/null 2>&1 || true; done
  rm -rf "$PC_DEMO" "$PC_KIT"
}
trap cleanup EXIT

step() { printf '\n== %s\n' "$*"; }
# Files of the PC are Windows 1252; the terminal speaks UTF-8 (the tools print UTF-8 already).
show() { iconv -f CP1252 -t UTF-8; }

NIC="Realtek RTL8139 Family PCI Fast Ethernet NIC"
step "A fresh Windows XP PC in $KIT_MACHINE, with one network card on DHCP"
"$BIN/machine" create --os xp --lang 0x0c0a --admin yes --nic "$NIC" --dhcp
"$BIN/machine" show

step "The modem-router beside it: the simulated Prestige 643 at 192.168.1.1 (routersim)"
"$BIN/routersim" start --state "$KIT_MACHINE/router-asistente" --machine "$KIT_MACHINE" --restart-seconds 1 --detach
# Configured, it also answers at its new LAN address, where the route fixer looks for it.
sed -n 's/^192\.168\.1\.1:80=/80.58.1.1:80=/p' "$KIT_MACHINE/network.ini" >> "$KIT_MACHINE/network.ini"

step "The configuration wizard (QelExec loads QelAsist), the kit's components registered: first a dry run of the demo's answers, the summary's Detalles... showing what would change (nothing is changed)"
for server in DaxParam.dll DaxTcpip.dll DaxModem.dll DaxWPoet.dll; do "$BIN/regsvr32" /s "$server"; done
bash "$(dirname "$0")/wizard.sh" preview

step "The wizard's pages worked by the demo's user, unattended, at their own pace — one PC, static addressing, to the end"
bash "$(dirname "$0")/wizard.sh" walk "$KIT_MACHINE/temp/informe.json"
step "The run report for scripts (QelExec --report): its pages and the modem component's events"
python3 - "$KIT_MACHINE/temp/informe.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1], encoding="utf-8"))
print("exit code:", r["salida"])
print("pages:", " ".join(str(p["dialogo"]) for p in r["paginas"]))
modem = [e for e in r["eventos"] if e["componente"].startswith("DaxModem")]
print("modem events:", " ".join(f'{e["evento"]}({e["estado"]},{e["texto"]})@{e["ms"]}ms' for e in modem[:6]), "...")
router = r["final"]["router"] or {}
print("router LAN:", router.get("30200008"), "/", router.get("30200009"), " WAN:", router.get("40000013"))
PY

step "What the wizard left: the router's running settings (LAN, DHCP pool, WAN, NAT)"
"$BIN/routersim" show --state "$KIT_MACHINE/router-asistente" | grep -E '^(30200002|30200003|30200008|30200009|40000011|40000013|40000015) '
step "The PC: its card's TCP/IP, the route fixer's start-up entry and log, the restart asked for"
"$BIN/machine" show | sed -n '/^Network cards/,$p'
"$BIN/regedit" /e "$KIT_MACHINE/temp/run.reg" 'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run'
show < "$KIT_MACHINE/temp/run.reg"
show < "$KIT_MACHINE/temp/QelFixRt.txt" | tail -n 5
show < "$KIT_MACHINE/power.log"
"$BIN/routersim" stop --state "$KIT_MACHINE/router-asistente"

step "Part of its registry, exported by regedit"
"$BIN/regedit" /e "$KIT_MACHINE/temp/version.reg" \
  'HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion'
show < "$KIT_MACHINE/temp/version.reg" | head -n 20

step "COM: the sample server registered, used from a client, unregistered"
"$BIN/regsvr32" KitSample.dll
"$BIN/kitsample_client"
"$BIN/regsvr32" /u KitSample.dll

step "The route fixer: QelFixRt 80.1.2.3 255.255.255.0 (the gateway 80.1.2.1 refuses port 80: it answers)"
printf '[Hosts]\r\n80.1.2.1:80=127.0.0.1:1\r\n' > "$KIT_MACHINE/network.ini"
set +e
"$BIN/QelFixRt" 80.1.2.3 255.255.255.0
echo "exit code: $?"
set -e
# The route commands run on their own; the table is complete once their last one has ended.
for _ in $(seq 100); do
  [ "$(wc -l < "$KIT_MACHINE/routes" 2>/dev/null || echo 0)" -ge 8 ] && break
  sleep 0.05
done
"$BIN/route" PRINT
step "Its trace log, QelFixRt.txt in the temporary folder"
show < "$KIT_MACHINE/temp/QelFixRt.txt"

step "The modem-router: the simulated Prestige 643 at 192.168.1.1, its console on the PC's COM1"
"$BIN/routersim" start --state "$KIT_MACHINE/router" --machine "$KIT_MACHINE" --restart-seconds 1 --com 1 --detach
show < "$KIT_MACHINE/network.ini"
echo "devices/COM1 -> $(readlink "$KIT_MACHINE/devices/COM1")"

step "The modem module: DaxParam and DaxModem registered, the kit's template in its folder"
"$BIN/regsvr32" /s DaxParam.dll
"$BIN/regsvr32" /s DaxModem.dll
KITDIR="$KIT_MACHINE/program_files/Dax"
mkdir -p "$KITDIR"
cp "$DATA/643.cfg" "$KITDIR/"

step "The router's LAN read over its serial console (GetZyxelConfig on COM1, 9600 8N1: about 20 s)"
"$BIN/consolaclient" --port COM1

step "One PC, static addressing: find the router (10.0.0.5 does not answer), configure it, read it back"
"$BIN/zyxelclient" --dir "$KITDIR" \
  check 10.0.0.5,192.168.1.1 \
  --nat 0 --dns 80.58.0.33 80.58.32.97 --dhcp 80.58.1.10 1 \
  --wan 10.0.0.5 255.0.0.0 --lan 80.58.1.1 255.255.255.0 \
  upload download

step "The router's running settings it took (routersim show)"
"$BIN/routersim" show --state "$KIT_MACHINE/router" | grep -E '^(30200002|30200003|30200004|30200005|30200008|30200009|40000011|40000013|40000015) '
step "The module's trace log, DaxModem.txt in the temporary folder"
show < "$KIT_MACHINE/temp/DaxModem.txt" | grep -v "^$" | tail -n 40

# The adapters part of machine show: its cards and the ipconfig text.
adapters() { "$BIN/machine" show | sed -n '/^Network cards/,$p'; }

step "The TCP/IP module: DaxTcpip registered; the PC's adapters (CheckNics2)"
"$BIN/regsvr32" /s DaxTcpip.dll
"$BIN/tcpipclient" installed
"$BIN/tcpipclient" list
step "The card's settings (GetTcpipConfig2)"
"$BIN/tcpipclient" read "{1} $NIC"
step "A static configuration written straight into the registry (SetTcpipConfig2): before and after"
adapters
"$BIN/tcpipclient" write "{1} $NIC" --ip 80.58.1.10/255.255.255.0 --gw 80.58.1.1 --dns 80.58.0.33 --dns 80.58.32.97
adapters
step "Back to DHCP, deferred: the change waits in TcpChang.reg, then ExecuteTcpipChanges imports it"
"$BIN/tcpipclient" write "{1} $NIC" --dhcp --deferred
show < "$KIT_MACHINE/temp/TcpChang.reg"
"$BIN/tcpipclient" apply
adapters
step "The module's trace log of the writes, DaxSetTcpip.txt"
show < "$KIT_MACHINE/temp/DaxSetTcpip.txt" | grep -v "^$" | tail -n 25

step "The PPPoE module: WinPoET installed on the PC, DaxWPoet registered, the kit's config.ini naming its key"
"$BIN/machine" pppoe winpoet --winpoet-selector 1
"$BIN/machine" show | sed -n '/^Dial-up networking/,/^Network cards/p' | grep -v '^Network cards'
"$BIN/regsvr32" /s DaxWPoet.dll
printf '[General]\r\nRegistro=ADSL\r\n' > "$KITDIR/config.ini"
step "What the PC has for the line (WPoet.GetInfo)"
(cd "$KITDIR" && "$BIN/pppoeclient" info)
step "The connection \"Conexión ADSL Router\" made (WPoet.CreateConnection), and the phone book after it"
(cd "$KITDIR" && "$BIN/pppoeclient" create usuario@telefonica.net clave-secreta)
"$BIN/machine" show | sed -n '/^Phone book/,/^Network cards/p' | grep -v '^Network cards'
sed -n '1,12p' "$KIT_MACHINE/appdata/Microsoft/Network/Connections/Pbk/rasphone.pbk" | tr -d '\r'
step "The module's trace log, DaxWPoet.txt"
show < "$KIT_MACHINE/temp/DaxWPoet.txt" | grep -v "^$" | tail -n 30

# --- The kit installed and uninstalled -------------------------------------------------------------
export KIT_MACHINE=$PC_KIT
# The PC's own files, without its temporary folder, its registry and the platform's bookkeeping.
pc_files() { (cd "$KIT_MACHINE" && find . -mindepth 1 \( -path ./temp -o -path ./objects -o -name 'registry*' -o -name '.*' -o -name '*.lock' -o -name power.log -o -name '*.reg' -o -path ./routes -o -path ./antes.txt -o -path ./despues.txt \) -prune -o -print | sort); }
step "The kit's installer on a fresh Windows XP PC (tools/install): what the PC had before"
"$BIN/machine" create --os xp --lang 0x0c0a --admin yes --nic "$NIC" --dhcp >/dev/null
"$BIN/regedit" /e "$KIT_MACHINE/antes.reg"
pc_files > "$KIT_MACHINE/antes.txt"
echo "$(wc -l < "$KIT_MACHINE/antes.txt") files and folders, $(grep -c '^\[' "$KIT_MACHINE/antes.reg") registry keys"
"$BIN/install"
step "What the installation left: its folders and files, the shortcuts, the COM servers, the counters, the application key"
pc_files | comm -13 "$KIT_MACHINE/antes.txt" -
"$BIN/regedit" /e "$KIT_MACHINE/instalado.reg"
added() { diff <(show < "$KIT_MACHINE/antes.reg") <(show < "$KIT_MACHINE/instalado.reg") | tr -d '\r' | grep '^>' || true; }
echo "registry keys added: $(added | grep -c '^> \[')"; echo "among them, the objects' names and the kit's own keys:"
added | grep -E '^> \[HKEY_LOCAL_MACHINE\\Software\\(Classes\\[A-Za-z]+\.[A-Za-z0-9]+|Nuv[^]]*)\]$' | sed 's/^> /  /'
added | grep -F 'Nuv\\Dax' | grep -F '=dword:' | sed 's/^> /SharedDlls: /'
step "Install.log, the record the uninstaller undoes (first lines)"
INSTDIR="$KIT_MACHINE/program_files/Nuv/Dax/KitADSL"
show < "$INSTDIR/Install.log" | tr -d '\r' | head -n 24
step "Uninstal, run from the installation as its shortcut runs it; the demo's user answers its questions (tools/demo/desinstalar.ini)"
KIT_ANSWERS="$(dirname "$0")/desinstalar.ini" "$INSTDIR/Uninstal"
step "What waits for the next start: the uninstaller's own file, its clean-up program's RunOnce entries"
"$BIN/regedit" /e "$KIT_MACHINE/pendiente.reg" "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"
show < "$KIT_MACHINE/pendiente.reg" | tr -d '\r' | grep -v '^$'
tail -n 1 "$KIT_MACHINE/power.log"
step "The PC starts again (machine reboot): the pending deletion, then RunOnce"
"$BIN/machine" reboot
step "What remains of the kit: files and registry against the PC before the installation (the maker's key stays)"
"$BIN/regedit" /e "$KIT_MACHINE/despues.reg"
pc_files > "$KIT_MACHINE/despues.txt"
echo "files and folders added: $(comm -13 "$KIT_MACHINE/antes.txt" "$KIT_MACHINE/despues.txt" | wc -l), removed: $(comm -23 "$KIT_MACHINE/antes.txt" "$KIT_MACHINE/despues.txt" | wc -l)"
comm -3 "$KIT_MACHINE/antes.txt" "$KIT_MACHINE/despues.txt" | sed 's/^/  /'
echo "registry, before -> after:"
{ diff <(show < "$KIT_MACHINE/antes.reg") <(show < "$KIT_MACHINE/despues.reg") || true; } | tr -d '\r' | grep -E '^[<>] .' | sed 's/^/  /'
