#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test orvflash.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail
. "$(dirname "$0")/report-stop.sh"

# python3-pefile reads the built files for the release checks.
packages=(
  cmake ninja-build g++ make libgtest-dev googletest clang-format
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine64 xvfb x11-utils python3 python3-pefile
  osslsigncode openssl
)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
# 32-bit Wine runs the 32-bit build's tests; it needs the i386 architecture.
need_wine32=""
installed wine32:i386 || need_wine32=1

[ ${#missing[@]} -gt 0 ] || [ -n "$need_wine32" ] || exit 0

wanted=("${missing[@]}")
[ -z "$need_wine32" ] || wanted+=(wine32:i386)
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "setup: cannot install ${wanted[*]}: this needs root, and there is no sudo" >&2
    exit 1
  fi
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
if [ -n "$need_wine32" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386 ||
    echo "setup: cannot add the i386 architecture" >&2
fi
if ! "${sudo_cmd[@]}" apt-get update -qq && [ ${#missing[@]} -gt 0 ]; then
  echo "setup: cannot install ${missing[*]}: apt-get update failed" >&2
  exit 1
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    { echo "setup: cannot install ${missing[*]}: apt-get install failed (see above)" >&2; exit 1; }
fi
if [ -n "$need_wine32" ]; then
  echo "setup: installing wine32:i386"
  # Without it the 32-bit build is still made and its files checked, but not run.
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null ||
    echo "setup: 32-bit Wine could not be installed; the 32-bit build will not be run" >&2
fi
