# The web player's libraries. OpenAL (over Web Audio), GLES 3 (WebGL2) and the html5 API come
# with Emscripten; Ogg and Vorbis are our own wasm builds of their upstream sources
# (scripts/web-deps.sh), found through QUARN_WEB_DEPS. Emscripten's ports are never used: they
# download from the net on first use.
set(QUARN_WEB_DEPS "$ENV{QUARN_WEB_DEPS}" CACHE PATH "The prefix scripts/web-deps.sh prints")
if(NOT EXISTS "${QUARN_WEB_DEPS}/include/vorbis/vorbisfile.h")
  message(FATAL_ERROR "No wasm Vorbis in '${QUARN_WEB_DEPS}': pass the prefix scripts/web-deps.sh prints as QUARN_WEB_DEPS")
endif()

# Emscripten's OpenAL has no alext.h, and its al.h is too old for Debian's. The engine asks for
# OpenAL Soft's extensions at run time and does without them, so it compiles against Debian's
# headers (declarations only) and links Emscripten's OpenAL, which implements the standard calls.
set(QUARN_OPENAL_HEADERS ${CMAKE_BINARY_DIR}/openal-headers)
file(MAKE_DIRECTORY ${QUARN_OPENAL_HEADERS})
file(CREATE_LINK /usr/include/AL ${QUARN_OPENAL_HEADERS}/AL SYMBOLIC)
add_library(quarn_openal INTERFACE)
target_include_directories(quarn_openal SYSTEM INTERFACE ${QUARN_OPENAL_HEADERS})
target_link_libraries(quarn_openal INTERFACE -lopenal)

add_library(quarn_vorbis INTERFACE)
target_include_directories(quarn_vorbis SYSTEM INTERFACE ${QUARN_WEB_DEPS}/include)
target_link_libraries(quarn_vorbis INTERFACE
  ${QUARN_WEB_DEPS}/lib/libvorbisfile.a ${QUARN_WEB_DEPS}/lib/libvorbis.a ${QUARN_WEB_DEPS}/lib/libogg.a)

# WebGL2 only: a browser without it gets the page's message, not a WebGL1 context.
add_library(quarn_gl INTERFACE)
target_link_options(quarn_gl INTERFACE -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2)
# Emscripten's own GL/glew.h: the GL names the engine calls, on WebGL2.
# It knows anisotropic filtering only by WebGL's EXT name.
add_library(quarn_glew INTERFACE)
target_compile_definitions(quarn_glew INTERFACE GLEW_ARB_texture_filter_anisotropic=0)
target_link_libraries(quarn_glew INTERFACE quarn_gl)

# Header-only libraries are Debian's headers, through links that show them and nothing else of the
# host's /usr/include: stb, and for the editor's server code that the engine carries, Boost's Asio
# and Beast and nlohmann-json.
set(QUARN_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${QUARN_HOST_HEADERS})
foreach(dir stb boost nlohmann)
  file(CREATE_LINK /usr/include/${dir} ${QUARN_HOST_HEADERS}/${dir} SYMBOLIC)
endforeach()
set(STB_INCLUDE_DIRS ${QUARN_HOST_HEADERS}/stb)
# Boost 1.74's Asio takes std::result_of, gone from C++20's libc++, unless told of invoke_result.
add_library(quarn_http INTERFACE)
target_include_directories(quarn_http SYSTEM INTERFACE ${QUARN_HOST_HEADERS})
target_compile_definitions(quarn_http INTERFACE BOOST_ASIO_HAS_STD_INVOKE_RESULT=1)
