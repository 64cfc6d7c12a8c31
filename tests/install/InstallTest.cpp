// The installed tree (cmake --install into a DESTDIR): the programs run, the
// manual pages render without warnings, and a small program builds against
// the tag library through its CMake package and through pkg-config.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "OggFlacBuilders.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::TempDir;

constexpr const char* kPrefix = "/usr/local";

// A program that uses the library as its users would.
constexpr const char* kConsumer = R"(#include <quavlin/AudioFiles.h>
#include <quavlin/TextUtils.h>
#include <cstdio>
int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const TGeneralAudioFile file(argv[1]);
  std::printf("%s %d Hz %d ch: %s\n", AudioFileTypeName(file.FileType()), file.Samplerate(), file.Channels(),
              Utf16ToUtf8(file.Title()).c_str());
  return file.Valid() ? 0 : 1;
}
)";

constexpr const char* kConsumerProject = R"(cmake_minimum_required(VERSION 3.16)
project(consumer CXX)
find_package(QuavAudioFiles )" QUAV_VERSION R"( REQUIRED)
add_executable(consumer main.cpp)
target_link_libraries(consumer PRIVATE QuavAudioFiles::quavaudiofiles)
)";

RunResult Sh(const std::string& command, const RunOptions& options = {}) {
  return testsupport::Run({"sh", "-c", command}, options);
}

// One installation for every test of this file.
class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fDest = new TempDir;
    RunOptions options;
    options.env = {"DESTDIR=" + fDest->path().string()};
    fInstall = new RunResult(
        testsupport::Run({QUAV_CMAKE_COMMAND, "--install", QUAV_BINARY_DIR, "--prefix", kPrefix}, options));
  }
  static void TearDownTestSuite() {
    delete fInstall;
    delete fDest;
  }
  void SetUp() override { ASSERT_EQ(fInstall->exitCode, 0) << fInstall->out << fInstall->err; }

  static std::string Path(const std::string& relative) { return fDest->path().string() + kPrefix + "/" + relative; }

  static TempDir* fDest;
  static RunResult* fInstall;
};
TempDir* Installed::fDest = nullptr;
RunResult* Installed::fInstall = nullptr;

TEST_F(Installed, TreeHoldsProgramsPagesDocumentsAndTheLibrary) {
  for (const char* file : {"bin/quavlin", "bin/quavtag", "share/man/man1/quavlin.1.gz", "share/man/man1/quavtag.1.gz",
                           "share/doc/quavlin/README.md", "share/doc/quavlin/LICENSE", "lib/libquavaudiofiles.a",
                           "include/quavlin/AudioFiles.h", "include/quavlin/TextUtils.h",
                           "lib/pkgconfig/quavaudiofiles.pc", "lib/cmake/QuavAudioFiles/QuavAudioFilesConfig.cmake",
                           "lib/cmake/QuavAudioFiles/QuavAudioFilesConfigVersion.cmake"})
    EXPECT_TRUE(fs::is_regular_file(Path(file))) << file;
  // Debian's own files belong to the package only.
  EXPECT_FALSE(fs::exists(Path("share/doc/quavlin/copyright")));
  EXPECT_FALSE(fs::exists(Path("share/doc/quavlin/changelog.gz")));

  TempDir home;
  RunOptions options;
  options.env = {"HOME=" + home.path().string(), "XDG_CONFIG_HOME=", "XDG_STATE_HOME="};
  const RunResult version = testsupport::Run({Path("bin/quavlin"), "--version"}, options);
  EXPECT_EQ(version.exitCode, 0) << version.err;
  EXPECT_EQ(version.out.rfind("Quavlin " QUAV_VERSION "\nFFmpeg: libavformat ", 0), 0u) << version.out;
  // Installed, it reads the user's configuration.
  const RunResult help = testsupport::Run({Path("bin/quavlin"), "--help"}, options);
  EXPECT_NE(help.out.find("\n  " + home.file(".config/quavlin/quavlin.cfg") + "\n"), std::string::npos) << help.out;

  const std::string ogg = home.write("a.ogg", oggflac::OggVorbisFile());
  const RunResult tags = testsupport::Run({Path("bin/quavtag"), ogg}, options);
  EXPECT_EQ(tags.exitCode, 0) << tags.err;
  EXPECT_NE(tags.out.find("\"Title\":\"Song\""), std::string::npos) << tags.out;
}

