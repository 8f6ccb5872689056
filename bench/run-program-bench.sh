#!/usr/bin/env bash
# Whole-program benchmark: the real Vaultry_DOWN and Vaultry_UPLOAD, offscreen, each ending by
# itself, in alternating runs with their yardsticks (curl and aria2c from nginx for downloads,
# a plain sender for uploads, and for the big upload the same sender with the client's 20 KiB
# read-and-send loop). Every program is run under vaultry-bench-meter, which reports
# wall time, CPU of the program and all its descendants, and resident memory.
#
#   bench/run-program-bench.sh [runs]          runs per case and program (default 5)
#
# Environment: BENCH_CASES (default "dl-big dl-small ul-big ul-small") picks cases;
# BENCH_KEEP=1 keeps the work folder (inputs, raw results, logs) instead of removing it;
# BENCH_SETTLE_S (default 20) bounds the wait for a quiet machine before each run;
# BENCH_SMALL_ROUTE=page gives the 180 small downloads to Vaultry_DOWN through the page control
# instead of in one launch link (default "link").
#
# Output: one "run" line per measurement while it goes (the meter's key=value pairs), one
# "gnu-time" line per big case (an extra client run under GNU time, for comparison), then one
# "median" line per case and program, the target checks, and the medians as a Markdown table.
set -euo pipefail
. "$(dirname "$0")/nginx-yardstick.sh"
cd "$(dirname "$0")/.."
root_dir=$(pwd)
runs=${1:-5}
cases=${BENCH_CASES:-dl-big dl-small ul-big ul-small}
small_route=${BENCH_SMALL_ROUTE:-link}
if ! [[ "$runs" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: bench/run-program-bench.sh [runs]" >&2
  exit 2
fi

# --- packages and build ---------------------------------------------------------------------
scripts/install-deps.sh build bench
bench_packages=(nginx-light curl aria2 time)
missing=()
for p in "${bench_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "installing: ${missing[*]}"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target Vaultry_DOWN Vaultry_UPLOAD vaultry-fileservice vaultry-pagectl \
  vaultry-bench-meter vaultry-bench-upload-sender >/dev/null
bin="$root_dir/build/bin"
meter="$bin/vaultry-bench-meter"

# --- work folder, inputs ---------------------------------------------------------------------
address=127.0.0.20
nginx_port=7581
member=bench
work=$(mktemp -d /tmp/vaultry-program-bench.XXXXXX)
chmod 755 "$work" # nginx workers read the files as another user
service_pid=""
page_pid=""
nginx_conf=""
cleanup() {
  [ -n "$page_pid" ] && kill "$page_pid" 2>/dev/null || true
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null || true
  [ -n "$nginx_conf" ] && nginx -c "$nginx_conf" -s stop 2>/dev/null || true
  if [ "${BENCH_KEEP:-0}" = 1 ]; then
    echo "# kept $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
src="$work/root"      # what the file service and nginx serve, and what is uploaded
results="$work/results" # raw meter lines, one file per case and program
mkdir -p "$src" "$results" "$work/config" "$work/runtime" "$work/store" "$work/logs"
chmod 700 "$work/runtime"

echo "# making a 1 GiB file and 180 small files in $work"
head -c $((1024 * 1024 * 1024)) /dev/urandom >"$src/big.bin"
# 180 files of 1 to 32 KiB; sizes from a fixed-seed generator (64-bit LCG), so every machine
# gets the same sizes. Names are unique across folders (the upload store keeps names only).
small_entries=()
seed=20261208
for i in $(seq 0 179); do
  ((seed = seed * 6364136223846793005 + 1442695040888963407)) || true
  size=$((1024 + ((seed >> 33) & 0x7fffffff) % (32768 - 1024 + 1)))
  n=$(printf %03d "$i")
  case $((i % 6)) in
    0) entry="사진 $n.jpg" ;;
    1) entry="docs/report-$n.pdf" ;;
    2) entry="폴더/음악 $n.mp3" ;;
    3) entry="deep/a/b/file$n.bin" ;;
    4) entry="자료/문서/보고서-$n.txt" ;;
    *) entry="file$n.dat" ;;
  esac
  mkdir -p "$(dirname "$src/$entry")"
  head -c "$size" /dev/urandom >"$src/$entry"
  small_entries+=("$entry")
done
small_bytes=$(for e in "${small_entries[@]}"; do stat -c %s "$src/$e"; done | awk '{s += $1} END {print s}')
sync

