#include "effects/MeshBuffers.h"

#include "render/ITexture.h"

namespace {

const void* FloatOffset(size_t floats) { return reinterpret_cast<const void*>(floats * sizeof(float)); }

void SetPositionNormalPointers(GLsizei stride) {
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, FloatOffset(0));
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_TRUE, stride, FloatOffset(3));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
}

}  // namespace

GLBuffer CreateBuffer(GLenum target, size_t bytes, const void* data, GLenum usage) {
    GLBuffer buffer = GLBuffer::Generate();
    glBindBuffer(target, buffer);
    glBufferData(target, static_cast<GLsizeiptr>(bytes), data, usage);
    return buffer;
}

GLBuffer CreateVertexBuffer(const Model& model, GLenum usage) {
    return CreateBuffer(GL_ARRAY_BUFFER, model.floatCount * sizeof(float), model.vertices.get(), usage);
}

GLBuffer CreateIndexBuffer(const Model& model) {
    return CreateBuffer(GL_ELEMENT_ARRAY_BUFFER, model.indexCount * sizeof(uint32_t), model.indices.get(),
                        GL_STATIC_DRAW);
}

void UploadMesh(Model& model, const char* path, VertexLayout layout, GLBuffer& vertexBuffer, GLBuffer& indexBuffer) {
    LoadModel(model, path, layout);
    vertexBuffer = CreateVertexBuffer(model);
    indexBuffer = CreateIndexBuffer(model);
    model.vertices.reset();
    model.indices.reset();
}

void BindMeshBuffers(GLuint vertexBuffer, GLuint indexBuffer) {
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
}

void SetMeshPointers() {
    SetPositionNormalPointers(6 * sizeof(float));
}

void SetTexturedMeshPointers() {
    constexpr GLsizei kStride = 8 * sizeof(float);
    SetPositionNormalPointers(kStride);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_TRUE, kStride, FloatOffset(6));
    glEnableVertexAttribArray(2);
}

void DrawIndexed(const Model& model) {
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(model.indexCount), GL_UNSIGNED_INT, nullptr);
}

GLuint TextureName(const ITexture* texture) {
    return texture ? texture->name : 0;
}
