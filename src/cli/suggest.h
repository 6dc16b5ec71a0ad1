#pragma once

#include "cli/commands.h"

namespace quillfen {

// quillfen-cli suggest WIDTH HEIGHT FILE...: proposes the keys of a patch that
// finds WIDTH and HEIGHT in every edition of a game file, best first.
int RunSuggest(CliEnvironment& env, const Invocation& call);

}  // namespace quillfen
