# The Windows libraries, cross-built from their upstream sources by scripts/windows-deps.sh into
# a prefix outside the tree: OpenAL Soft as a DLL (it is LGPL, so a viewer may replace it), Ogg,
# Vorbis and GLEW linked in. stb, nlohmann-json and Boost are header-only, so Debian's headers serve
# here too.
# The toolchain file (cmake/mingw-w64-x86_64.cmake) says where the prefix is.
if(NOT EXISTS "${QUARN_WINDOWS_DEPS}/include/AL/al.h")
  message(FATAL_ERROR "No Windows libraries in ${QUARN_WINDOWS_DEPS}: run scripts/windows-deps.sh first")
endif()

set(STB_INCLUDE_DIRS /usr/include/stb)
# The Linux build whose content tools made the data, and whose resource images are compiled in.
set(QUARN_HOST_BUILD_DIR ${CMAKE_SOURCE_DIR}/build CACHE PATH "The Linux build tree that made the data")

# The import library is named by its full path: the player links everything else statically,
# and a static link would not look for a DLL's import library.
add_library(quarn_openal INTERFACE)
target_include_directories(quarn_openal SYSTEM INTERFACE ${QUARN_WINDOWS_DEPS}/include)
target_link_libraries(quarn_openal INTERFACE ${QUARN_WINDOWS_DEPS}/lib/libOpenAL32.dll.a)
set(QUARN_WINDOWS_DLLS ${QUARN_WINDOWS_DEPS}/bin/OpenAL32.dll)

add_library(quarn_vorbis INTERFACE)
target_include_directories(quarn_vorbis SYSTEM INTERFACE ${QUARN_WINDOWS_DEPS}/include)
target_link_libraries(quarn_vorbis INTERFACE
  ${QUARN_WINDOWS_DEPS}/lib/libvorbisfile.a ${QUARN_WINDOWS_DEPS}/lib/libvorbis.a ${QUARN_WINDOWS_DEPS}/lib/libogg.a)

add_library(quarn_gl INTERFACE)
target_link_libraries(quarn_gl INTERFACE opengl32)

add_library(quarn_glew INTERFACE)
target_include_directories(quarn_glew SYSTEM INTERFACE ${QUARN_WINDOWS_DEPS}/include)
target_compile_definitions(quarn_glew INTERFACE GLEW_STATIC)
target_link_libraries(quarn_glew INTERFACE ${QUARN_WINDOWS_DEPS}/lib/libglew32.a quarn_gl)

# The editor's server: Boost's Asio and Beast and nlohmann-json, header-only, are Debian's own
# headers, the very ones the Linux build compiles. Links hold them, so that the rest of the host's
# /usr/include stays out of sight. Asio wants Windows 10's API, Winsock and its extensions.
foreach(header boost/beast.hpp nlohmann/json.hpp)
  if(NOT EXISTS /usr/include/${header})
    message(FATAL_ERROR "No /usr/include/${header}: run scripts/install-deps.sh first")
  endif()
endforeach()
set(QUARN_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${QUARN_HOST_HEADERS})
file(CREATE_LINK /usr/include/nlohmann ${QUARN_HOST_HEADERS}/nlohmann SYMBOLIC)
file(CREATE_LINK /usr/include/boost ${QUARN_HOST_HEADERS}/boost SYMBOLIC)
add_library(quarn_http INTERFACE)
target_include_directories(quarn_http SYSTEM INTERFACE ${QUARN_HOST_HEADERS})
target_compile_definitions(quarn_http INTERFACE _WIN32_WINNT=0x0A00)
target_link_libraries(quarn_http INTERFACE ws2_32 mswsock)

# A GUI program that needs no runtime DLL of the compiler's beside it; a release carries no symbols
# and no link time stamp, so that the same sources give the same program.
add_link_options(-static $<$<CONFIG:Release>:-s> $<$<CONFIG:Release>:LINKER:--no-insert-timestamp>)
# The POSIX names of the C library's thread-safe calls (localtime_r), which MinGW-w64 maps onto
# their _s counterparts; the value is the one winpthreads gives it.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS=200112L)

# A program that starts the engine carries the player's resources: the fallback texture and the
# icon, compiled in from the images the Linux build drew.
function(quarn_add_windows_resources target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/player/QuarnEngine.rc)
  target_include_directories(${target} PRIVATE ${QUARN_HOST_BUILD_DIR}/generated/images)
endfunction()
