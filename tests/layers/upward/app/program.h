// The program, which may include the renderer.
#pragma once

#include "render/frame.h"
