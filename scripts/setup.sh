#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, skipping what is there.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  updated=0
fi

for p in g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 googletest cmake g++ make clang; do
  have_pkg "$p" || need+=("$p")
done

if [ ${#need[@]} -gt 0 ] || [ "${updated:-1}" = 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  [ ${#need[@]} -gt 0 ] && apt-get install -y -q --no-install-recommends "${need[@]}"
fi
exit 0
