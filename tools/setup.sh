#!/usr/bin/env bash
# Installs what Corvane needs from Debian, builds it, and then either starts the
# mailer from its program folder ("run") or runs every test through CTest ("test").
# Safe to run again: installs only what is missing and rebuilds only what changed.
set -euo pipefail

mode=${1:-}
case "$mode" in run|test) ;; *) echo "usage: tools/setup.sh run|test" >&2; exit 2 ;; esac

top=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$top/build}
# CORVANE_WERROR=ON makes warnings errors in both builds (CI sets it); unset,
# each build folder keeps what it was configured with.
options=()
[ -z "${CORVANE_WERROR:-}" ] || options+=("-DCORVANE_WERROR=$CORVANE_WERROR")

# The tests of the installed copy check its desktop entries (desktop-file-utils)
# and build the Debian package, whose dependencies CPack reads with
# dpkg-shlibdeps (dpkg-dev) from the programs it recognises with file.
# The fuzz targets are built with clang and its libFuzzer runtime (libclang-rt-dev).
# TLS runs on OpenSSL (libssl-dev); the tests make their certificates with its
# command (openssl). Passwords go to the desktop's secret store through QtKeychain
# (qtkeychain-qt6-dev); its tests run a private gnome-keyring-daemon (gnome-keyring).
# Postfix's smtp-sink (postfix) is a second SMTP server for the tests, and the
# relay tests run a private Postfix of their own (postfix -c, a private port).
packages=(cmake g++ ninja-build pkg-config qt6-base-dev libsqlite3-dev libgtest-dev libgmock-dev
          python3 python3-aiosmtpd dbus-daemon desktop-file-utils dpkg-dev file clang libclang-rt-dev
          libssl-dev openssl qtkeychain-qt6-dev gnome-keyring postfix)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build "$build" -j "${CORVANE_JOBS:-2}"

if [ "$mode" = run ]; then
  exec "$build/dist/corvane"
fi
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "${CORVANE_JOBS:-2}")

# The fuzz targets, in a folder of their own built with clang: a short run of
# each over its corpus in tests/fuzz/corpus/.
fuzz=${CORVANE_FUZZ_BUILD_DIR:-$build-fuzz}
cmake -S "$top" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DCORVANE_FUZZ=ON "${options[@]}" >/dev/null
cmake --build "$fuzz" -j "${CORVANE_JOBS:-2}"
cd "$fuzz"
ctest --output-on-failure -j "${CORVANE_JOBS:-2}"
