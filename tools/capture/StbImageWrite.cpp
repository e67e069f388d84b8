// The PNG writer of the capture tool, compiled here: Linux links Debian's libstb, which has no
// Windows build.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
