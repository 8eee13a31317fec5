# Build for Linux on x86-64 with the musl C library and Zig 0.11's clang:
#   cmake -S . -B build-x86_64-linux-musl --toolchain cmake/x86_64-linux-musl.cmake
# Zig links musl statically into every program, so they all run on any
# x86-64 Linux, this one included: the whole suite runs here, end-to-end
# tests too.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CDMG_ZIG_TARGET x86_64-linux-musl)
set(CDMG_TARGET_RUNS_HERE ON CACHE BOOL "The target's programs run on the build machine")
include(${CMAKE_CURRENT_LIST_DIR}/zig-cross.cmake)
