#include "cli/suggest.h"

#include <cstdio>
#include <span>

#include "base/text.h"
#include "cli/progress_line.h"
#include "engine/suggest.h"
#include "engine/values.h"
#include "engine/x86_code.h"
#include "platform/system.h"

namespace quillfen {

namespace {

std::string HexBytes(const Bytes& bytes) {
  std::string text;
  for (const std::uint8_t byte : bytes) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", byte);
    text += pair;
  }
  return text;
}

const char* KindText(PlaceKind kind) {
  switch (kind) {
    case PlaceKind::kImmediates:
      return "instruction immediates";
    case PlaceKind::kLoadedData:
      return "data the code loads";
    case PlaceKind::kData:
      return "data no instruction is seen to load";
    case PlaceKind::kBytes:
      break;
  }
  return "bytes";
}

// The comment lines that say what a suggestion found and why it is proposed.
std::string Comment(std::size_t number, const Suggestion& s, const std::vector<std::string>& files,
                    std::int32_t width, std::int32_t height) {
  const Evidence& e = s.evidence;
  std::string text =
      "; candidate " + std::to_string(number) + ": " + std::to_string(s.size) + "-byte values";
  if (e.kind != PlaceKind::kBytes) {
    text += std::string(" in ") + (e.section.empty() ? "a section" : e.section) + ", " +
            KindText(e.kind);
  }
  if (s.apart) text += ", far apart: a patch for each";
  bool once = true;
  for (std::size_t f = 0; f < files.size(); ++f) {
    text += "; width at " + std::to_string(s.xpos[f]) + " (" + Hex(s.xpos[f]) + "), height at " +
            std::to_string(s.ypos[f]) + " (" + Hex(s.ypos[f]) + ") in " + files[f];
    once = once && s.count[f] == 1 && (!s.apart || s.apart->count[f] == 1);
  }
  const std::string which = s.apart ? "each signature" : "the signature";
  if (once) {
    text += "; " + which + (files.size() == 1 ? " occurs once" : " occurs once in each file");
  } else {
    const auto counts = [&](const std::vector<std::int64_t>& count) {
      std::string list;
      for (std::size_t f = 0; f < files.size(); ++f) {
        list += (f == 0 ? " " : ", ") + std::to_string(count[f]) + " times in " + files[f];
      }
      return list;
    };
    text += s.apart ? "; the width's signature occurs" + counts(s.count) + "; the height's" +
                          counts(s.apart->count)
                    : "; the signature occurs" + counts(s.count);
  }
  text += "\n";
  if (e.kind == PlaceKind::kBytes) return text;

  const auto value_line = [&](const char* name, const ValueEvidence& v) {
    if (v.instruction < 0)
      return ";   " + std::string(name) + ": no instruction is seen to load it\n";
    const char* how = e.kind == PlaceKind::kImmediates ? "held by " : "loaded by ";
    return ";   " + std::string(name) + ": " + how + v.text + " at " + Hex(v.instruction) + "\n";
  };
  text += value_line("width", e.width);
  text += value_line("height", e.height);
  if (e.call.empty()) {
    text += ";   no window or display call seen within " + std::to_string(kCallReach) +
            " instructions\n";
  } else if (e.direct) {
    text += ";   reaches " + e.call + " (the call at " + Hex(e.call_at) + ")\n";
  } else {
    text += ";   reaches " + e.call + " through the function called at " + Hex(e.call_at) + "\n";
  }
  if (e.fallback) {
    text += ";   set on a branch that tests the result of the call at " + Hex(e.tested_call) +
            ": a fallback\n";
  }
  const std::string pair = std::to_string(width) + " x " + std::to_string(height);
  if (s.apart) {
    text += e.alike == 1
                ? ";   the only width and height the code holds apart in " + files[0] + "\n"
                : ";   one of " + std::to_string(e.alike) +
                      " widths or heights the code holds apart in " + files[0] + "\n";
  } else if (e.table) {
    text += ";   one entry of a table of modes\n";
  } else if (e.alike == 1) {
    text += ";   the only place that holds " + pair + " in " + files[0] + "\n";
  } else {
    text += ";   one of " + std::to_string(e.alike) + " places that hold " + pair + " in " +
            files[0] + "\n";
  }
  return text;
}

void PrintSuggestions(std::ostream& out, const std::vector<Suggestion>& suggestions,
                      const std::vector<std::string>& files, const std::string& modfile,
                      std::int32_t width, std::int32_t height) {
  for (std::size_t i = 0; i < suggestions.size(); ++i) {
    const Suggestion& s = suggestions[i];
    if (i > 0) out << "\n";
    out << Comment(i + 1, s, files, width, height);
    out << "modfile=" << modfile << "\n";
    out << "sig=" << HexBytes(s.sig) << "\n";
    out << "sigwild=";
    for (const std::uint8_t wild : s.sigwild) out << (wild ? '1' : '0');
    if (s.apart) {
      // A patch of the width, then one of the height with a record of its own.
      const HeightSignature& h = *s.apart;
      out << "\noccur=" << s.occur << "\nxoffset=" << s.xoffset << "\n";
      if (s.size != 4) out << "setxlen=" << s.size << "\n";
      const std::size_t dot = modfile.rfind('.');
      out << "p1modfile=" << modfile << "\np1undofile="
          << modfile.substr(0, dot == std::string::npos || dot == 0 ? modfile.size() : dot)
          << "-height.undo\np1sig=" << HexBytes(h.sig) << "\np1sigwild=";
      for (const std::uint8_t wild : h.sigwild) out << (wild ? '1' : '0');
      out << "\np1occur=" << h.occur << "\np1yoffset=" << h.yoffset << "\n";
      if (s.size != 4) out << "p1setylen=" << s.size << "\n";
      continue;
    }
    out << "\noccur=" << s.occur << "\nxoffset=" << s.xoffset << "\nyoffset=" << s.yoffset << "\n";
    if (s.size != 4) out << "setxlen=" << s.size << "\nsetylen=" << s.size << "\n";
  }
}

// The places found in some files and not in the others, at most a few.
void PrintDropped(std::ostream& out, const SuggestResult& result,
                  const std::vector<std::string>& files) {
  const std::vector<DroppedPlace>& dropped = result.dropped;
  constexpr std::size_t kShown = 10;
  if (dropped.empty()) return;
  out << "\n; not proposed: places found in some files and not in the others\n";
  for (std::size_t i = 0; i < dropped.size() && i < kShown; ++i) {
    const DroppedPlace& d = dropped[i];
    std::string in, missing;
    for (std::size_t f = 0; f < files.size(); ++f) {
      if (d.xpos[f] >= 0) {
        in += (in.empty() ? "" : ", ") + Hex(d.xpos[f]) + " in " + files[f];
      } else {
        // What the file holds instead, as far as the search tells.
        missing += (missing.empty() ? "" : ", ") + files[f] +
                   (result.places[f] == 0 ? " (no place at all: the size is computed there)"
                                          : " (held another way there)");
      }
    }
    const char* what = d.axis == PlaceAxes::kBoth    ? ": width at "
                       : d.axis == PlaceAxes::kWidth ? ", a width alone: at "
                                                : ", a height alone: at ";
    out << "; " << std::to_string(d.size) << "-byte " << KindText(d.kind) << what << in
        << ": not in " << missing << "\n";
  }
  if (dropped.size() > kShown) {
    out << "; and " << dropped.size() - kShown << " more\n";
  }
}

// Why nothing is suggested, as the search found it.
std::string WhyNone(const SuggestResult& result, const std::vector<std::string>& files,
                    std::int32_t width, std::int32_t height) {
  std::string text;
  for (const std::size_t f : result.why_editions) {
    const EditionCounts& c = result.counts[f];
    if (!text.empty()) text += result.why == NoCandidate::kNeverProposed ? "; " : ", ";
    switch (result.why) {
      case NoCandidate::kNowhere:
        text += files[f] + " holds " +
                (c.widths == 0 && c.heights == 0 ? "neither value"
                 : c.widths == 0                 ? "no " + std::to_string(width)
                                                 : "no " + std::to_string(height)) +
                " as a 2- or 4-byte number";
        break;
      case NoCandidate::kNeverProposed:
        text += files[f] + " holds " +
                (!c.width_read && !c.height_read ? "both values"
                 : !c.width_read                 ? std::to_string(width)
                                                 : std::to_string(height)) +
                " only where the game reads no value: " + std::to_string(c.unread) +
                " in the headers, the import, relocation or exception tables or outside the "
                "sections, " +
                std::to_string(c.in_instructions) + " inside instructions";
        break;
      case NoCandidate::kApart:
        text += files[f] + " holds no place where the height lies within " +
                std::to_string(kSuggestNear) + " bytes of the width";
        break;
      case NoCandidate::kFiltered:
        text += files[f] + " holds places only of another size or section than asked for";
        break;
      case NoCandidate::kSomeEditions:
      case NoCandidate::kNotUnique:
        text += files[f] + " holds " + std::to_string(result.places[f]) +
                (result.places[f] == 1 ? " place" : " places");
        break;
      case NoCandidate::kNone:
        break;
    }
  }
  if (result.why == NoCandidate::kSomeEditions) {
    text += ", none of them in every file";
  } else if (result.why == NoCandidate::kNotUnique) {
    text += files.size() == 1 ? ", none found by a signature of at most " +
                                    std::to_string(kSuggestMaxLength) + " bytes"
                              : ", none found in every file by one signature";
  }
  return text;
}

}  // namespace

