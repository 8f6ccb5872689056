#!/bin/sh
# Redraws every picture in res/ from the generator's code.
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
cmake -S "$root" -B "$root/build" >/dev/null
cmake --build "$root/build" -j2 --target vaultry-artgen
QT_QPA_PLATFORM=offscreen "$root/build/bin/vaultry-artgen" "$root/res"
