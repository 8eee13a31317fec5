# What the Linux cross toolchains share: the Debian cross compiler for
# CDMG_CROSS_PROCESSOR, the target's root for libraries, headers and
# packages, and qemu-user to run its programs (-L lets qemu find the
# target's loader and libraries for the dynamically linked test programs;
# the static cdmg2csv needs none).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${CDMG_CROSS_PROCESSOR})
set(CMAKE_C_COMPILER ${CDMG_CROSS_PROCESSOR}-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER ${CDMG_CROSS_PROCESSOR}-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${CDMG_CROSS_PROCESSOR}-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${CDMG_CROSS_PROCESSOR} -L /usr/${CDMG_CROSS_PROCESSOR}-linux-gnu)