# The launch link: the page's payload in code page 949, one decimal code per byte.
link_of() {
  local codes
  codes=$(printf '%s' "$1" | iconv -f UTF-8 -t CP949 | od -An -tu1 -v | tr -s ' \n' ',,' | sed 's/^,//; s/,$//')
  printf 'vastrelle://%s/' "$codes"
}
big_payload="big.bin?|$member|1"
small_payload=""
for e in "${small_entries[@]}"; do small_payload+="$e?"; done
small_payload+="|$member|1"
big_link=$(link_of "$big_payload")
small_link=$(link_of "$small_payload")

upload_small_list=""
for e in "${small_entries[@]}"; do upload_small_list+="${upload_small_list:+,}$src/$e"; done

# --- servers --------------------------------------------------------------------------------
"$bin/vaultry-fileservice" --bind "$address" --root "$src" --member "$member" \
  --upload-list "big=$src/big.bin" --upload-list "small=$upload_small_list" \
  --store "$work/store" --quiet >"$work/logs/fileservice.log" 2>&1 &
service_pid=$!
for _ in $(seq 1 200); do
  grep -qs '^listening on' "$work/logs/fileservice.log" && break
  sleep 0.05
done
grep -q '^listening on' "$work/logs/fileservice.log" || { echo "file service did not start" >&2; exit 1; }

start_nginx_yardstick "$work" "$address" "$nginx_port" "$src"

# --- the clients' surroundings ---------------------------------------------------------------
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=offscreen VAULTRY_NO_SHUTDOWN=1
export VAULTRY_FILE_SERVER="$address" VAULTRY_HOMEPAGE="http://$address:7580"
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

failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

# CPU ticks of the servers (the file service, nginx and its workers): their work is not the
# measured program's, but an upload's wall time is bound by what the receiving side does.
server_ticks() {
  local pids=("$service_pid") total=0 p f
  if [ -n "$nginx_conf" ] && [ -s "$work/nginx.pid" ]; then
    pids+=("$(cat "$work/nginx.pid")")
    pids+=($(pgrep -P "$(cat "$work/nginx.pid")" || true))
  fi
  for p in "${pids[@]}"; do
    [ -n "$p" ] && [ -r "/proc/$p/stat" ] || continue
    f=$(sed 's/.*) //' "/proc/$p/stat")
    set -- $f
    total=$((total + ${12} + ${13}))
  done
  echo "$total"
}

# Ticks of the whole machine: "busy idle". Other work on the machine shows as busy ticks
# beyond what the measured program and the servers used.
machine_ticks() {
  local _ user nice system idle iowait irq softirq steal
  read -r _ user nice system idle iowait irq softirq steal _ </proc/stat
  echo "$((user + nice + system + irq + softirq + steal)) $((idle + iowait))"
}

# settle: the machine is shared; before a run, wait (at most BENCH_SETTLE_S seconds, default
# 20) for half a second in which other work used less than a third of the two cores, so that
# every program starts under the same quiet, whenever the machine allows it.
settle() {
  local deadline=$((SECONDS + ${BENCH_SETTLE_S:-20})) b0 i0 b1 i1
  while [ $SECONDS -lt $deadline ]; do
    read -r b0 i0 <<<"$(machine_ticks)"
    sleep 0.5
    read -r b1 i1 <<<"$(machine_ticks)"
    [ $((3 * (b1 - b0))) -lt $((b1 - b0 + i1 - i0)) ] && return 0
  done
  return 0
}

# measure CASE PROGRAM COMMAND...: one metered run, from the bin folder (the skins are there).
# The meter's line gets two more figures: server_cpu (seconds the servers spent meanwhile) and
# busy (share of both cores in use meanwhile, by anything).
measure() {
  local case_name=$1 program=$2
  shift 2
  local code=0 s0 s1 m0 m1 b0 i0 b1 i1
  settle
  s0=$(server_ticks)
  m0=$(machine_ticks)
  (cd "$bin" && "$meter" --out "$results/$case_name.$program" -- "$@") \
    >>"$work/logs/$case_name.$program.log" 2>&1 || code=$?
  m1=$(machine_ticks)
  s1=$(server_ticks)
  read -r b0 i0 <<<"$m0"
  read -r b1 i1 <<<"$m1"
  sed -i "\$ s/\$/ server_cpu=$(awk -v t=$((s1 - s0)) -v hz="$ticks_per_s" 'BEGIN {printf "%.2f", t / hz}') busy=$(awk -v b=$((b1 - b0)) -v i=$((i1 - i0)) 'BEGIN {printf "%.2f", (b + i > 0) ? b / (b + i) : 0}')/" \
    "$results/$case_name.$program"
  echo "run $case_name $program $(tail -n 1 "$results/$case_name.$program")"
  [ "$code" -eq 0 ] || fail "$case_name $program exited with $code: $(tail -n 3 "$work/logs/$case_name.$program.log" | tr '\n' ' ')"
}
ticks_per_s=$(getconf CLK_TCK)

