// The definition file's documentation cannot drift from the program: every
// patches.ini fragment it shows is either an excerpt of examples/patches.ini or
// is checked, and every transcript of quillfen-cli it shows is run on the
// walk-through's game and must print exactly what the page says.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/posix/posix_system.h"
#include "posix/temp_folder.h"

namespace quillfen {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = QUILLFEN_SOURCE_DIR;

std::vector<std::string> LinesOf(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

struct Block {
  std::string language;
  std::vector<std::string> lines;
};

std::vector<Block> FencedBlocks(const std::vector<std::string>& page) {
  std::vector<Block> blocks;
  bool inside = false;
  for (const std::string& line : page) {
    if (line.rfind("```", 0) == 0) {
      if (!inside) blocks.push_back({line.substr(3), {}});
      inside = !inside;
    } else if (inside) {
      blocks.back().lines.push_back(line);
    }
  }
  return blocks;
}

// Whether every line of the fragment stands in the file, in the same order.
bool IsExcerpt(const std::vector<std::string>& fragment, const std::vector<std::string>& file) {
  auto at = file.begin();
  for (const std::string& line : fragment) {
    at = std::find(at, file.end(), line);
    if (at == file.end()) return false;
    ++at;
  }
  return true;
}

// A command's words, with "double-quoted words" kept whole.
std::vector<std::string> Words(const std::string& command) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, any = false;
  for (const char c : command) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (c == ' ' && !quoted) {
      if (any) words.push_back(word);
      word.clear();
      any = false;
    } else {
      word.push_back(c);
      any = true;
    }
  }
  if (any) words.push_back(word);
  return words;
}

// The hex dump line "00000200: 534b 5952 ..." against the file's bytes there.
void ExpectHexDump(const std::string& line, const Bytes& file) {
  const std::size_t offset = std::stoul(line.substr(0, 8), nullptr, 16);
  std::string hex;
  for (const char c : line.substr(10, 39)) {
    if (c != ' ') hex.push_back(c);
  }
  for (std::size_t i = 0; i * 2 < hex.size(); ++i) {
    EXPECT_EQ(std::stoul(hex.substr(i * 2, 2), nullptr, 16), file.at(offset + i)) << line;
  }
}

TEST(Documentation, EveryFragmentAndTranscriptOfTheDefinitionFilePageHolds) {
  const std::vector<Block> blocks = FencedBlocks(LinesOf(kSource / "docs/patches-ini.md"));
  const std::vector<std::string> example = LinesOf(kSource / "examples/patches.ini");
  testing::TempFolder work;
  // The repository's folders, as the page names them (it runs in examples/).
  fs::copy(kSource / "examples/walkthrough", work.Path() + "walkthrough");
  fs::copy(kSource / "examples/walkthrough-1.1", work.Path() + "walkthrough-1.1");
  const Bytes original = work.Read("walkthrough/skyline.exe");
  const Bytes update = work.Read("walkthrough-1.1/skyline.exe");
  const fs::path back = fs::current_path();
  fs::current_path(work.Path());

  PosixSystem system;
  int transcripts = 0;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const Block& block = blocks[b];
    if (block.language == "ini") {
      const bool checked = b + 1 < blocks.size() && blocks[b + 1].language == "console";
      if (!checked) {
        EXPECT_TRUE(IsExcerpt(block.lines, example)) << "not in examples/patches.ini:\n"
                                                     << block.lines.front();
        continue;
      }
      std::string text;
      for (const std::string& line : block.lines) text += line + "\r\n";
      work.Write("patches.ini", text);
      continue;
    }
    if (block.language != "console") continue;
    for (std::size_t i = 0; i < block.lines.size();) {
      const std::string command = block.lines[i].substr(2);
      std::vector<std::string> expected;
      for (++i; i < block.lines.size() && block.lines[i].rfind("$ ", 0) != 0; ++i) {
        expected.push_back(block.lines[i]);
      }
      std::vector<std::string> words = Words(command);
      if (words.front() == "xxd") {
        for (const std::string& line : expected) ExpectHexDump(line, original);
        continue;
      }
      ASSERT_EQ(words.front(), "quillfen-cli") << command;
      words.erase(words.begin());
      std::ostringstream out, err;
      CliEnvironment env(system, out, err);
      // A transcript that shows an error is of a command that fails.
      const bool fails = std::any_of(expected.begin(), expected.end(), [](const std::string& line) {
        return line.find(": error: ") != std::string::npos;
      });
      EXPECT_EQ(RunCli(words, env), fails ? kExitFailure : kExitSuccess) << command;
      std::vector<std::string> printed;
      std::istringstream lines(out.str());
      for (std::string line; std::getline(lines, line);) printed.push_back(line);
      EXPECT_EQ(printed, expected) << command << "\n" << err.str();
      ++transcripts;
    }
  }
  fs::current_path(back);
  EXPECT_GE(transcripts, 9);
  // The walk-through ends with the game as it was.
  EXPECT_EQ(work.Read("walkthrough/skyline.exe"), original);
  EXPECT_EQ(work.Read("walkthrough-1.1/skyline.exe"), update);
}

}  // namespace
}  // namespace quillfen
