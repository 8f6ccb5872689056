#!/usr/bin/env bash
# Download throughput on loopback: the engine, plain receive loops and curl from nginx, all
# fetching the same 1 GiB file in one run. Results go to standard output.
set -euo pipefail
. "$(dirname "$0")/nginx-yardstick.sh"
cd "$(dirname "$0")/.."
scripts/install-deps.sh build bench
scripts/build.sh >/dev/null
address=127.0.0.20
work=$(mktemp -d /tmp/vaultry-bench.XXXXXX)
service_pid=""
nginx_conf=""
cleanup() {
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null || true
  [ -n "$nginx_conf" ] && nginx -c "$nginx_conf" -s stop 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/root/small" "$work/out" "$work/config" "$work/runtime"
chmod 755 "$work" # nginx workers read the files as another user
chmod 700 "$work/runtime"
echo "making a 1 GiB file and 180 small files in $work"
head -c $((1024 * 1024 * 1024)) /dev/urandom > "$work/root/big.bin"
for i in $(seq 0 179); do head -c $((20000 + i * 97)) /dev/urandom > "$work/root/small/s$(printf %03d "$i")"; done
sync

build/bin/vaultry-fileservice --bind "$address" --root "$work/root" --member bench --quiet &
service_pid=$!
sleep 0.5
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
build/bin/vaultry-bench-download "$address" big.bin small/s 180 "$work/out"

start_nginx_yardstick "$work" "$address" 7581 "$work/root"
sleep 0.3
TIMEFORMAT='%R %U %S'
timing=$( { time curl -s -o "$work/out/curl.bin" "http://$address:7581/big.bin" ; } 2>&1 )
read -r real user sys <<<"$timing"
bytes=$(stat -c %s "$work/out/curl.bin")
awk -v b="$bytes" -v r="$real" -v u="$user" -v s="$sys" 'BEGIN {
  printf "%-28s %12d bytes %8.3f s %9.1f MB/s %7.3f cpu-s/GiB\n", "curl from nginx", b, r, b / 1e6 / r, (u + s) / (b / 1073741824) }'
