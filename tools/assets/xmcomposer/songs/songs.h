// The four songs of issue 36. Each builder composes its module from the
// notation in compose.h and the sounds in synth.h; nothing is random.
#pragma once

#include "tools/assets/xmcomposer/xm_file.h"

namespace xmc {

Module glasswork();       // module 1: Ravn, 28 channels, linear table
Module harbourLights();   // module 2: Ilkka aka Lowwater, upbeat chiptune
Module chalkRain();       // module 3: Brin Hallows aka Fen, laid-back groove
Module lastFerryHome();   // module 4: Ravn, melancholic ballad

}  // namespace xmc
