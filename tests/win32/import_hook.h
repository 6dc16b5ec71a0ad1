#pragma once

#include <windows.h>

#include <vector>

namespace quillfen::testing {

// The slots of the import address table through which this program calls
// `function` (imported by name from any DLL). Empty when it imports no such name.
std::vector<void**> ImportSlots(const char* function);

// Writes one slot, which the loader may have left read-only.
void StoreSlot(void** slot, void* target);

// Makes every call this program makes to an imported system function go to
// `replacement` instead, for as long as the hook lives. The program's own code
// calls the system through its import table, so a test can make the system
// fail, or do less than asked, where the real one never would (a flush that
// fails, a write that writes a few bytes).
template <typename Function>
class ImportHook {
 public:
  ImportHook(const char* function, Function* replacement) : slots_(ImportSlots(function)) {
    if (slots_.empty()) return;
    original_ = reinterpret_cast<Function*>(*slots_.front());
    for (void** slot : slots_) StoreSlot(slot, reinterpret_cast<void*>(replacement));
  }
  ~ImportHook() {
    for (void** slot : slots_) StoreSlot(slot, reinterpret_cast<void*>(original_));
  }
  ImportHook(const ImportHook&) = delete;
  ImportHook& operator=(const ImportHook&) = delete;

  // False when the program does not import the function: nothing is hooked.
  bool Installed() const { return !slots_.empty(); }
  Function* Original() const { return original_; }

 private:
  std::vector<void**> slots_;
  Function* original_ = nullptr;
};

}  // namespace quillfen::testing
