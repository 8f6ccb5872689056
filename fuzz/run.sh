#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds (default 60), starting from its
# seeds in fuzz/corpus/<target>/. Inputs it finds go to build-fuzz/corpus/<target>/, a
# crashing input (or one that breaks a checked property) to build-fuzz/crashes/. Exits
# non-zero when any target crashed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
fuzz/build.sh >/dev/null
mkdir -p build-fuzz/crashes build-fuzz/logs
failed=()
passed=0
for seeds in fuzz/corpus/*/; do
  target=$(basename "$seeds")
  binary=build-fuzz/bin/$target
  log=build-fuzz/logs/$target.log
  mkdir -p "build-fuzz/corpus/$target"
  if [ ! -x "$binary" ]; then
    echo "$target: no such fuzz target"
    failed+=("$target")
    continue
  fi
  if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="build-fuzz/crashes/$target-" "build-fuzz/corpus/$target" "$seeds" \
      >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target: ${runs:-?} inputs in ${seconds} s, no crash"
    passed=$((passed + 1))
  else
    echo "$target: CRASHED (log $log)"
    grep -E 'ERROR|property broken|runtime error|SUMMARY|Test unit written' "$log" | head -20
    failed+=("$target")
  fi
done
echo "fuzz: $passed passed, ${#failed[@]} failed"
if [ ${#failed[@]} -gt 0 ]; then
  echo "crashed: ${failed[*]}"
  exit 1
fi
