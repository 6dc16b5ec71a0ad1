#include "definitions/patch_entry.h"

namespace quillfen {

void ClearPatchList(PatchList& list) {
  list.entries_.clear();
}

}  // namespace quillfen
