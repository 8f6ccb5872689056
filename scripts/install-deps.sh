#!/usr/bin/env bash
# Installs the Debian packages the project needs, by group (several may be named):
#   build  compiler, CMake, Qt and the Korean font the programs draw with (the default)
#   test   beside the build, what the tests use: xdg-utils, the desktop-entry and AppStream
#          validators, the package tools (dpkg-shlibdeps, file), a D-Bus daemon, Qt's
#          translations
#   demo   beside the build, what scripts/demo.sh uses: xdg-utils for the web flow
#   fuzz   clang and its fuzzer runtime (fuzz/build.sh)
#   bench  the yardsticks of the benchmarks: nginx, curl and aria2 (bench/*.sh)
# Idempotent and non-interactive; needs root (or sudo) only when something is missing.
set -euo pipefail
groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(build)
packages=()
for group in "${groups[@]}"; do
  case "$group" in
    build) packages+=(cmake g++ make pkg-config
                      qt6-base-dev qt6-base-dev-tools qt6-webengine-dev libqt6webenginecore6-bin
                      libgl-dev fonts-nanum) ;;
    test) packages+=(xdg-utils desktop-file-utils appstream dpkg-dev file dbus-daemon
                     qt6-translations-l10n) ;;
    demo) packages+=(xdg-utils) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    bench) packages+=(nginx-light curl aria2) ;;
    *) echo "usage: scripts/install-deps.sh [build|test|demo|fuzz|bench]..." >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "installing: ${missing[*]}"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