int RunSuggest(CliEnvironment& env, const Invocation& call) {
  std::vector<Bytes> contents;
  for (const std::string& typed : call.files) {
    const std::string path = env.system.FullPath(typed);
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
    shown = [&](SuggestStage stage, std::size_t done, std::size_t total) {
      progress.Show([&] {
        if (stage == SuggestStage::kDecoding) {
          return "decoding code: " + std::to_string(done >> 20) + " of " +
                 std::to_string(total >> 20) + " MiB";
        }
        return "growing signatures: " + std::to_string(done) + " of " + std::to_string(total) +
               " places";
      });
    };
  }
  SuggestOptions options;
  options.top = call.top;
  options.size = call.value_size;
  options.section = call.section;
  const SuggestResult result = SuggestSignatures(editions, call.width, call.height, options, shown);
  progress.Clear();
  const std::string modfile =
      NameInPath(env.system.FullPath(call.files[0]), env.system.Separator());
  if (!result.suggestions.empty()) {
    PrintSuggestions(env.out, result.suggestions, call.files, modfile, call.width, call.height);
    PrintDropped(env.out, result, call.files);
    return kExitSuccess;
  }

  const std::string pair = std::to_string(call.width) + " and " + std::to_string(call.height);
  env.err << "quillfen-cli: no candidate for " << pair << " in ";
  for (std::size_t f = 0; f < call.files.size(); ++f) {
    env.err << (f == 0 ? "" : f + 1 == call.files.size() ? " and " : ", ") << call.files[f];
  }
  env.err << ": " << WhyNone(result, call.files, call.width, call.height) << "\n";
  if (call.files.size() == 1) return kExitFailure;
  // What each file alone would give, for a definition of one patch per edition.
  for (std::size_t f = 0; f < call.files.size(); ++f) {
    if (result.places[f] == 0) continue;
    const SuggestResult alone = SuggestSignatures({editions[f]}, call.width, call.height, options);
    if (alone.suggestions.empty()) continue;
    env.out << "; candidates of " << call.files[f] << " alone\n";
    PrintSuggestions(env.out, alone.suggestions, {call.files[f]},
                     NameInPath(env.system.FullPath(call.files[f]), env.system.Separator()),
                     call.width, call.height);
    env.out << "\n";
  }
  PrintDropped(env.out, result, call.files);
  return kExitFailure;
}

}  // namespace quillfen
