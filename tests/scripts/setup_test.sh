#!/usr/bin/env bash
# scripts/setup.sh against a fake package manager: a mirror whose indexes fail to download, an
# install that only works with the release's own suite preferred, a package that cannot be
# installed at all.
set -uo pipefail
setup=$(cd "$(dirname "$0")/../.." && pwd)/scripts/setup.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/bin/sh
exit 1
FAKE
cat >"$work/bin/dpkg" <<'FAKE'
#!/bin/sh
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
FAKE
# FAKE_UPDATE_FAILS: how many updates fail before one succeeds. FAKE_INSTALL: "ok", "suite"
# (works only with -t) or "never:PKG" (PKG never installs, everything else does).
cat >"$work/bin/apt-get" <<'FAKE'
#!/bin/bash
echo "apt-get $*" >>"$FAKE_LOG"
case $1 in
  update)
    n=$(grep -c '^apt-get update' "$FAKE_LOG")
    [ "$n" -gt "$FAKE_UPDATE_FAILS" ] && exit 0
    echo "E: Some index files failed to download." >&2; exit 100 ;;
  install)
    case $FAKE_INSTALL in
      ok) exit 0 ;;
      suite) [[ " $* " == *" -t "* ]] && exit 0 ;;
      never:*) [[ " $* " == *" ${FAKE_INSTALL#never:}"* ]] || exit 0 ;;
    esac
    echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100 ;;
esac
FAKE
chmod +x "$work/bin/"*

failed=0
run_case() {  # NAME UPDATE-FAILS INSTALL EXPECTED-STATUS GREP-LOG... ; then checks the log
  local name=$1
  export FAKE_UPDATE_FAILS=$2 FAKE_INSTALL=$3 FAKE_LOG=$work/$1.log
  : >"$FAKE_LOG"
  PATH=$work/bin:$PATH NIVRA_APT_PAUSE=0 bash "$setup" >"$work/$name.out" 2>&1
  local status=$?
  if [ "$status" != "$4" ]; then
    echo "FAIL $name: exit $status, expected $4"; cat "$work/$name.out"; failed=1; return
  fi
  shift 4
  local pattern
  for pattern in "$@"; do
    if ! grep -qE -- "$pattern" "$FAKE_LOG" "$work/$name.out"; then
      echo "FAIL $name: no '$pattern' in"; cat "$FAKE_LOG" "$work/$name.out"; failed=1
    fi
  done
  echo "ok $name"
}
count() { grep -c "^apt-get $2" "$work/$1.log"; }

run_case index_fails_once 1 ok 0 'try 1 of 3'
[ "$(count index_fails_once update)" = 2 ] || { echo "FAIL: update not retried once"; failed=1; }

run_case index_never_downloads_install_needs_release_suite 99 suite 0 \
  'going on with those that did' 'install -y .* -t [a-z]+ ' "release's own suite"
[ "$(count index_never_downloads_install_needs_release_suite update)" = 3 ] ||
  { echo "FAIL: update not tried three times"; failed=1; }

run_case package_that_cannot_install_is_named 0 never:wine32:i386 1 \
  'cannot install wine32:i386$'
# A count of tries that is not a positive number is refused at once, never looped on.
for bad in 0 -2 three; do
  NIVRA_APT_ATTEMPTS=$bad PATH=$work/bin:$PATH timeout 20 bash "$setup" >"$work/bad.out" 2>&1
  status=$?
  if [ $status != 2 ] || ! grep -q 'NIVRA_APT_ATTEMPTS must be a positive' "$work/bad.out"; then
    echo "FAIL: NIVRA_APT_ATTEMPTS='$bad' gave exit $status"; cat "$work/bad.out"; failed=1
  fi
done
echo "ok bad attempt counts refused"
exit $failed
