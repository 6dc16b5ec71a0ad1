// Compiles with the engine's include root: the engine sees itself and the layers below.
#include "engine/patching.h"
#include "platform/system.h"
