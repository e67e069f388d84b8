#include "effects/ParticleCloud.h"

#include "math/Random.h"

double DrawCloudFraction() {
    return static_cast<double>(quarn::rand() % 10000) / 5000.0;
}

void SetParticlePointers() {
    constexpr GLsizei stride = sizeof(ParticleRecord);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(ParticleRecord, x)));
    glVertexAttribPointer(1, 1, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(ParticleRecord, w)));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
}

void DrawParticleSprites(GLsizei count) {
    if constexpr (kSpritesHaveGeometryStage) {
        glDrawArrays(GL_POINTS, 0, count);
    } else {
        // Per sprite, not per vertex, for this draw only: the vertex array may hold meshes too.
        glVertexAttribDivisor(0, 1);
        glVertexAttribDivisor(1, 1);
        glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, count);
        glVertexAttribDivisor(0, 0);
        glVertexAttribDivisor(1, 0);
    }
}

void FillCloudBox(std::span<ParticleRecord> records) {
    auto coordinate = [] { return static_cast<float>(quarn::rand() % 200 - 100); };
    for (ParticleRecord& record : records) {
        // One statement per draw: the order of the draws is part of the picture.
        record.x = coordinate();
        record.y = coordinate();
        record.z = coordinate();
        record.w = static_cast<float>(quarn::rand() % 10) / 5.0f;
    }
}
