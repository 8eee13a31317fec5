# Build for macOS on x86-64 with Zig 0.11's clang, its C++ library and its
# macOS headers and libraries:
#   cmake -S . -B build-x86_64-macos --toolchain cmake/x86_64-macos.cmake
# Its programs cannot run here: the build compiles and links them.  macOS
# has no static programs, so the program links the system's library.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CDMG_ZIG_TARGET x86_64-macos)
set(CDMG_STATIC OFF CACHE BOOL "Link the program as a static position-independent executable")
include(${CMAKE_CURRENT_LIST_DIR}/zig-cross.cmake)
