# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (package
# g++-mingw-w64-x86-64-posix). The posix flavour is the one whose libstdc++
# has std::thread and std::mutex; the win32 flavour lacks them on GCC 12.
#
# Libraries and headers are taken only from the MinGW sysroot and from the
# prefix scripts/windows-deps.sh builds, never from the host's /usr: a Linux
# libopenal.so or GL/glew.h found by accident would configure and then fail to
# link, or link the wrong thing. QUARN_WINDOWS_DEPS names that prefix; left
# unset, it is the stable link the script maintains in the user's cache.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_quarn_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_quarn_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_quarn_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_quarn_triplet}-windres)

if(NOT QUARN_WINDOWS_DEPS)
  if(DEFINED ENV{QUARN_WINDOWS_DEPS} AND NOT "$ENV{QUARN_WINDOWS_DEPS}" STREQUAL "")
    set(QUARN_WINDOWS_DEPS "$ENV{QUARN_WINDOWS_DEPS}")
  elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(QUARN_WINDOWS_DEPS "$ENV{XDG_CACHE_HOME}/quarn/windows-deps/current")
  else()
    set(QUARN_WINDOWS_DEPS "$ENV{HOME}/.cache/quarn/windows-deps/current")
  endif()
endif()
set(QUARN_WINDOWS_DEPS "${QUARN_WINDOWS_DEPS}" CACHE PATH
    "Prefix holding the Windows builds of OpenAL Soft, libogg, libvorbis and GLEW")
# try_compile() projects read this file again; hand them the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUARN_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${_quarn_triplet} "${QUARN_WINDOWS_DEPS}")
# Build tools (the content generators, code generators) run on the host.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must not answer with the host's .pc files either.
set(ENV{PKG_CONFIG_LIBDIR} "${QUARN_WINDOWS_DEPS}/lib/pkgconfig:/usr/${_quarn_triplet}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
