# Cross build for Linux on s390x: cmake -S . -B build-s390x --toolchain cmake/s390x-linux-gnu.cmake
# (Debian: g++-s390x-linux-gnu qemu-user).  Programs run under qemu-s390x.
set(CDMG_CROSS_PROCESSOR s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
