// quavtag as a black box: its output is parsed as JSON and checked against
// the keys and values of its output contract.
#include <gtest/gtest.h>

#include "MiniJson.h"
#include "TestSupport.h"

using namespace testsupport;

namespace {

const std::vector<std::string> kTopKeys = {
    "File",       "FileType", "FileTypeName", "LastError", "Valid", "FileSize", "Duration",
    "Bitrate",    "Samplerate", "Channels",   "Title",     "Artist", "Album",   "Year",
    "Track",      "Genre",    "Details"};

RunResult Quavtag(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {BuiltProgram("tools/quavtag")};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv);
}

}  // namespace

TEST(Quavtag, OneLinePerFileInOrder) {
  TempDir dir;
  const std::string text = dir.write("x.txt", "hello");
  const RunResult r = Quavtag({"missing.mp3", text, "missing.mp3"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;

  for (const auto& line : lines) EXPECT_EQ(ParseJson(line).keys(), kTopKeys) << line;

  const JsonValue missing = ParseJson(lines[0]);
  EXPECT_EQ(missing["File"].string, "missing.mp3");
  // Until the MPEG reader is in the table a missing ".mp3" has no reader;
  // afterwards the reader reports the missing file itself.
  if (missing["FileType"].string == "at_Mp3") {
    EXPECT_EQ(missing["LastError"].string, "FileErr_NoFile");
  } else {
    EXPECT_EQ(missing["LastError"].string, "FileErr_NotSupportedFileType");
  }

  const JsonValue txt = ParseJson(lines[1]);
  EXPECT_EQ(txt["File"].string, text);
  EXPECT_EQ(txt["FileType"].string, "at_Invalid");
  EXPECT_EQ(txt["FileTypeName"].string, "Invalid Audiofile");
  EXPECT_EQ(txt["LastError"].string, "FileErr_NotSupportedFileType");
  EXPECT_FALSE(txt["Valid"].boolean);
  EXPECT_EQ(txt["Bitrate"].number, 0);
  EXPECT_EQ(txt["Details"].kind, JsonValue::Object);
  EXPECT_TRUE(txt["Details"].names.empty());
  EXPECT_EQ(lines[0], lines[2]);
}

TEST(Quavtag, UsageVersionAndErrors) {
  RunResult r = Quavtag({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "quavtag 0.92\n");

  r = Quavtag({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Usage"), std::string::npos);

  r = Quavtag({});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(r.out.empty());

  r = Quavtag({"--bogus", "a.mp3"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(r.out.empty());
}

TEST(Quavtag, FileNamesAreValidJsonWhateverTheirBytes) {
  // A name with a quote, a backslash, a control character and a byte that
  // is not UTF-8 still yields one parseable line.
  const std::string odd = "we\"ird\\na\tme\xff.txt";
  const RunResult r = Quavtag({odd});
  ASSERT_EQ(r.exitCode, 0);
  const JsonValue v = ParseJson(SplitLines(r.out).at(0));
  EXPECT_EQ(v["File"].string, "we\"ird\\na\tme\xEF\xBF\xBD.txt");
}