# gnu_time CASE PROGRAM COMMAND...: one more run under GNU time, not counted in the medians:
# GNU time waits only for the program, so what its web engine helpers spend after the program
# ended is missing there (compare with the meter's late_cpu).
gnu_time() {
  local case_name=$1 program=$2
  shift 2
  (cd "$bin" && /usr/bin/time -o "$work/logs/gnu-time" \
    -f 'wall=%e user=%U sys=%S maxrss_kib=%M exit=%x' "$@") >>"$work/logs/$case_name.$program.log" 2>&1 || true
  echo "gnu-time $case_name $program $(tail -n 1 "$work/logs/gnu-time")"
}

boxes_empty() {
  if [ -s "$VAULTRY_MODAL_LOG" ]; then
    fail "$1: message boxes: $(tr '\n' ' ' <"$VAULTRY_MODAL_LOG")"
    : >"$VAULTRY_MODAL_LOG"
  fi
}

# same_tree DIR LABEL: DIR holds every small file, byte for byte.
same_tree() {
  local e
  for e in "${small_entries[@]}"; do
    cmp -s "$src/$e" "$1/$e" || { fail "$2: $e differs or is missing"; return; }
  done
}

same_size() {
  local got
  got=$(stat -c %s "$1" 2>/dev/null || echo missing)
  [ "$got" = "$(stat -c %s "$2")" ] || fail "$3: $1 has $got bytes"
}

fresh() {
  rm -rf "$@"
  sync
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
  printf 'http://%s:%s/%s' "$address" "$nginx_port" "$out"
}

curl_list="$work/curl-small.conf"
for e in "${small_entries[@]}"; do
  printf 'url = "%s"\noutput = "%s"\n' "$(url_of "$e")" "$work/down-curl/$e"
done >"$curl_list"

# start_page OPTION COMMAND: the page control stand-in, registered and holding one manager
# command for the next client that announces itself.
start_page() {
  rm -f "$work/logs/page.log"
  "$bin/vaultry-pagectl" serve --once "$1" "$2" >"$work/logs/page.log" 2>&1 &
  page_pid=$!
  for _ in $(seq 1 200); do
    grep -q '^ready' "$work/logs/page.log" 2>/dev/null && break
    sleep 0.02
  done
  grep -q '^ready' "$work/logs/page.log" || fail "page control did not start"
}

end_page() {
  local waited=0
  while kill -0 "$page_pid" 2>/dev/null && [ $waited -lt 100 ]; do
    sleep 0.05
    waited=$((waited + 1))
  done
  if kill -0 "$page_pid" 2>/dev/null; then
    kill "$page_pid" 2>/dev/null || true
    fail "page control still waiting: $(tr '\n' ' ' <"$work/logs/page.log")"
  fi
  wait "$page_pid" 2>/dev/null || true
  page_pid=""
}

# The member's choice: the upload client reads only files the page allowed. Older page
# controls have no "allow"; their refusal is harmless then.
allow_files() {
  local key=$1
  shift
  "$bin/vaultry-pagectl" allow "$key" "$@" >>"$work/logs/allow.log" 2>&1 || allow_refused=1
}
allow_refused=0

