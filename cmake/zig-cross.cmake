# What the Zig toolchains share: Zig's clang and its own C library and C++
# library for the target CDMG_ZIG_TARGET (a Zig target triple), set by the
# file that includes this one, on CMAKE_SYSTEM_NAME and
# CMAKE_SYSTEM_PROCESSOR.  Zig is $ENV{CDMG_ZIG}, else the zig on the PATH
# (tools/test-zig installs Zig 0.11 and points CDMG_ZIG at it).  Zig builds
# the C++ library for each target once, into its cache:
# $ENV{ZIG_GLOBAL_CACHE_DIR}, else ${XDG_CACHE_HOME:-$HOME/.cache}/cdmg2csv/zig-cache.
#
# CMake takes one program for the archiver, so the compilers and the
# archiver are small scripts in the build folder that run zig with the
# tool's name and the target.
if(DEFINED ENV{CDMG_ZIG} AND NOT "$ENV{CDMG_ZIG}" STREQUAL "")
  set(cdmg_zig "$ENV{CDMG_ZIG}")
else()
  find_program(cdmg_zig zig REQUIRED)
endif()

set(cdmg_zig_tools ${CMAKE_BINARY_DIR}/zig-${CDMG_ZIG_TARGET})
foreach(tool cc c++ ar ranlib)
  if(tool MATCHES "^c")
    set(arguments "${tool} -target ${CDMG_ZIG_TARGET}")
  else()
    set(arguments "${tool}")
  endif()
  file(CONFIGURE OUTPUT ${cdmg_zig_tools}/${tool} @ONLY CONTENT [==[#!/bin/sh
: "${ZIG_GLOBAL_CACHE_DIR:=${XDG_CACHE_HOME:-$HOME/.cache}/cdmg2csv/zig-cache}"
: "${ZIG_LOCAL_CACHE_DIR:=$ZIG_GLOBAL_CACHE_DIR}"
export ZIG_GLOBAL_CACHE_DIR ZIG_LOCAL_CACHE_DIR
exec "@cdmg_zig@" @arguments@ "$@"
]==])
  file(CHMOD ${cdmg_zig_tools}/${tool} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
       GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()

# CMake asks for install_name_tool on macOS, which Zig does not have; this
# build is never installed, and the stand-in says so should it be called.
if(CMAKE_SYSTEM_NAME STREQUAL Darwin)
  file(WRITE ${cdmg_zig_tools}/install_name_tool
       "#!/bin/sh\necho 'install_name_tool: not in the Zig toolchain' >&2\nexit 1\n")
  file(CHMOD ${cdmg_zig_tools}/install_name_tool PERMISSIONS OWNER_READ OWNER_WRITE
       OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_INSTALL_NAME_TOOL ${cdmg_zig_tools}/install_name_tool CACHE FILEPATH "")
endif()

set(CMAKE_C_COMPILER ${cdmg_zig_tools}/cc)
set(CMAKE_CXX_COMPILER ${cdmg_zig_tools}/c++)
set(CMAKE_AR ${cdmg_zig_tools}/ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${cdmg_zig_tools}/ranlib CACHE FILEPATH "")

# Nothing of the build machine is searched: GoogleTest builds from its
# sources for the target.
set(CMAKE_FIND_ROOT_PATH ${cdmg_zig_tools})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
