#!/usr/bin/env bash
# The download window's start-up, memory and per-tick cost, offscreen, against the local
# file service on 127.0.0.20 with a 2 GiB file.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
address=127.0.0.20
work=$(mktemp -d /tmp/vaultry-wbench.XXXXXX)
trap 'kill $service 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/root" "$work/save" "$work/config/Vastrelle" "$work/runtime"
chmod 700 "$work/runtime"
head -c $((2048 * 1024 * 1024)) /dev/urandom > "$work/root/big.bin"
cat > "$work/config/Vastrelle/Shuttlebox.conf" <<CONF
[Config]
User_Config=1
Default_folder=$work/save
Default_folder_use=1
DOWN_File_over=1
DOWN_Autostart=1
CONF
build/bin/vaultry-fileservice --bind "$address" --root "$work/root" --member bench --quiet &
service=$!
sleep 0.5
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
export VAULTRY_FILE_SERVER="$address" VAULTRY_HOMEPAGE="http://$address:7580"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} VAULTRY_MODAL_LOG="$work/boxes.log"
(cd build/bin && ../bin/vaultry-bench-window big.bin)
