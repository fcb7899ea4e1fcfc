#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, skipping what is there. Run as root.
set -euo pipefail

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

packages=(cmake g++ make clang libclang-rt-14-dev googletest
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386)
need=()
for p in "${packages[@]}"; do have_pkg "$p" || need+=("$p"); done

added_arch=no
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  added_arch=yes
fi

if [ ${#need[@]} -gt 0 ] || [ $added_arch = yes ]; then
  export DEBIAN_FRONTEND=noninteractive
  echo "setup: installing ${need[*]}"
  apt-get update -q
  if [ ${#need[@]} -gt 0 ]; then
    apt-get install -y -q --no-install-recommends "${need[@]}" >/dev/null
  fi
fi
