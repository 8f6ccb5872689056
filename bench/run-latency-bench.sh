#!/usr/bin/env bash
# The clients over a link with latency: the real Vaultry_DOWN and Vaultry_UPLOAD (offscreen,
# ending by themselves) against their yardsticks, all through vaultry-bench-latency-proxy (a
# one-way delay of half the round trip each way, and one round trip more before a new
# connection carries bytes) in front of vaultry-fileservice and nginx.
#
#   bench/run-latency-bench.sh [runs]          (default 3 runs per case and round trip)
#
# Environment: LAT_RTTS (default "20 50 100") round trips in ms; LAT_CASES (default
# "dl60 dl180 ul30 dl-big") picks cases; dl-big (1 GiB) runs at the first round trip of
# LAT_BIG_RTTS (default 20) only. BENCH_KEEP=1 keeps the work folder.
#
# Cases: dlN = N small downloads (20-26 KB) in one launch link against curl (one process,
# keep-alive: `curl -K list`) and aria2c (5 at once); ul30 = 30 small uploads against
# vaultry-bench-upload-sender (the listing, then each file and its completion notice, one after
# another); dl-big = a 1 GiB download against curl. Runs alternate client, yardstick(s),
# client, ...; medians are printed with the round trips a file costs ((wall - 1 RTT) / files /
# RTT, rough: start-up is in the wall).
set -euo pipefail
runs=${1:-3}
root_dir=$(cd "$(dirname "$0")/.." && pwd)
cd "$root_dir"
source bench/nginx-yardstick.sh
rtts=${LAT_RTTS:-20 50 100}
cases=${LAT_CASES:-dl60 dl180 ul30 dl-big}
big_rtts=${LAT_BIG_RTTS:-20}

scripts/install-deps.sh build bench
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target Vaultry_DOWN Vaultry_UPLOAD vaultry-fileservice vaultry-pagectl \
  vaultry-bench-meter vaultry-bench-upload-sender vaultry-bench-latency-proxy >/dev/null
bin="$root_dir/build/bin"
meter="$bin/vaultry-bench-meter"

service_address=127.0.0.49 # the file service and nginx
proxy_address=127.0.0.50   # what the clients and yardsticks reach
nginx_port=7581
member=bench
work=$(mktemp -d /tmp/vaultry-latency-bench.XXXXXX)
chmod 755 "$work"
service_pid=""
proxy_pid=""
page_pid=""
nginx_conf=""
cleanup() {
  [ -n "$page_pid" ] && kill "$page_pid" 2>/dev/null || true
  [ -n "$proxy_pid" ] && kill "$proxy_pid" 2>/dev/null || true
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null || true
  [ -n "$nginx_conf" ] && nginx -c "$nginx_conf" -s stop 2>/dev/null || true
  if [ "${BENCH_KEEP:-0}" = 1 ]; then echo "# kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
src="$work/root"
results="$work/results"
mkdir -p "$src" "$results" "$work/config" "$work/runtime" "$work/store" "$work/logs"
chmod 700 "$work/runtime"

# 180 files of 20 to 26 KB from a fixed seed, in a few folders.
entries=()
seed=20261208
for i in $(seq 0 179); do
  ((seed = seed * 6364136223846793005 + 1442695040888963407)) || true
  size=$((20000 + ((seed >> 33) & 0x7fffffff) % 6001))
  n=$(printf %03d "$i")
  case $((i % 3)) in
    0) entry="사진 $n.jpg" ;;
    1) entry="docs/report-$n.pdf" ;;
    *) entry="deep/a/file$n.bin" ;;
  esac
  mkdir -p "$(dirname "$src/$entry")"
  head -c "$size" /dev/urandom >"$src/$entry"
  entries+=("$entry")
done
if [[ " $cases " == *" dl-big "* ]]; then
  echo "# making a 1 GiB file"
  head -c $((1024 * 1024 * 1024)) /dev/urandom >"$src/big.bin"
fi
sync
upload30=()
for e in "${entries[@]:0:30}"; do upload30+=("$src/$e"); done
upload_list=$(IFS=,; echo "${upload30[*]}")

