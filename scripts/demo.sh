#!/usr/bin/env bash
# The main job: build, start the local file service with sample files, and run the download
# client on a launch link to them. With a display the window shows and stays until you end
# it from its exit button; without one it runs offscreen to completion, saves a screenshot
# and prints where the files went.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
root=$PWD
demo=$root/demo-run
rm -rf "$demo"
mkdir -p "$demo/config/Vastrelle" "$demo/runtime" "$demo/downloads"
chmod 700 "$demo/runtime"
export XDG_CONFIG_HOME="$demo/config" XDG_RUNTIME_DIR="$demo/runtime"
export VAULTRY_FILE_SERVER=127.0.0.1 VAULTRY_HOMEPAGE=http://127.0.0.1:7580

build/bin/vaultry-fileservice --demo --demo-root "$demo/files" > "$demo/service.log" 2>&1 &
service=$!
trap 'kill $service 2>/dev/null || true' EXIT
for _ in $(seq 50); do grep -q '^listening on' "$demo/service.log" && break; sleep 0.1; done
if ! grep -q '^listening on' "$demo/service.log"; then
  cat "$demo/service.log"; echo "the file service did not start"; exit 1
fi
link=$(sed -n 's/^launch link: //p' "$demo/service.log")

headless=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then headless=1; fi
cat > "$demo/config/Vastrelle/Shuttlebox.conf" <<CONF
[Config]
User_Config=1
Default_folder=$demo/downloads
Default_folder_use=1
DOWN_File_over=1
DOWN_Autostart=1
DOWN_List_del=0
DOWN_Program_end=$headless
DOWN_System_end=0
UP_Autostart=1
UP_Complute_show=1
CONF

echo "launch link: $link"
if [ "$headless" = 1 ]; then
  export QT_QPA_PLATFORM=offscreen
  export VAULTRY_MODAL_LOG="$demo/message-boxes.log" VAULTRY_SCREENSHOT="$demo/download-window.png"
  export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
  echo "no display: running offscreen until the list is done"
fi
(cd build/bin && ./Vaultry_DOWN /url "$link")
echo
echo "downloaded into $demo/downloads:"
(cd "$demo/downloads" && find . -type f -printf '  %p  (%s bytes)\n' | sort)
if [ "$headless" = 1 ]; then
  echo "screenshot of the window: $demo/download-window.png"
  echo "message boxes answered: $demo/message-boxes.log"
fi
