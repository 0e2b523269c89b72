// A renderer header that reaches up into the program: what the layer check rejects.
#pragma once

#include "app/program.h"
