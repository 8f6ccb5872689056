#!/usr/bin/env bash
# The main job: build, start the local file service with sample files, and run the download
# client on a launch link to them. With a display the window shows and stays until you end
# it from its exit button; without one it runs offscreen to completion, saves a screenshot
# and prints where the files went.
#
#   scripts/demo.sh          the download client on the demo's launch link
#   scripts/demo.sh --web    the member's file page in the browser, with the handlers of its
#                            vastrelle:// and vastrelle-page:// links registered for this run
#                            only; without a display, an offscreen browser presses the page's
#                            buttons (tools/webdemo) and saves demo-run/web-page.png
#   --bind ADDR              the file service's address (default 127.0.0.1); the service's
#                            ports are fixed, so a second demo runs beside the first on another
#                            loopback address, in demo-run-ADDR
set -euo pipefail
cd "$(dirname "$0")/.."
web=0
address=127.0.0.1
usage() { echo "usage: scripts/demo.sh [--web] [--bind ADDR]" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --web) web=1 ;;
    --bind) [ $# -ge 2 ] || usage; address=$2; shift ;;
    *) usage ;;
  esac
  shift
done
scripts/install-deps.sh build demo
scripts/build.sh
root=$PWD
demo=$root/demo-run
[ "$address" = 127.0.0.1 ] || demo=$root/demo-run-$address
rm -rf "$demo"
mkdir -p "$demo/config/Vastrelle" "$demo/runtime" "$demo/downloads"
chmod 700 "$demo/runtime"
member_config="${XDG_CONFIG_HOME:-$HOME/.config}"
export XDG_CONFIG_HOME="$demo/config" XDG_RUNTIME_DIR="$demo/runtime"
export VAULTRY_FILE_SERVER=$address VAULTRY_HOMEPAGE=http://$address:7580

build/bin/vaultry-fileservice --bind "$address" --demo --demo-root "$demo/files" \
  --store "$demo/store" > "$demo/service.log" 2>&1 &
service=$!
trap 'kill $service 2>/dev/null || true' EXIT
for _ in $(seq 50); do grep -q '^listening on' "$demo/service.log" && break; sleep 0.1; done
if ! grep -q '^listening on' "$demo/service.log"; then
  cat "$demo/service.log"
  echo "the file service did not start on $address (another demo there? try --bind 127.0.0.2)"
  exit 1
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
UP_Program_end=$headless
CONF
if [ "$headless" = 1 ]; then
  export QT_QPA_PLATFORM=offscreen
  export VAULTRY_MODAL_LOG="$demo/message-boxes.log"
  export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
fi

show_results() {
  echo
  echo "downloaded into $demo/downloads:"
  (cd "$demo/downloads" && find . -type f -printf '  %p  (%s bytes)\n' | sort)
  if [ "$web" = 1 ]; then
    echo "uploaded into the service's store $demo/store:"
    (cd "$demo/store" 2>/dev/null && find . -path ./.vaultry-partial -prune -o -type f \
      -printf '  %p  (%s bytes)\n' | sort)
  fi
  if [ "$headless" = 1 ]; then
    if [ -s "$demo/message-boxes.log" ]; then
      echo "message boxes answered: $demo/message-boxes.log"
    else
      echo "no message box was shown"
    fi
  fi
}

if [ "$web" = 0 ]; then
  echo "launch link: $link"
  if [ "$headless" = 1 ]; then
    export VAULTRY_SCREENSHOT="$demo/download-window.png"
    echo "no display: running offscreen until the list is done"
  fi
  (cd build/bin && ./Vaultry_DOWN /url "$link")
  show_results
  if [ "$headless" = 1 ]; then
    echo "screenshot of the window: $demo/download-window.png"
  fi
  exit 0
fi

# The web flow. The handlers are registered in folders of this run only, so the member's own
# handler settings stay as they are: the .desktop files of res/ (their programs named by
# their full path in the build) in a private XDG_DATA_HOME, the defaults in the private
# XDG_CONFIG_HOME. The member's default browser is looked up first and made the run's
# default too; the browser started from here then finds the run's handlers (a Chromium-based
# one keeps a profile of the run's own under demo-run/config).
browser=""
member_data="${XDG_DATA_HOME:-$HOME/.local/share}"
if command -v xdg-mime >/dev/null; then
  browser=$(XDG_CONFIG_HOME="$member_config" \
    xdg-mime query default x-scheme-handler/http 2>/dev/null || true)
fi
applications="$demo/data/applications"
mkdir -p "$applications"
for entry in vastrelle-download vastrelle-page; do
  sed "s|^Exec=|Exec=$root/build/bin/|" "res/$entry.desktop" > "$applications/$entry.desktop"
done
export XDG_DATA_HOME="$demo/data"
export XDG_DATA_DIRS="$member_data:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
if command -v xdg-mime >/dev/null; then
  xdg-mime default vastrelle-download.desktop x-scheme-handler/vastrelle
  xdg-mime default vastrelle-page.desktop x-scheme-handler/vastrelle-page
  if [ -n "$browser" ]; then
    xdg-mime default "$browser" x-scheme-handler/http x-scheme-handler/https text/html
  fi
  echo "handlers for this run: vastrelle:// -> $(xdg-mime query default x-scheme-handler/vastrelle)," \
       "vastrelle-page:// -> $(xdg-mime query default x-scheme-handler/vastrelle-page)"
fi

# Files for the upload chooser.
uploads="$demo/upload-source"
mkdir -p "$uploads"
head -c $((1536 * 1024)) /dev/urandom > "$uploads/올릴 사진.jpg"
printf '업로드 예제 메모입니다.\n' > "$uploads/메모.txt"

page="http://$address:7580/"
if [ "$headless" = 0 ]; then
  echo "the member's file page: $page"
  echo "type the member id 'demo', tick files and press 다운로드 (into $demo/downloads),"
  echo "or press 업로드 and choose files (for example from $uploads)."
  echo "(a browser that was already running keeps its own handler settings and does not see"
  echo " this run's: close it before the demo)"
  xdg-open "$page" || echo "open $page in your browser"
  read -r -p "press Enter here to end the demo (the file service stops) " _ || true
  show_results
  exit 0
fi

echo "no display: the page in an offscreen browser"
build/bin/vaultry-webdemo --page "$page" --applications "$applications" --member demo \
  --screenshot "$demo/web-page.png" --upload "$uploads/올릴 사진.jpg" --upload "$uploads/메모.txt"
# The upload client runs on after the page control has handed it the list.
for _ in $(seq 600); do
  [ "$(grep -c 'upload complete' "$demo/service.log")" -ge 2 ] && break
  sleep 0.1
done
show_results
echo "screenshot of the page: $demo/web-page.png"
