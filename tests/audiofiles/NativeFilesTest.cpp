// Files by UTF-8 name on every platform (files_posix.cpp, files_win.cpp):
// a name with letters outside the ANSI code page is written, found,
// listed, read and removed like any other.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "AudioFileBasics.h"
#include "ByteStreams.h"
#include "NativeFiles.h"
#include "TestSupport.h"
#include "TextUtils.h"

using testsupport::TempDir;

namespace {

// "Ωμέγα 日本.txt": Greek and Japanese, in no single 8-bit code page.
const std::string kWideName = "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xE6\x97\xA5\xE6\x9C\xAC.txt";

std::string Join(const std::string& folder, const std::string& name) { return folder + PreferredSeparator() + name; }

std::filesystem::path Utf8Path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

}  // namespace

TEST(NativeFiles, NameOutsideTheAnsiPageWritesReadsListsAndGoes) {
  TempDir dir;
  const std::string folder = dir.path().string();
  const std::string path = Join(folder, kWideName);
  std::string reason;
  ASSERT_TRUE(WriteNamedFile(path, "hello bytes", reason)) << reason;
  // The system holds the name as written, not an 8-bit approximation.
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.path() / Utf8Path(kWideName)));
  EXPECT_EQ(PathKindOf(path), TPathKind::File);
  EXPECT_TRUE(AudioFileExists(path));

  {
    TNativeFile file;
    ASSERT_TRUE(file.Open(path, reason)) << reason;
    EXPECT_EQ(file.Size(), 11);
    char buffer[32] = {};
    EXPECT_EQ(file.ReadAt(6, buffer, sizeof buffer, reason), 5);
    EXPECT_EQ(std::string(buffer, 5), "bytes");
    EXPECT_EQ(file.ReadAt(11, buffer, sizeof buffer, reason), 0);
    EXPECT_EQ(file.ReadAt(100, buffer, sizeof buffer, reason), 0);

    // Others may read and write while a reader has the file open.
    TFileStream stream(path);
    EXPECT_EQ(stream.Size(), 11);
    EXPECT_EQ(stream.ReadBytes(5), "hello");
    std::string bytes;
    EXPECT_TRUE(ReadFileStart(path, 5, bytes, reason)) << reason;
    EXPECT_TRUE(WriteNamedFile(path, "hello bytes", reason)) << reason;
  }

  std::string bytes;
  ASSERT_TRUE(ReadFileStart(path, 5, bytes, reason)) << reason;
  EXPECT_EQ(bytes, "hello");
  ASSERT_TRUE(ReadFileStart(path, static_cast<size_t>(-1), bytes, reason)) << reason;
  EXPECT_EQ(bytes, "hello bytes");

  TDirectoryId id;
  std::vector<std::string> entries;
  ASSERT_TRUE(ListDirectory(folder, id, entries));
  EXPECT_EQ(entries, std::vector<std::string>{kWideName});

  // Replacing keeps one file with the new bytes.
  ASSERT_TRUE(WriteNamedFile(path, "x", reason)) << reason;
  ASSERT_TRUE(ReadFileStart(path, 100, bytes, reason)) << reason;
  EXPECT_EQ(bytes, "x");

  EXPECT_TRUE(DeleteNamedFile(path));
  EXPECT_EQ(PathKindOf(path), TPathKind::Missing);
  EXPECT_FALSE(DeleteNamedFile(path));
}

TEST(NativeFiles, FailuresCarryTheSystemsReason) {
  TempDir dir;
  const std::string folder = dir.path().string();
  const std::string missing = Join(folder, "missing.mp3");
  std::string reason, bytes;
  TNativeFile file;
  EXPECT_FALSE(file.Open(missing, reason));
  EXPECT_FALSE(reason.empty());
  EXPECT_FALSE(file.IsOpen());
  EXPECT_THROW(TFileStream{missing}, EReadError);

  // A directory is no file to read, by either way in.
  reason.clear();
  EXPECT_FALSE(file.Open(folder, reason));
  EXPECT_FALSE(reason.empty());
  reason.clear();
  EXPECT_FALSE(ReadFileStart(folder, 10, bytes, reason));
  EXPECT_FALSE(reason.empty());

  reason.clear();
  EXPECT_FALSE(WriteNamedFile(Join(Join(folder, "no such folder"), "x.m3u"), "x", reason));
  EXPECT_FALSE(reason.empty());

  EXPECT_EQ(PathKindOf(""), TPathKind::Missing);
  EXPECT_EQ(PathKindOf(missing), TPathKind::Missing);
  EXPECT_EQ(PathKindOf(folder), TPathKind::Directory);
  TDirectoryId id;
  std::vector<std::string> entries{"stale"};
  EXPECT_FALSE(ListDirectory(missing, id, entries));
  EXPECT_TRUE(entries.empty());
}

TEST(NativeFiles, DirectoryIdentityAndFullNames) {
  TempDir dir;
  const std::string folder = dir.path().string();
  const std::string sub = Join(folder, "sub");
  std::filesystem::create_directory(Utf8Path(sub));
  TDirectoryId top, again, below;
  std::vector<std::string> entries;
  ASSERT_TRUE(ListDirectory(folder, top, entries));
  EXPECT_EQ(entries, std::vector<std::string>{"sub"});
  ASSERT_TRUE(ListDirectory(Join(sub, ".."), again, entries));
  ASSERT_TRUE(ListDirectory(sub, below, entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(top, again) << "the same directory by two spellings";
  EXPECT_FALSE(top == below);

  EXPECT_EQ(FullPathName(Join(Join(sub, ".."), "x.mp3")), Join(folder, "x.mp3"));
  EXPECT_NE(PathSeparators().find(PreferredSeparator()), std::string_view::npos);
  EXPECT_NE(PathSeparators().find('/'), std::string_view::npos) << "'/' separates on every platform";
}

TEST(NativeFiles, ProgramPathNamesThisProgram) {
  const std::string path = ProgramPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(PathKindOf(path), TPathKind::File);
  const std::string name = path.substr(path.find_last_of(PathSeparators()) + 1);
  EXPECT_EQ(name.rfind("test_audiofiles", 0), 0u) << path;
}

// The system's converters agree with the code pages' published tables, and
// the ANSI page converts both ways.
TEST(NativeFiles, CodePagesThroughTheSystem) {
  EXPECT_EQ(CodePageToUtf16("\xC0\xE0", 1251), u"\u0410\u0430");         // Cyrillic
  EXPECT_EQ(CodePageToUtf16("\xD9\xE1", 1253), u"\u03A9\u03B1");         // Greek
  EXPECT_EQ(CodePageToUtf16("\x93\xFA\x96\x7B", 932), u"\u65E5\u672C");  // Shift-JIS, two bytes each
  EXPECT_EQ(CodePageToUtf16("abc", 99999), u"");
  EXPECT_NE(SystemAnsiCodePage(), 0u);
  std::string ascii;
  for (int b = 0x20; b < 0x7F; ++b) ascii.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(ascii)), ascii);
  EXPECT_EQ(CodePageToUtf16(ascii, 0), AsciiToUtf16(ascii));
}