TEST_F(Installed, ManualPagesRenderWithoutWarnings) {
  ASSERT_TRUE(testsupport::HaveProgram("man") && testsupport::HaveProgram("groff"))
      << "scripts/install-deps installs them";
  RunOptions options;
  options.env = {"LC_ALL=C.UTF-8", "MANWIDTH=80", "MANPAGER=cat", "PAGER=cat"};
  for (const std::string page : {"quavlin", "quavtag"}) {
    const RunResult shown =
        testsupport::Run({"man", "--warnings", "-l", Path("share/man/man1/" + page + ".1.gz")}, options);
    EXPECT_EQ(shown.exitCode, 0) << page << shown.err;
    EXPECT_EQ(shown.err, "") << page;
    EXPECT_NE(shown.out.find("NAME"), std::string::npos) << page;
    EXPECT_NE(shown.out.find(page + " - "), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("quavlin " QUAV_VERSION), std::string::npos) << "the version in the footer";
    // Every warning groff knows of.
    const RunResult strict =
        Sh("groff -ww -man -Tutf8 -z '" + std::string(QUAV_BINARY_DIR) + "/man/" + page + ".1'", options);
    EXPECT_EQ(strict.exitCode, 0) << page;
    EXPECT_EQ(strict.err, "") << page;
  }
}

// Builds the consumer with the flags the library was built with (the
// sanitizers' runtime, in a sanitizer build) and runs it on a tagged file.
class Consumer : public Installed {
 protected:
  void Check(const std::string& program) {
    const std::string ogg = fDir.write("a.ogg", oggflac::OggVorbisFile());
    const RunResult r = testsupport::Run({program, ogg});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "at_Ogg 44100 Hz 2 ch: Song\n");
  }
  TempDir fDir;
};

TEST_F(Consumer, BuildsWithTheCMakePackage) {
  fDir.write("src/main.cpp", kConsumer);
  fDir.write("src/CMakeLists.txt", kConsumerProject);
  // Only the installation: a package installed on this machine must not
  // stand in for it.
  const RunResult configure =
      testsupport::Run({QUAV_CMAKE_COMMAND, "-S", fDir.file("src"), "-B", fDir.file("build"), "-G",
                        QUAV_CMAKE_GENERATOR, "-DCMAKE_CXX_COMPILER=" QUAV_CXX_COMPILER,
                        "-DCMAKE_PREFIX_PATH=" + Path(""), "-DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF",
                        "-DCMAKE_CXX_FLAGS=" QUAV_CONSUMER_FLAGS, "-DCMAKE_EXE_LINKER_FLAGS=" QUAV_CONSUMER_FLAGS});
  ASSERT_EQ(configure.exitCode, 0) << configure.out << configure.err;
  const RunResult build = testsupport::Run({QUAV_CMAKE_COMMAND, "--build", fDir.file("build")});
  ASSERT_EQ(build.exitCode, 0) << build.out << build.err;
  Check(fDir.file("build/consumer"));
}

TEST_F(Consumer, BuildsWithPkgConfig) {
  fDir.write("main.cpp", kConsumer);
  RunOptions options;
  options.cwd = fDir.path().string();
  options.env = {"PKG_CONFIG_LIBDIR=" + Path("lib/pkgconfig"), "PKG_CONFIG_PATH="};
  const RunResult build =
      Sh(std::string("'") + QUAV_CXX_COMPILER +
             "' -std=c++20 " QUAV_CONSUMER_FLAGS " main.cpp -o consumer $(pkg-config --cflags --libs quavaudiofiles)",
         options);
  ASSERT_EQ(build.exitCode, 0) << build.err;
  Check(fDir.file("consumer"));
}

}  // namespace
