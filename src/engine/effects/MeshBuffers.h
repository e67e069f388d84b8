#pragma once
// What every effect does with its meshes and buffers: upload, point the fixed attributes at
// them, draw. Shared so that the vertex layouts are written down once.

#include <GL/glew.h>

#include <cstddef>

#include "formats/Model.h"
#include "render/GLObject.h"

class ITexture;

// A new buffer bound to `target`, filled from `data` (which may be null).
GLBuffer CreateBuffer(GLenum target, size_t bytes, const void* data, GLenum usage);
GLBuffer CreateVertexBuffer(const Model& model, GLenum usage = GL_STATIC_DRAW);
GLBuffer CreateIndexBuffer(const Model& model);
// Loads a mesh file into a vertex and an index buffer, both left bound, and frees the model's
// arrays: the model keeps only its counts.
void UploadMesh(Model& model, const char* path, VertexLayout layout, GLBuffer& vertexBuffer, GLBuffer& indexBuffer);
void BindMeshBuffers(GLuint vertexBuffer, GLuint indexBuffer);

// Six floats a vertex: position to attribute 0, normal to attribute 1.
void SetMeshPointers();
// Eight floats a vertex: position, normal, and the texture coordinate to attribute 2.
void SetTexturedMeshPointers();

void DrawIndexed(const Model& model);

// A missing texture binds nothing rather than dereferencing null.
GLuint TextureName(const ITexture* texture);