# --- cases ------------------------------------------------------------------------------------
case_dl_big() {
  local i
  mkdir -p "$client_out" "$work/down-curl" "$work/down-aria2"
  for i in $(seq 1 "$runs"); do
    fresh "$client_out/big.bin"
    measure dl-big Vaultry_DOWN "$bin/Vaultry_DOWN" /url "$big_link"
    same_size "$client_out/big.bin" "$src/big.bin" "dl-big Vaultry_DOWN"
    boxes_empty "dl-big Vaultry_DOWN"
    [ "$i" -eq 1 ] && { cmp -s "$client_out/big.bin" "$src/big.bin" || fail "dl-big Vaultry_DOWN: content differs"; }

    fresh "$work/down-curl/big.bin"
    measure dl-big curl curl -sS -o "$work/down-curl/big.bin" "$(url_of big.bin)"
    same_size "$work/down-curl/big.bin" "$src/big.bin" "dl-big curl"

    fresh "$work/down-aria2/big.bin"
    measure dl-big aria2c aria2c -q --allow-overwrite=true --auto-file-renaming=false \
      -d "$work/down-aria2" -o big.bin "$(url_of big.bin)"
    same_size "$work/down-aria2/big.bin" "$src/big.bin" "dl-big aria2c"
  done
  fresh "$client_out/big.bin"
  gnu_time dl-big Vaultry_DOWN "$bin/Vaultry_DOWN" /url "$big_link"
  fresh "$client_out" "$work/down-curl" "$work/down-aria2"
}

case_dl_small() {
  local i
  for i in $(seq 1 "$runs"); do
    fresh "$client_out"
    mkdir -p "$client_out"
    if [ "$small_route" = link ]; then
      measure dl-small Vaultry_DOWN "$bin/Vaultry_DOWN" /url "$small_link"
    else
      start_page --download-command "Vaultry_downloader_Manager|$small_payload"
      measure dl-small Vaultry_DOWN "$bin/Vaultry_DOWN"
      end_page
    fi
    same_tree "$client_out" "dl-small Vaultry_DOWN"
    boxes_empty "dl-small Vaultry_DOWN"

    fresh "$work/down-curl"
    measure dl-small curl curl -sS --create-dirs -K "$curl_list"
    same_tree "$work/down-curl" "dl-small curl"
  done
  fresh "$client_out" "$work/down-curl"
}

case_ul() { # KEY FILES...
  local key=$1 i
  shift
  local case_name="ul-$key"
  for i in $(seq 1 "$runs"); do
    fresh "$work/store"
    mkdir -p "$work/store"
    start_page --upload-command "Vaultry_uploader_Manager|$key|$member|1"
    allow_files "$key" "$@"
    measure "$case_name" Vaultry_UPLOAD "$bin/Vaultry_UPLOAD"
    end_page
    boxes_empty "$case_name Vaultry_UPLOAD"
    same_tree_store "$case_name Vaultry_UPLOAD" "$@"

    fresh "$work/store"
    mkdir -p "$work/store"
    measure "$case_name" plain-sender "$bin/vaultry-bench-upload-sender" "$address" "$key" 1
    same_tree_store "$case_name plain-sender" "$@"

    if [ "$key" = big ]; then
      # The same sender with the client's 20480-byte read-and-send loop instead of sendfile:
      # what that loop costs, apart from everything else the client does.
      fresh "$work/store"
      mkdir -p "$work/store"
      measure "$case_name" chunked-sender "$bin/vaultry-bench-upload-sender" --chunk 20480 \
        "$address" "$key" 1
      same_tree_store "$case_name chunked-sender" "$@"
    fi
  done
  if [ "$key" = big ]; then
    fresh "$work/store"
    mkdir -p "$work/store"
    start_page --upload-command "Vaultry_uploader_Manager|$key|$member|1"
    allow_files "$key" "$@"
    gnu_time "$case_name" Vaultry_UPLOAD "$bin/Vaultry_UPLOAD"
    end_page
  fi
  fresh "$work/store"
  mkdir -p "$work/store"
}

# same_tree_store LABEL FILES...: the store holds each file under its name. The service may
# still be writing the last bytes for a moment after the sender closed.
same_tree_store() {
  local label=$1 f waited
  shift
  for f in "$@"; do
    waited=0
    until cmp -s "$f" "$work/store/$(basename "$f")" || [ $waited -ge 100 ]; do
      sleep 0.05
      waited=$((waited + 1))
    done
    cmp -s "$f" "$work/store/$(basename "$f")" || { fail "$label: $(basename "$f") not stored whole"; return; }
  done
}

small_paths=()
for e in "${small_entries[@]}"; do small_paths+=("$src/$e"); done

echo "# $(date -u +%Y-%m-%dT%H:%MZ) $(nproc) cores, $runs runs per case; small files: 180, $small_bytes bytes"
for c in $cases; do
  case $c in
    dl-big) case_dl_big ;;
    dl-small) case_dl_small ;;
    ul-big) case_ul big "$src/big.bin" ;;
    ul-small) case_ul small "${small_paths[@]}" ;;
    *) echo "unknown case $c" >&2; exit 2 ;;
  esac
