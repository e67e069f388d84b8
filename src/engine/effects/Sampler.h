#pragma once
// Sampler objects as every effect reads its textures: the textures carry no sampling state of
// their own, so each read goes through one of these.

#include "render/GLObject.h"

// Clamp to edge on S and T (and R for cube maps), linear magnification, `minFilter` for
// minification and the given anisotropy, set in that order.
GLSampler CreateSampler(GLenum minFilter, float anisotropy, bool clampR = false);
