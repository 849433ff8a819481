#!/usr/bin/env bash
# The kit's main job on a simulated PC, as far as the kit goes today.
set -euo pipefail
BIN=${KIT_BIN:?KIT_BIN must name the build's bin folder}
export KIT_MACHINE=$(mktemp -d /tmp/kit-demo-XXXXXX)
trap 'rm -rf "$KIT_MACHINE"' EXIT

step() { printf '\n== %s\n' "$*"; }

step "A fresh Windows XP PC in $KIT_MACHINE"
"$BIN/machine" create --os xp --lang 0x0c0a --admin yes
"$BIN/machine" show
