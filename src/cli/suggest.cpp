#include "cli/suggest.h"

#include <cstdio>
#include <span>

#include "base/text.h"
#include "cli/progress_line.h"
#include "engine/suggest.h"
#include "engine/values.h"
#include "platform/system.h"

namespace quillfen {

namespace {

std::string Hex(std::int64_t position) {
  char hex[24];
  std::snprintf(hex, sizeof hex, "0x%llX", static_cast<unsigned long long>(position));
  return hex;
}

std::string HexBytes(const Bytes& bytes) {
  std::string text;
  for (const std::uint8_t byte : bytes) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", byte);
    text += pair;
  }
  return text;
}

// The comment line that says what a suggestion found.
std::string Comment(std::size_t number, const Suggestion& s,
                    const std::vector<std::string>& files) {
  std::string text =
      "; candidate " + std::to_string(number) + ": " + std::to_string(s.size) + "-byte values";
  bool once = true;
  for (std::size_t e = 0; e < files.size(); ++e) {
    text += "; width at " + std::to_string(s.xpos[e]) + " (" + Hex(s.xpos[e]) + "), height at " +
            std::to_string(s.ypos[e]) + " (" + Hex(s.ypos[e]) + ") in " + files[e];
    once = once && s.count[e] == 1;
  }
  if (once)
    return text + (files.size() == 1 ? "; the signature occurs once"
                                     : "; the signature occurs once in each file");
  text += "; the signature occurs";
  for (std::size_t e = 0; e < files.size(); ++e) {
    text += (e == 0 ? " " : ", ") + std::to_string(s.count[e]) + " times in " + files[e];
  }
  return text;
}

}  // namespace

int RunSuggest(CliEnvironment& env, const Invocation& call) {
  std::vector<Bytes> contents;
  for (const std::string& typed : call.files) {
    const std::string path = env.full_path(typed);
    std::string problem;
    if (!env.system.FileExists(path)) {
      problem = env.system.FolderExists(path) ? Quoted(typed) + " is a folder, not a file"
                                              : "no file " + Quoted(typed);
    } else if (env.system.FileSize(path) > kMaxGameFileSize) {
      problem = Quoted(typed) + " is too large to patch";
    }
    if (!problem.empty()) {
      env.err << "quillfen-cli: " << problem << "\n";
      return kExitFailure;
    }
    contents.push_back(env.system.ReadWholeFile(path));
  }

  std::vector<std::span<const std::uint8_t>> editions(contents.begin(), contents.end());
  ProgressLine progress(env.err);
  SuggestProgress shown;
  if (env.err_is_terminal) {
    shown = [&](std::size_t done, std::size_t total) {
      progress.Show([&] {
        return "growing signatures: " + std::to_string(done) + " of " + std::to_string(total) +
               " places";
      });
    };
  }
  const SuggestResult result = SuggestSignatures(editions, call.width, call.height, shown);
  progress.Clear();
  const std::vector<Suggestion>& suggestions = result.suggestions;
  if (suggestions.empty()) {
    const std::string pair = std::to_string(call.width) + " and " + std::to_string(call.height);
    env.err << "quillfen-cli: no candidate: ";
    // The first file with too many places or none; the engine stops at the first of the former.
    std::size_t at = 0;
    while (at + 1 < result.places.size() && result.places[at] > 0) ++at;
    if (result.places.back() > kSuggestMaxPlaces) {
      at = result.places.size() - 1;
      env.err << pair << " lie within " << kSuggestNear << " bytes of each other at "
              << result.places[at] << " places of " << call.files[at]
              << ": too many to examine (at most " << kSuggestMaxPlaces << ")\n";
    } else if (result.places[at] == 0) {
      env.err << call.files[at] << " holds no " << pair << " within " << kSuggestNear
              << " bytes of each other\n";
    } else {
      env.err << "no place that holds " << pair << " in every file is found by a signature of at "
              << "most " << kSuggestMaxLength << " bytes\n";
    }
    return kExitFailure;
  }

  const std::string modfile = NameInPath(env.full_path(call.files[0]), env.system.Separator());
  for (std::size_t i = 0; i < suggestions.size(); ++i) {
    const Suggestion& s = suggestions[i];
    std::ostream& out = env.out;
    if (i > 0) out << "\n";
    out << Comment(i + 1, s, call.files) << "\n";
    out << "modfile=" << modfile << "\n";
    out << "sig=" << HexBytes(s.sig) << "\n";
    out << "sigwild=";
    for (const std::uint8_t wild : s.sigwild) out << (wild ? '1' : '0');
    out << "\noccur=" << s.occur << "\nxoffset=" << s.xoffset << "\nyoffset=" << s.yoffset << "\n";
    if (s.size != 4) out << "setxlen=" << s.size << "\nsetylen=" << s.size << "\n";
  }
  return kExitSuccess;
}

}  // namespace quillfen
