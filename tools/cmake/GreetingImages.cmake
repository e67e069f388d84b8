# Writes the header that gives the Greetings effect its image paths, in the order of the list
# that the image generator draws them from. Usage: cmake -DLIST=<list> -DOUT=<header> -P <this>
file(STRINGS ${LIST} lines REGEX "^[^#].*\\|")
set(entries "")
set(count 0)
foreach(line ${lines})
  string(REGEX REPLACE "^[ \t]*([^ \t|]+).*" "\\1" file "${line}")
  string(APPEND entries "    \"./Greetings/${file}\",\n")
  math(EXPR count "${count} + 1")
endforeach()
set(text "#pragma once
// Generated from data/text/greetings.txt: the greeting images in the order they are shown.

inline constexpr int kGreetingImageCount = ${count};
inline constexpr const char* kGreetingImagePaths[kGreetingImageCount] = {
${entries}};
")
# Rewritten only when it changes, so that quarn_engine is not rebuilt for nothing.
if(EXISTS ${OUT})
  file(READ ${OUT} old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE ${OUT} "${text}")
endif()
