// The fuzz targets compile stb_image themselves, instrumented, so that the fuzzer is guided by
// the decoder's branches too and the sanitizers see inside it.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
