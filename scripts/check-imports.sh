#!/usr/bin/env bash
# Fails when a DLL or program imports anything but the system DLLs that every Windows has:
# Explorer could not load one that needs a mingw runtime DLL. The check program may also read
# version resources (version.dll).
set -eu
status=0
for dll in "$@"; do
  allowed='^(kernel32|user32|gdi32|shell32|ole32|oleaut32|advapi32|msvcrt)\.dll$'
  [[ $dll != *.exe ]] || allowed='^(kernel32|user32|gdi32|shell32|ole32|oleaut32|advapi32|msvcrt|version)\.dll$'
  dump=$(i686-w64-mingw32-objdump -p "$dll" 2>/dev/null) ||
    dump=$(x86_64-w64-mingw32-objdump -p "$dll")
  imports=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump")
  for name in $imports; do
    if ! [[ $name =~ $allowed ]]; then
      echo "$dll imports $name, which is not a system DLL" >&2
      status=1
    fi
  done
  echo "$(basename "$(dirname "$(dirname "$dll")")")/$(basename "$dll") imports: $(echo $imports)"
done
exit $status
