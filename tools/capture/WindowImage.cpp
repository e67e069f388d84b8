#include "WindowImage.h"

#include <GL/glew.h>
#include <stb/stb_image_write.h>

void ReadPresentedFrame(int width, int height, std::vector<uint8_t>& rgb) {
    rgb.resize(static_cast<size_t>(width) * height * 3);
    // Mesa's software rasteriser presents by copying the back buffer into the window and keeps
    // it as it was, so the back buffer still holds the frame after the swap (resolved from its
    // samples by the read). Its front buffer reads back black under Xvfb.
    GLint packAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    // The frames that follow run with the player's own pixel-store state.
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
}

bool WritePng(const std::filesystem::path& file, int width, int height, const std::vector<uint8_t>& rgb) {
    const int stride = width * 3;
    // A negative stride walks the rows from the top without a flipped copy.
    const uint8_t* topRow = rgb.data() + static_cast<size_t>(height - 1) * stride;
    return stbi_write_png(file.string().c_str(), width, height, 3, topRow, -stride) != 0;
}
