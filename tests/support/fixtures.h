#pragma once

#include <string>

#include "support/memory_system.h"
#include "support/recording_view.h"

namespace quillfen::testing {

// The definition file's path in the in-memory system.
inline const std::string kIniPath = "C:\\Program Files\\Quillfen\\patches.ini";

// A fixed drive C: with the program's folder, and a way to write patches.ini.
struct DefinitionsFixture {
  MemorySystem system;
  RecordingView view;

  DefinitionsFixture() { system.AddFolder("C:\\Program Files\\Quillfen"); }
  void WriteIni(const std::string& text) { system.AddFile(kIniPath, text); }
};

}  // namespace quillfen::testing
