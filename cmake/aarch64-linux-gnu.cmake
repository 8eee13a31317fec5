# Cross build for Linux on aarch64: cmake -S . -B build-aarch64 --toolchain cmake/aarch64-linux-gnu.cmake
# (Debian: g++-aarch64-linux-gnu qemu-user).  Programs run under qemu-aarch64.
set(CDMG_CROSS_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
