#!/usr/bin/env bash
# Builds the fuzz targets into build-fuzz/bin/: clang, with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer over everything they run (Qt itself comes from the system).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build fuzz
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVAULTRY_FUZZ=ON -DBUILD_TESTING=OFF -DVAULTRY_WITH_WEBENGINE=OFF >/dev/null
cmake --build build-fuzz --target vaultry_fuzzers -j2
