#!/usr/bin/env bash
# The clients' engines, windows and end-to-end runs again under AddressSanitizer and
# UndefinedBehaviorSanitizer, in build-asan/: only the targets those tests need, without the
# banner (the web engine is not ours, and its own deletes trip the sanitizer). Any finding
# ends the test that made it, and fails the run. -O1 and line tables only: half the build
# time of -O2 -g, and the sanitizers' reports still name file and line.
set -euo pipefail
cd "$(dirname "$0")/.."
tests='^test_(download|upload|engine|e2e)_'
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVAULTRY_SANITIZE=ON \
  -DVAULTRY_WITH_WEBENGINE=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
mapfile -t targets < <(cd build-asan && ctest -N -R "$tests" | sed -n 's/^ *Test *#[0-9]*: //p')
if [ ${#targets[@]} -eq 0 ]; then
  echo "test-asan: no tests match $tests" >&2
  exit 1
fi
cmake --build build-asan -j2 --target "${targets[@]}"
export QT_QPA_PLATFORM=offscreen
(cd build-asan && ctest -j2 --output-on-failure --timeout 600 -R "$tests")
