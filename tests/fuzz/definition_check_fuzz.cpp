// Fuzz target: the profile reader and the definition check on arbitrary bytes.
// Besides not crashing or hanging, the check must agree with the program's own
// reading: every value it judged is the value a lookup gives, at a line of the
// file that holds that key, and its game list and patch counts are those game
// loading reads.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/profile_reader.h"
#include "definitions/definition_check.h"
#include "definitions/game_loading.h"
#include "definitions/ini.h"
#include "platform/system.h"

namespace {

using quillfen::Bytes;

// A system that holds one profile file and nothing else.
class ProfileOnlySystem : public quillfen::System {
 public:
  explicit ProfileOnlySystem(const std::string& text) : profile_(quillfen::Profile::Parse(text)) {}
  std::string ExecutablePath() override { return "C:\\quillfen.exe"; }
  std::string ExecutableFolder() override { return "C:\\"; }
  char Separator() override { return '\\'; }
  std::string ReadProfileString(const std::string& section, const std::string& key,
                                const std::string& path) override {
    if (path != "C:\\patches.ini") std::abort();
    return profile_.Value(section, key);
  }
  bool FileExists(const std::string&) override { std::abort(); }
  bool FolderExists(const std::string&) override { std::abort(); }
  std::int64_t FileSize(const std::string&) override { std::abort(); }
  Bytes ReadWholeFile(const std::string&) override { std::abort(); }
  std::unique_ptr<quillfen::FileBytes> ViewFile(const std::string&) override { std::abort(); }
  void WriteWholeFile(const std::string&, const Bytes&) override { std::abort(); }
  void MoveOver(const std::string&, const std::string&) override { std::abort(); }
  void RemoveFile(const std::string&) override { std::abort(); }
  void SyncFolder(const std::string&) override { std::abort(); }
  quillfen::Refusal RemoveRefusal(const std::string&) override { std::abort(); }
  std::unique_ptr<quillfen::HeldFile> HoldFile(const std::string&) override { std::abort(); }
  std::string FileIdentity(const std::string&) override { std::abort(); }
  quillfen::Refusal CreateRefusal(const std::string&) override { std::abort(); }
  quillfen::TimeStamp ModificationTime(const std::string&) override { std::abort(); }
  bool SetModificationTime(const std::string&, const quillfen::TimeStamp&) override {
    std::abort();
  }
  std::vector<quillfen::SearchPlace> SearchRoots() override { std::abort(); }
  quillfen::FolderListing ListFolder(const std::string&) override { std::abort(); }
  bool SameTextNoCase(const std::string&, const std::string&) override { std::abort(); }

 private:
  quillfen::Profile profile_;
};

// The file's lines, cut independently of the reader: CR LF, lone CR, lone LF.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t i = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  for (; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(line);
      line.clear();
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += text[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

bool StartsWithNoCase(const std::string& text, const std::string& start) {
  if (text.size() < start.size()) return false;
  return quillfen::ProfileName(text.substr(0, start.size())) == quillfen::ProfileName(start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<quillfen::JudgedValue> judged;
  const quillfen::DefinitionCheck check = quillfen::CheckDefinitions(
      text, [&](const quillfen::JudgedValue& v) { judged.push_back(v); });
  ProfileOnlySystem system(text);
  const std::vector<std::string> lines = Lines(text);

  for (const quillfen::Diagnostic& d : check.diagnostics) {
    if (d.line < 1 || (d.line > static_cast<int>(lines.size()) && d.line != 1)) std::abort();
  }
  for (const quillfen::JudgedValue& v : judged) {
    if (quillfen::ReadIniValue(system, v.section, v.key, "C:\\patches.ini") != v.value) {
      std::abort();
    }
    if (v.line < 1 || v.line > static_cast<int>(lines.size())) std::abort();
    std::string line = lines[static_cast<std::size_t>(v.line - 1)];
    line.erase(0, line.find_first_not_of(" \t"));
    if (!StartsWithNoCase(line, v.key)) std::abort();
  }

  const quillfen::AppList apps = quillfen::LoadAppList(system);
  if (apps.accepted) {
    if (apps.games.size() != check.games.size()) std::abort();
    for (std::size_t i = 0; i < apps.games.size(); ++i) {
      if (apps.games[i] != check.games[i].name) std::abort();
      quillfen::PatchList list;
      quillfen::LoadGamePatches(system, apps.games[i], list);
      if (list.Count() != check.games[i].patches) std::abort();
    }
  }
  return 0;
}
