# Windows-side tests and tools for ARM64, run under Debian's arm64 Wine in user emulation
# (scripts/arm64-wine.sh): the product's zig toolchain, whose clang also links libc++ and
# libunwind where a program asks for C++ (zig has one thread model, so no second set of
# compilers as for mingw-w64).
include(${CMAKE_CURRENT_LIST_DIR}/zig-aarch64-product.cmake)
