#!/usr/bin/env bash
# Exits 0 when this machine can run Windows programs of the given architecture (x86|x64).
# 32-bit Wine needs the kernel's 32-bit emulation, which some kernels have switched off.
case ${1:-x64} in
  x64) /usr/lib/wine/wine64 --version >/dev/null 2>&1 ;;
  x86) /usr/lib/wine/wine --version >/dev/null 2>&1 ;;
  *) exit 2 ;;
esac
