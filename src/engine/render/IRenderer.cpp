#include "render/IRenderer.h"

IRenderer* gRenderer = nullptr;
