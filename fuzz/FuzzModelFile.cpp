// An ".exm" file of any bytes, read as both vertex layouts. Whatever is accepted is walked the
// way GL would draw it: every index must name a whole vertex inside the array.
#include <cstddef>
#include <cstdint>

#include "formats/Model.h"

namespace {

void DrawLikeGL(const Model& model, VertexLayout layout) {
    const uint32_t floatsPerVertex = static_cast<uint32_t>(layout);
    volatile float sink = 0.0f;
    for (uint32_t i = 0; i < model.indexCount; ++i)
        for (uint32_t f = 0; f < floatsPerVertex; ++f)
            sink = model.vertices[size_t{model.indices[i]} * floatsPerVertex + f];
    (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (VertexLayout layout : {VertexLayout::kPositionNormal, VertexLayout::kPositionNormalTexture}) {
        Model model;
        if (ParseModel(data, size, layout, model))
            DrawLikeGL(model, layout);
    }
    return 0;
}
