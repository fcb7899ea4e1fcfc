#!/usr/bin/env bash
# Fails when a DLL or program imports anything but the system DLLs that every Windows has:
# Explorer could not load one that needs a mingw runtime DLL. The check program may also read
# version resources (version.dll). A DLL must export exactly the five entry points of its
# export table (a runtime linked in can add its own), a program nothing. Reads x86, x64 and
# ARM64 images alike (LLVM's objdump).
set -eu
objdump=llvm-objdump-14
status=0
for image in "$@"; do
  allowed='^(kernel32|user32|gdi32|shell32|ole32|oleaut32|advapi32|msvcrt)\.dll$'
  expected_exports='DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer'
  if [[ $image == *.exe ]]; then
    allowed='^(kernel32|user32|gdi32|shell32|ole32|oleaut32|advapi32|msvcrt|version)\.dll$'
    expected_exports=''
  fi
  dump=$("$objdump" -p "$image") || { echo "$image: cannot be read" >&2; status=1; continue; }
  imports=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump")
  for name in $imports; do
    if ! [[ $name =~ $allowed ]]; then
      echo "$image imports $name, which is not a system DLL" >&2
      status=1
    fi
  done
  exports=$(awk '/^Export Table:/ {table = 1; next}
                 table && /^$/ {table = 0}
                 table && $1 ~ /^[0-9]+$/ && $2 ~ /^0x/ {print $3}' <<<"$dump" | LC_ALL=C sort | xargs)
  if [ "$exports" != "$expected_exports" ]; then
    echo "$image exports '$exports', not '$expected_exports'" >&2
    status=1
  fi
  machine=$(awk '/file format/ {print $NF; exit}' <<<"$dump")
  echo "$(basename "$(dirname "$(dirname "$image")")")/$(basename "$image") ($machine) imports: $(echo $imports)"
done
exit $status
