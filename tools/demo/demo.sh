#!/usr/bin/env bash
# The kit's main job on a simulated PC, as far as the kit goes today.
set -euo pipefail
BIN=${KIT_BIN:?KIT_BIN must name the bin folder of a build}
export KIT_MACHINE=$(mktemp -d /tmp/kit-demo-XXXXXX)
trap 'rm -rf "$KIT_MACHINE"' EXIT

step() { printf '\n== %s\n' "$*"; }
# Text the PC writes is Windows 1252; the terminal speaks UTF-8.
show() { iconv -f CP1252 -t UTF-8; }

step "A fresh Windows XP PC in $KIT_MACHINE"
"$BIN/machine" create --os xp --lang 0x0c0a --admin yes
"$BIN/machine" show

step "Part of its registry, exported by regedit"
"$BIN/regedit" /e "$KIT_MACHINE/temp/version.reg" \
  'HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion'
show < "$KIT_MACHINE/temp/version.reg" | head -n 20

step "COM: the sample server registered, used from a client, unregistered"
"$BIN/regsvr32" KitSample.dll | show
"$BIN/kitsample_client" | show
"$BIN/regsvr32" /u KitSample.dll | show
