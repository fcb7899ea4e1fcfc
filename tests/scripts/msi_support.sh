# Shared by the Windows Installer tests (sourced): a throwaway prefix, msiexec with a verbose log
# and its time, and registry exports to compare. The caller sets root, work, prefix and arch,
# and views (the registry views to export: 64 32, or 32).
fail() { echo "FAIL: $*" >&2; exit 1; }
wine() { "$root/scripts/wine-run.sh" "$prefix" "$arch" "$@" </dev/null; }
winpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }
quiet() { wine "$@" >/dev/null 2>&1; }
start_prefix() {  # a new prefix in $work, stopped again when the test ends
  rm -rf "$work"
  mkdir -p "$work"
  trap 'bash "$root/scripts/wine-prefix.sh" "$prefix" "$arch" stop' EXIT
  bash "$root/scripts/wine-prefix.sh" "$prefix" "$arch"
}
test_certificate() {  # DIR: a throwaway code-signing certificate, DIR/signer.p12 and DIR/pass.txt
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1/key.pem" -out "$1/cert.pem" -days 2 \
    -subj "/CN=Nivra Test Signer" -addext extendedKeyUsage=codeSigning 2>/dev/null
  echo password >"$1/pass.txt"
  openssl pkcs12 -export -inkey "$1/key.pem" -in "$1/cert.pem" -out "$1/signer.p12" \
    -passout file:"$1/pass.txt"
}

# What registration can touch, per view ("absent" for a missing key).
clsid='{37653C37-DEDE-49F1-A788-4E46787130D9}'
keys=("HKLM\\Software\\Classes\\CLSID\\$clsid" 'HKLM\Software\Classes\NivraShellExtLib.NivraShellExt'
      'HKLM\Software\Classes\NivraShellExtLib.NivraShellExt.1'
      'HKLM\Software\Classes\*\ShellEx\ContextMenuHandlers'
      'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'
      "HKCU\\Software\\Classes\\CLSID\\$clsid" "HKCU\\Software\\Classes\\Wow6432Node\\CLSID\\$clsid"
      'HKCU\Software\Classes\NivraShellExtLib.NivraShellExt'
      'HKCU\Software\Classes\NivraShellExtLib.NivraShellExt.1'
      'HKCU\Software\Classes\*\ShellEx\ContextMenuHandlers')
state=("${keys[@]}" 'HKLM\Software\Nivra' 'HKCU\Software\Nivra')
export_keys() {  # FILE KEY...: every key in every view, one after another
  local file=$1 key view one
  shift
  : >"$file"
  for key in "$@"; do
    for view in "${views[@]}"; do
      one=$work/one.reg
      rm -f "$one"
      echo "[$key /reg:$view]" >>"$file"
      if wine reg export "$key" "$(winpath "$one")" /reg:$view /y >/dev/null 2>&1; then
        iconv -f utf-16 -t utf-8 "$one" | tr -d '\r' | tail -n +2 >>"$file"
      else
        echo absent >>"$file"
      fi
    done
  done
}
same() {  # A B WHAT
  cmp -s "$1" "$2" || { diff "$1" "$2" | head -40; fail "$3"; }
}
files_in() { ls -A "$1" 2>/dev/null || true; }
timed() {  # LABEL COMMAND...: runs it, notes its time
  local label=$1 from=$EPOCHREALTIME status=0
  shift
  "$@" || status=$?
  awk -v a="$from" -v b="$EPOCHREALTIME" -v l="$label" 'BEGIN { printf "%-16s %5.1f s\n", l, b - a }' \
    >>"$work/times.txt"
  return $status
}
msiexec() {  # LABEL ARGS...: the status of msiexec
  local label=$1
  shift
  timed "$label" wine msiexec "$@" /qn /l*v "$(winpath "$work/$label.log")" >/dev/null 2>&1
}