link_of() {
  local codes
  codes=$(printf '%s' "$1" | iconv -f UTF-8 -t CP949 | od -An -tu1 -v | tr -s ' \n' ',,' | sed 's/^,//; s/,$//')
  printf 'vastrelle://%s/' "$codes"
}
url_of() {
  local path=$1 out="" i c
  for ((i = 0; i < ${#path}; i++)); do
    c=${path:i:1}
    case $c in
      [A-Za-z0-9._~/-]) out+=$c ;;
      *) out+=$(printf '%s' "$c" | od -An -tx1 -v | tr -d ' \n' | sed 's/../%&/g') ;;
    esac
  done
  printf 'http://%s:%s/%s' "$proxy_address" "$nginx_port" "$out"
}

"$bin/vaultry-fileservice" --bind "$service_address" --data-address "$proxy_address" \
  --root "$src" --member "$member" --upload-list "small30=$upload_list" \
  --store "$work/store" --quiet >"$work/logs/fileservice.log" 2>&1 &
service_pid=$!
for _ in $(seq 1 200); do grep -qs '^listening on' "$work/logs/fileservice.log" && break; sleep 0.05; done
grep -q '^listening on' "$work/logs/fileservice.log" || { echo "file service did not start" >&2; exit 1; }
start_nginx_yardstick "$work" "$service_address" "$nginx_port" "$src"

export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=offscreen VAULTRY_NO_SHUTDOWN=1
export VAULTRY_FILE_SERVER="$proxy_address" VAULTRY_HOMEPAGE="http://$service_address:7580"
export VAULTRY_MODAL_LOG="$work/logs/boxes.log"
client_out="$work/down-client"
mkdir -p "$XDG_CONFIG_HOME/Vastrelle"
cat >"$XDG_CONFIG_HOME/Vastrelle/Shuttlebox.conf" <<CONF
[Config]
User_Config=1
Default_folder=$client_out
Default_folder_use=1
DOWN_File_over=1
DOWN_Autostart=1
DOWN_List_del=0
DOWN_Program_end=1
DOWN_System_end=0
UP_Autostart=1
UP_Tray=0
UP_Program_end=1
UP_System_end=0
CONF
"$bin/vaultry-pagectl" allow small30 "${upload30[@]}" >"$work/logs/allow.log" 2>&1 || true

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

start_proxy() {
  [ -n "$proxy_pid" ] && { kill "$proxy_pid"; wait "$proxy_pid" 2>/dev/null || true; }
  "$bin/vaultry-bench-latency-proxy" --listen "$proxy_address" --to "$service_address" \
    --rtt-ms "$1" 7510 7301 7312 "$nginx_port" >"$work/logs/proxy.log" 2>&1 &
  proxy_pid=$!
  for _ in $(seq 1 100); do grep -qs '^ready' "$work/logs/proxy.log" && return; sleep 0.02; done
  echo "proxy did not start" >&2
  exit 1
}

# measure KEY COMMAND...: one run under the meter, its line appended to results/KEY.
measure() {
  local key=$1 code=0
  shift
  (cd "$bin" && "$meter" --out "$results/$key" -- "$@") >>"$work/logs/$key.log" 2>&1 || code=$?
  echo "run $key $(tail -n 1 "$results/$key")"
  [ "$code" -eq 0 ] || fail "$key exited with $code: $(tail -n 3 "$work/logs/$key.log" | tr '\n' ' ')"
  if [ -s "$VAULTRY_MODAL_LOG" ]; then
    fail "$key: message boxes: $(tr '\n' ' ' <"$VAULTRY_MODAL_LOG")"
    : >"$VAULTRY_MODAL_LOG"
  fi
}
same_files() { # DIR LABEL ENTRY...
  local dir=$1 label=$2 e
  shift 2
  for e in "$@"; do cmp -s "$src/$e" "$dir/$e" || { fail "$label: $e differs or is missing"; return; }; done
}
fresh() { rm -rf "$@"; mkdir -p "$@"; }

case_dl() { # RTT COUNT
  local rtt=$1 count=$2 i payload="" curl_list="$work/curl.conf" aria_list="$work/aria.list"
  local chosen=("${entries[@]:0:$count}")
  for e in "${chosen[@]}"; do payload+="$e?"; done
  local link
  link=$(link_of "$payload|$member|1")
  : >"$curl_list"
  : >"$aria_list"
  for e in "${chosen[@]}"; do
    printf 'url = "%s"\noutput = "%s"\n' "$(url_of "$e")" "$work/down-curl/$e" >>"$curl_list"
    printf '%s\n  out=%s\n' "$(url_of "$e")" "$e" >>"$aria_list"
  done
  for i in $(seq 1 "$runs"); do
    fresh "$client_out"
    measure "dl$count.$rtt.Vaultry_DOWN" "$bin/Vaultry_DOWN" /url "$link"
    same_files "$client_out" "dl$count Vaultry_DOWN" "${chosen[@]}"
    fresh "$work/down-curl"
    measure "dl$count.$rtt.curl" curl -sS --create-dirs -K "$curl_list"
    same_files "$work/down-curl" "dl$count curl" "${chosen[@]}"
    fresh "$work/down-aria2"
    measure "dl$count.$rtt.aria2c" aria2c -q -j5 --allow-overwrite=true --auto-file-renaming=false \
      -d "$work/down-aria2" -i "$aria_list"
    same_files "$work/down-aria2" "dl$count aria2c" "${chosen[@]}"
  done
}

case_ul() { # RTT
  local rtt=$1 i
  for i in $(seq 1 "$runs"); do
    fresh "$work/store"
    rm -f "$work/logs/page.log"
    "$bin/vaultry-pagectl" serve --once --upload-command "Vaultry_uploader_Manager|small30|$member|1" \
      >"$work/logs/page.log" 2>&1 &
    page_pid=$!
    for _ in $(seq 1 200); do grep -qs '^ready' "$work/logs/page.log" && break; sleep 0.02; done
    measure "ul30.$rtt.Vaultry_UPLOAD" "$bin/Vaultry_UPLOAD"
    kill "$page_pid" 2>/dev/null || true
    wait "$page_pid" 2>/dev/null || true
    page_pid=""
    same_store "ul30 Vaultry_UPLOAD"
    fresh "$work/store"
    measure "ul30.$rtt.plain-sender" "$bin/vaultry-bench-upload-sender" "$proxy_address" small30 1
    same_store "ul30 plain-sender"
  done
}
same_store() {
  local f waited
  for f in "${upload30[@]}"; do
    waited=0
    until cmp -s "$f" "$work/store/$(basename "$f")" || [ $waited -ge 100 ]; do sleep 0.05; waited=$((waited + 1)); done
    cmp -s "$f" "$work/store/$(basename "$f")" || { fail "$1: $(basename "$f") not stored whole"; return; }
  done
}

case_big() { # RTT
  local rtt=$1 i
  for i in $(seq 1 "$runs"); do
    fresh "$client_out"
    measure "dl-big.$rtt.Vaultry_DOWN" "$bin/Vaultry_DOWN" /url "$(link_of "big.bin?|$member|1")"
    cmp -s "$src/big.bin" "$client_out/big.bin" || fail "dl-big Vaultry_DOWN: content differs"
    rm -rf "$client_out"
    fresh "$work/down-curl"
    measure "dl-big.$rtt.curl" curl -sS -o "$work/down-curl/big.bin" "$(url_of big.bin)"
    rm -rf "$work/down-curl"
  done
}

echo "# $(date -u +%Y-%m-%dT%H:%MZ) $(nproc) cores, $runs runs per case; round trips: $rtts"
for rtt in $rtts; do
  start_proxy "$rtt"
  for c in $cases; do
    case $c in
      dl[0-9]*) case_dl "$rtt" "${c#dl}" ;;
      ul30) case_ul "$rtt" ;;
      dl-big) [[ " $big_rtts " == *" $rtt "* ]] && case_big "$rtt" ;;
      *) echo "unknown case $c" >&2; exit 2 ;;
    esac
  done
