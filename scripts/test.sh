#!/usr/bin/env bash
# The whole test run on a fresh Debian machine: packages, build, the members' package, every
# test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build test
scripts/build.sh
# The package is built before the tests: tests/package unpacks it and runs the client from it.
(cd build && cpack -G DEB)
export QT_QPA_PLATFORM=offscreen
(cd build && ctest -j2 --output-on-failure --timeout 600)
# The clients' tests again in a sanitizer build of their own (build-asan/).
scripts/test-asan.sh
# Then every fuzz target for a short while from its seeds (a clang build of its own in
# build-fuzz/, which installs clang first); a crash or a broken property fails the run.
fuzz/run.sh 10
