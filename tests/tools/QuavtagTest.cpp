// quavtag as a black box: its output is parsed as JSON and checked against
// the keys and values of its output contract.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "MiniJson.h"
#include "TestSupport.h"

using namespace testsupport;

namespace {

const std::vector<std::string> kTopKeys = {"File",     "FileType", "FileTypeName", "LastError", "Valid",  "FileSize",
                                           "Duration", "Bitrate",  "Samplerate",   "Channels",  "Title",  "Artist",
                                           "Album",    "Year",     "Track",        "Genre",     "Details"};

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
  // The MP3 reader reports the missing file itself.
  EXPECT_EQ(missing["FileType"].string, "at_Mp3");
  EXPECT_EQ(missing["LastError"].string, "FileErr_NoFile");

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
  EXPECT_EQ(r.out, "quavtag " QUAV_VERSION "\n");

  for (const char* help : {"--help", "-h"}) {
    r = Quavtag({help});
    EXPECT_EQ(r.exitCode, 0) << help;
    EXPECT_NE(r.out.find("Usage"), std::string::npos) << help;
    EXPECT_NE(r.out.find("1 when a folder could not be"), std::string::npos) << help;
  }

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

namespace {

std::vector<std::string> FilesOf(const std::string& out) {
  std::vector<std::string> files;
  for (const auto& line : SplitLines(out)) files.push_back(ParseJson(line)["File"].string);
  return files;
}

}  // namespace

// -r walks folders in name order, descending where a folder stands, follows
// links but enters no folder twice; -j reads on several threads and changes
// nothing in the output.
TEST(Quavtag, WalksFoldersInNameOrderOnAnyNumberOfThreads) {
  namespace fs = std::filesystem;
  TempDir dir;
  const std::string root = dir.file("lib");
  dir.write("lib/b/2.mp3", "x");
  dir.write("lib/b/1.flac", "x");
  dir.write("lib/a.ogg", "x");
  dir.write("lib/c.wav", "x");
  dir.write("lib/B.wma", "x");
  dir.write("other/o.wv", "x");
  fs::create_directory_symlink("..", root + "/b/up");            // a loop
  fs::create_directory_symlink(dir.file("other"), root + "/d");  // a folder elsewhere
  fs::create_directory_symlink(dir.file("other"), root + "/e");  // the same again
  fs::create_symlink(dir.file("nowhere"), root + "/f.mp3");      // dangling: still a line
  const std::vector<std::string> expected = {root + "/B.wma", root + "/a.ogg",  root + "/b/1.flac", root + "/b/2.mp3",
                                             root + "/c.wav", root + "/d/o.wv", root + "/f.mp3"};
  const RunResult one = Quavtag({"-r", "-j", "1", root + "/"});
  ASSERT_EQ(one.exitCode, 0) << one.err;
  EXPECT_EQ(FilesOf(one.out), expected);
  EXPECT_NE(one.err.find(root + "/b/up: already walked"), std::string::npos) << one.err;
  EXPECT_NE(one.err.find(root + "/e: already walked"), std::string::npos) << one.err;
  // The GNU forms: joined and separate arguments, joined short options,
  // options after the names.
  using Args = std::vector<std::vector<std::string>>;
  const Args gnuForms = {{"-r", "-j3", root},         {"-r", "-j64", root}, {"-r", "--jobs=2", root},
                         {"--jobs", "2", "-r", root}, {"-rj2", root},       {root, "-r", "-j", "1"}};
  for (const std::vector<std::string>& jobs : gnuForms) {
    const RunResult many = Quavtag(jobs);
    EXPECT_EQ(many.exitCode, 0) << jobs[0];
    EXPECT_EQ(many.out, one.out) << jobs[0] << " " << jobs[1];
  }
  // Files and folders mixed, in the order given; without -r a folder is
  // just one more name.
  const RunResult mixed = Quavtag({"--recursive", root + "/c.wav", dir.file("other")});
  EXPECT_EQ(FilesOf(mixed.out), (std::vector<std::string>{root + "/c.wav", dir.file("other") + "/o.wv"}));
  EXPECT_EQ(FilesOf(Quavtag({dir.file("other")}).out), std::vector<std::string>{dir.file("other")});

  const Args bad = {{"-j"},
                    {"-j", "0", "a"},
                    {"-jx", "a"},
                    {"--jobs", "-1", "a"},
                    {"-j", "99999", "a"},
                    {"--jobs=0", "a"},
                    {"--jobs=", "a"},
                    {"--recursive=1", "a"}};
  for (const std::vector<std::string>& args : bad) {
    const RunResult r = Quavtag(args);
    EXPECT_EQ(r.exitCode, 2) << args[0];
    EXPECT_TRUE(r.out.empty());
  }
}

// A folder that cannot be read is reported, the rest is read, and the exit
// code says that something was left out. Run as nobody when the suite runs
// as root, for whom every folder is readable.
TEST(Quavtag, UnreadableFolderIsReportedAndTheWalkGoesOn) {
  namespace fs = std::filesystem;
  TempDir dir;
  const std::string program = dir.file("quavtag");
  fs::copy_file(BuiltProgram("tools/quavtag"), program);
  dir.write("lib/a/1.mp3", "x");
  dir.write("lib/locked/2.mp3", "x");
  dir.write("lib/z.mp3", "x");
  std::vector<std::string> argv;
  if (::geteuid() == 0) {
    if (HaveProgram("setpriv"))
      argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    else
      GTEST_SKIP() << "running as root without setpriv";
    for (fs::path p = dir.path().parent_path(); !p.empty() && p != p.root_path(); p = p.parent_path())
      if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none)
        GTEST_SKIP() << p.string() << " cannot be entered by nobody";
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
      fs::permissions(entry.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(dir.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  }
  fs::permissions(dir.file("lib/locked"), fs::perms::none);
  argv.insert(argv.end(), {program, "-r", dir.file("lib")});
  const RunResult r = testsupport::Run(argv);
  fs::permissions(dir.file("lib/locked"), fs::perms::owner_all);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(FilesOf(r.out), (std::vector<std::string>{dir.file("lib/a/1.mp3"), dir.file("lib/z.mp3")}));
  EXPECT_NE(r.err.find(dir.file("lib/locked") + ": "), std::string::npos) << r.err;
}
