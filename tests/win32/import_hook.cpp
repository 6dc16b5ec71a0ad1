#include "win32/import_hook.h"

#include <cstdint>
#include <cstring>

namespace quillfen::testing {

std::vector<void**> ImportSlots(const char* function) {
  auto* const base = reinterpret_cast<std::uint8_t*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  std::vector<void**> slots;
  if (imports.VirtualAddress == 0) return slots;
  for (auto* module =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       module->Name != 0; ++module) {
    // The names stand in the lookup table; the loader wrote the addresses over
    // the address table, entry for entry.
    if (module->OriginalFirstThunk == 0) continue;
    const auto* names =
        reinterpret_cast<const IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
    auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* name =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(name->Name), function) == 0) {
        slots.push_back(reinterpret_cast<void**>(&addresses->u1.Function));
      }
    }
  }
  return slots;
}

void StoreSlot(void** slot, void* target) {
  DWORD was = 0;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &was);
  *slot = target;
  VirtualProtect(slot, sizeof *slot, was, &was);
}

}  // namespace quillfen::testing
