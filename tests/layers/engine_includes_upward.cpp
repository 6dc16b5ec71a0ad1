// Must not compile with the engine's include root: the engine knows nothing of the window.
#include "ui/view.h"
