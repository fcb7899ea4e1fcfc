#!/usr/bin/env bash
# Debian 12's arm64 Wine in user emulation, for running the ARM64 builds on an x86-64 machine.
#
#   arm64-wine.sh ensure        build the arm64 root file system and its Wine unless a sound
#                               one is cached (about 10 minutes and 1 GB once per machine)
#   arm64-wine.sh check         exit 0 when the cached root is sound, 1 when not
#   arm64-wine.sh exec CMD...   run CMD inside the root under qemu-aarch64-static (proot);
#                               the build folder, /tmp and the Wine prefixes are bound in
#   arm64-wine.sh path          print the root's folder
#   arm64-wine.sh prefix DIR    make DIR a fresh Wine prefix, copied from the root's template
#
# The root lives outside the clone, shared by every clone on the machine:
# NIVRA_ARM64_ROOT, default /var/cache/nivra/arm64-root. It is built beside itself and moved
# into place only when complete, with a stamp written last, so a broken or half-built root is
# never taken for a sound one; a flock on <root>.lock keeps two callers from building at once.
# Nothing is registered with binfmt_misc: proot runs every arm64 program through qemu itself.
set -euo pipefail

root=${NIVRA_ARM64_ROOT:-/var/cache/nivra/arm64-root}
suite=bookworm
mirror=${NIVRA_ARM64_MIRROR:-http://deb.debian.org/debian}
stamp_name=.nivra-arm64-root
# Bumped when the root's contents change, so older roots are rebuilt.
stamp_text="nivra arm64 root 2: wine64 $suite, prefix template"
# A fresh Wine prefix made once in the root: wineboot -i takes about 100 s emulated, a copy 1 s.
template=var/lib/nivra/prefix
# wine64 and what its windows and message boxes load when a display is there.
packages=(wine64 libx11-6 libxext6 libxrender1 libxrandr2 libxi6 libxcursor1
          libxinerama1 libxcomposite1)

die() { echo "arm64-wine: error: $*" >&2; exit 2; }

need_tools() {
  local t missing=()
  for t in proot qemu-aarch64-static "$@"; do command -v "$t" >/dev/null || missing+=("$t"); done
  [ ${#missing[@]} -eq 0 ] ||
    die "missing ${missing[*]} (scripts/setup.sh installs proot, qemu-user-static, debootstrap)"
}

# Runs a command in DIR as its root user (package installation).
as_root_in() {
  local dir=$1; shift
  proot -0 -q qemu-aarch64-static -r "$dir" -w / \
    -b /dev -b /proc -b /sys -b /etc/resolv.conf -b /etc/hosts \
    /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"
}

sound() {
  [ "$(cat "$root/$stamp_name" 2>/dev/null)" = "$stamp_text" ] || return 1
  [ -x "$root/usr/lib/wine/wine64" ] && [ -x "$root/usr/lib/wine/wineserver64" ] || return 1
  [ -f "$root/$template/system.reg" ] || return 1
  # The emulator starts the root's own programs.
  proot -q qemu-aarch64-static -r "$root" -w / /bin/true 2>/dev/null
}

build() {
  need_tools debootstrap
  local new=$root.new log=$root.log
  rm -rf "$new"
  mkdir -p "$new"
  echo "arm64-wine: building the arm64 root in $root (about 10 minutes; log $log)" >&2
  local t0=$SECONDS
  {
    debootstrap --arch=arm64 --foreign --variant=minbase "$suite" "$new" "$mirror" &&
      as_root_in "$new" /bin/sh -c 'DEBOOTSTRAP_DIR=/debootstrap /debootstrap/debootstrap --second-stage' &&
      echo "deb $mirror $suite main" >"$new/etc/apt/sources.list" &&
      as_root_in "$new" apt-get update -q &&
      as_root_in "$new" apt-get install -y -q --no-install-recommends "${packages[@]}" &&
      as_root_in "$new" apt-get clean
  } >"$log" 2>&1 || { tail -20 "$log" >&2; die "building the arm64 root failed (log $log)"; }
  [ -x "$new/usr/lib/wine/wine64" ] || die "the arm64 root has no wine64 (log $log)"
  rm -rf "$new/var/lib/apt/lists"/* "$new/var/cache/apt"/*.bin
  # The server ends a few seconds after wineboot, and with it Wine's services, so proot returns.
  mkdir -p "$new/$template"
  proot -q qemu-aarch64-static -r "$new" -w / -b /dev -b /proc -b /sys -b /tmp \
    /usr/bin/env WINEPREFIX="/$template" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' \
    /bin/sh -c '/usr/lib/wine/wine64 wineboot -i && /usr/lib/wine/wineserver64 -w' \
    >>"$log" 2>&1 </dev/null || die "wineboot -i failed in the arm64 root (log $log)"
  [ -f "$new/$template/system.reg" ] || die "wineboot -i made no prefix (log $log)"
  echo "$stamp_text" >"$new/$stamp_name"
  rm -rf "$root"
  mv "$new" "$root"
  echo "arm64-wine: arm64 root ready in $((SECONDS - t0)) s ($(du -sh "$root" | cut -f1))" >&2
}

ensure() {
  need_tools
  mkdir -p "$(dirname "$root")"
  sound && return 0
  exec 9>"$root.lock"
  flock 9
  # Another caller may have built it while this one waited.
  sound && return 0
  build
  sound || die "the arm64 root was built but does not run (qemu-aarch64-static, proot)"
}

run_in() {
  sound || die "no sound arm64 root in $root: run scripts/arm64-wine.sh ensure"
  local binds=(-b /dev -b /proc -b /sys -b /tmp -b /etc/resolv.conf)
  # The build folders are bound at their own paths, so paths mean the same inside and out.
  local d
  for d in ${NIVRA_ARM64_BINDS:-}; do binds+=(-b "$d"); done
  exec proot -q qemu-aarch64-static -r "$root" -w "$PWD" "${binds[@]}" "$@"
}

case ${1:-} in
  ensure) ensure ;;
  check) sound ;;
  path) echo "$root" ;;
  prefix)
    [ -n "${2:-}" ] || die "prefix needs a folder"
    sound || die "no sound arm64 root in $root: run scripts/arm64-wine.sh ensure"
    mkdir -p "$2"
    cp -a "$root/$template/." "$2/"
    ;;
  exec) shift; [ $# -gt 0 ] || die "exec needs a command"; run_in "$@" ;;
  *) echo "usage: arm64-wine.sh ensure|check|path|prefix DIR|exec CMD..." >&2; exit 2 ;;
esac
