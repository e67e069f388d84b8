# Debian's development packages, found through pkg-config and CMake's own modules.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(OPENAL REQUIRED IMPORTED_TARGET openal)
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET vorbisfile vorbisenc vorbis ogg)
pkg_check_modules(STB REQUIRED IMPORTED_TARGET stb)
find_package(OpenGL REQUIRED COMPONENTS OpenGL GLX EGL)
find_package(GLEW REQUIRED)

add_library(quarn_openal INTERFACE)
target_link_libraries(quarn_openal INTERFACE PkgConfig::OPENAL)
add_library(quarn_vorbis INTERFACE)
target_link_libraries(quarn_vorbis INTERFACE PkgConfig::VORBIS)
add_library(quarn_glew INTERFACE)
target_link_libraries(quarn_glew INTERFACE GLEW::GLEW)
add_library(quarn_gl INTERFACE)
target_link_libraries(quarn_gl INTERFACE OpenGL::GL)

# The editor's server: Boost.Asio and Boost.Beast, header-only (no Boost library is linked, and
# nothing that speaks TLS or compresses), and nlohmann-json, header-only too.
find_package(Boost 1.74 REQUIRED)
find_package(Threads REQUIRED)
find_package(nlohmann_json REQUIRED)
add_library(quarn_http INTERFACE)
target_link_libraries(quarn_http INTERFACE Boost::headers Threads::Threads nlohmann_json::nlohmann_json)
