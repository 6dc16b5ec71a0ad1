// The owners of Win32 resources: each kind takes the value its function returns
// on failure for "none", and frees what it holds when it goes.
#include <windows.h>
// After <windows.h>, which it needs.
#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>
#include <utility>

#include "platform/win32/utf8.h"
#include "platform/win32/win32_owners.h"
#include "win32/real_files.h"

namespace quillfen::testing {
namespace {

using namespace quillfen::win32;

UniqueFile OpenAlone(const std::string& path) {
  return UniqueFile(CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(Owners, AFailedCallGivesAnEmptyOwnerOfItsOwnKind) {
  const ScratchFolder folder("owners");
  const std::string missing = folder.Path() + "missing.exe";
  // CreateFileW and FindFirstFileW fail with INVALID_HANDLE_VALUE, not null.
  UniqueFile file = OpenAlone(missing);
  EXPECT_FALSE(file);
  EXPECT_EQ(file.Get(), INVALID_HANDLE_VALUE);
  WIN32_FIND_DATAW data;
  const UniqueFind find(FindFirstFileW(Widen(missing).c_str(), &data));
  EXPECT_FALSE(find);
  // Most other kernel objects' functions fail with null.
  const UniqueHandle event(OpenEventW(SYNCHRONIZE, FALSE, L"Quillfen: no such event"));
  EXPECT_FALSE(event);
  // An empty owner gives up nothing.
  EXPECT_EQ(file.Release(), INVALID_HANDLE_VALUE);
  UniqueFile fresh;
  EXPECT_FALSE(fresh);
}

TEST(Owners, AFileIsClosedWhenItsOwnerLetsGo) {
  const ScratchFolder folder("owners");
  const std::string path = folder.Write("game.exe", "bytes");
  UniqueFile first = OpenAlone(path);
  ASSERT_TRUE(first);
  EXPECT_FALSE(OpenAlone(path));  // held without sharing
  UniqueFile moved = std::move(first);
  EXPECT_FALSE(first);
  EXPECT_FALSE(OpenAlone(path));  // still held, by the new owner
  moved.Reset();
  EXPECT_FALSE(moved);
  EXPECT_TRUE(OpenAlone(path));  // closed
}

TEST(Owners, TheArgumentArrayHoldsTheCommandLine) {
  int count = 0;
  const UniqueArgv args(CommandLineToArgvW(L"quillfen-cli.exe find \"Racer 2\"", &count));
  ASSERT_TRUE(args);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(Narrow(args.Get()[2]), "Racer 2");
}

}  // namespace
}  // namespace quillfen::testing