done
[ "$allow_refused" = 1 ] && echo "# note: vaultry-pagectl allow was refused (not on this build): $(head -n 1 "$work/logs/allow.log")"

# --- medians ----------------------------------------------------------------------------------
# median CASE PROGRAM FIELD: the median of FIELD over the runs (the mean of the middle two for
# an even count).
median() {
  local f="$results/$1.$2"
  [ -f "$f" ] || { echo "-"; return; }
  sed -n "s/.*\b$3=\([0-9.]*\).*/\1/p" "$f" | sort -g |
    awk '{v[NR] = $1} END {if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
range() {
  sed -n "s/.*\b$3=\([0-9.]*\).*/\1/p" "$results/$1.$2" | sort -g | awk 'NR == 1 {lo = $1} {hi = $1} END {printf "%s-%s", lo, hi}'
}
mib() { awk -v k="$1" 'BEGIN {if (k == "-") print "-"; else printf "%.0f", k / 1024}'; }

echo
printf '%-8s %-14s %4s %8s %12s %7s %9s %9s %9s %5s %8s %10s %5s\n' "#case" program runs \
  wall_s wall_range cpu_s rss_mib own_mib tree_mib procs late_cpu server_cpu busy
table=()
for c in $cases; do
  for p in Vaultry_DOWN curl aria2c Vaultry_UPLOAD plain-sender chunked-sender; do
    [ -f "$results/$c.$p" ] || continue
    n=$(wc -l <"$results/$c.$p")
    w=$(median "$c" "$p" wall)
    u=$(median "$c" "$p" cpu)
    r=$(mib "$(median "$c" "$p" maxrss_kib)")
    o=$(mib "$(median "$c" "$p" own_hwm_kib)")
    t=$(mib "$(median "$c" "$p" tree_peak_kib)")
    sc=$(median "$c" "$p" server_cpu)
    printf 'median   %-8s %-14s %4s %8s %12s %7s %9s %9s %9s %5s %8s %10s %5s\n' "$c" "$p" "$n" \
      "$w" "$(range "$c" "$p" wall)" "$u" "$r" "$o" "$t" "$(median "$c" "$p" procs)" \
      "$(median "$c" "$p" late_cpu)" "$sc" "$(median "$c" "$p" busy)"
    table+=("| $c | $p | $n | $w | $(range "$c" "$p" wall) | $u | $o | $t | $sc |")
  done
done

# target NAME VALUE OP LIMIT TEXT
target() {
  local verdict
  if [ "$2" = "-" ] || [ "$4" = "-" ]; then
    verdict="not measured"
  elif awk -v v="$2" -v l="$4" "BEGIN {exit !(v $3 l)}"; then
    verdict=met
  else
    verdict=missed
  fi
  printf 'target   %-34s %-12s (%s)\n' "$1" "$verdict" "$5"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.3f", a / b}'; }

echo
for c in $cases; do
  case $c in
    dl-big)
      wr=$(ratio "$(median dl-big Vaultry_DOWN wall)" "$(median dl-big curl wall)")
      cr=$(ratio "$(median dl-big Vaultry_DOWN cpu)" "$(median dl-big curl cpu)")
      target "dl-big wall <= 0.75 x curl" "$wr" "<=" 0.75 "ratio $wr"
      target "dl-big cpu <= 0.6 x curl" "$cr" "<=" 0.6 "ratio $cr"
      ;;
    dl-small)
      w=$(median dl-small Vaultry_DOWN wall)
      target "dl-small wall < 1.5 s" "$w" "<" 1.5 "$w s"
      ;;
    ul-big)
      wr=$(ratio "$(median ul-big Vaultry_UPLOAD wall)" "$(median ul-big plain-sender wall)")
      target "ul-big wall <= 1.15 x plain sender" "$wr" "<=" 1.15 "ratio $wr"
      ;;
    ul-small)
      w=$(median ul-small Vaultry_UPLOAD wall)
      target "ul-small wall < 2 s" "$w" "<" 2 "$w s"
      ;;
  esac
done

echo
echo "| case | program | runs | wall s | wall range | CPU s | peak RSS MiB | with helpers MiB | server CPU s |"
echo "|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${table[@]}"

if [ "$failures" -gt 0 ]; then
  echo "# $failures check(s) failed; see above" >&2
  exit 1
fi
