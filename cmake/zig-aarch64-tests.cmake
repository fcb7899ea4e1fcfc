# Windows-side tests and tools for ARM64, run under Debian's arm64 Wine in user emulation
# (scripts/arm64-wine.sh): zig's clang with libc++ and the mingw-w64 runtime, through the same
# wrappers as the ARM64 product build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/aarch64-windows-cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/aarch64-windows-c++)
set(CMAKE_RC_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/aarch64-w64-mingw32-windres)
set(CMAKE_AR /usr/bin/llvm-ar-14 CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/llvm-ranlib-14 CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