done

median() {
  [ -f "$results/$1" ] || { echo "-"; return; }
  sed -n 's/.*\bwall=\([0-9.]*\).*/\1/p' "$results/$1" | sort -g |
    awk '{v[NR] = $1} END {if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
echo
echo "| case | RTT ms | program | runs | median wall s | round trips a file | x first yardstick |"
echo "|---|---|---|---|---|---|---|"
for rtt in $rtts; do
  for c in $cases; do
    case $c in
      dl[0-9]*) files=${c#dl}; programs="Vaultry_DOWN curl aria2c" ;;
      ul30) files=30; programs="Vaultry_UPLOAD plain-sender" ;;
      dl-big) files=1; programs="Vaultry_DOWN curl" ;;
    esac
    base=""
    for p in $programs; do
      key="$c.$rtt.$p"
      [ -f "$results/$key" ] || continue
      w=$(median "$key")
      [ -z "$base" ] && [ "$p" != Vaultry_DOWN ] && [ "$p" != Vaultry_UPLOAD ] && base=$w
      per=$(awk -v w="$w" -v r="$rtt" -v n="$files" 'BEGIN {printf "%.1f", (w * 1000 - r) / n / r}')
      echo "| $c | $rtt | $p | $(wc -l <"$results/$key") | $w | $per | KEY_$c.$rtt |"
    done | while IFS= read -r line; do
      key=$(sed 's/.*KEY_\(.*\) |$/\1/' <<<"$line")
      client=$(median "$key.Vaultry_DOWN")
      [ "$client" = "-" ] && client=$(median "$key.Vaultry_UPLOAD")
      yard=$( [ -f "$results/$key.curl" ] && median "$key.curl" || median "$key.plain-sender")
      ratio=$(awk -v a="$client" -v b="$yard" 'BEGIN {if (b == 0 || a == "-" || b == "-") print "-"; else printf "%.2f", a / b}')
      case $line in
        *"| Vaultry_"*) sed "s/KEY_.* |$/$ratio |/" <<<"$line" ;;
        *) sed "s/KEY_.* |$/ |/" <<<"$line" ;;
      esac
    done
  done
done
if [ "$failures" -gt 0 ]; then echo "# $failures check(s) failed; see above" >&2; exit 1; fi
