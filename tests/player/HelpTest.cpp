// --help and --version: the texts, and the rule that an existing file or
// folder of that name is played instead.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "Help.h"
#include "PlayerHarness.h"

namespace {

using playertest::PlayerInstall;
using playertest::PlayerRun;

std::string PkgConfigVersion(const std::string& module) {
  std::string v = testsupport::Run({"pkg-config", "--modversion", module}).out;
  while (!v.empty() && v.back() == '\n') v.pop_back();
  return v;
}

TEST(Help, TextNamesTheFilesInEffect) {
  const std::string beside = HelpText(FilesBesideProgram("/opt/q/"));
  EXPECT_EQ(beside.rfind("Usage: quavlin [SWITCHES] FILE|FOLDER|PLAYLIST...\n", 0), 0u) << beside;
  EXPECT_NE(beside.find("\n  /opt/q/quavlin.cfg\n"), std::string::npos) << beside;
  EXPECT_NE(beside.find("\n  /opt/q/lastplay.m3u\n"), std::string::npos) << beside;
  EXPECT_EQ(beside.find("XDG"), std::string::npos) << "no other place to point to";
  EXPECT_EQ(beside.find('\r'), std::string::npos);

  const PlayerFiles user{"/home/ann/.config/quavlin/quavlin.cfg", "/home/ann/.local/state/quavlin/lastplay.m3u", false};
  const std::string text = HelpText(user);
  EXPECT_NE(text.find("\n  /home/ann/.config/quavlin/quavlin.cfg\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n  /home/ann/.local/state/quavlin/lastplay.m3u\n"), std::string::npos) << text;
  EXPECT_NE(text.find("A quavlin.cfg beside the program keeps both files there"), std::string::npos) << text;
  for (const char* code : {"\n  0  ", "\n  1  ", "\n  2  "}) EXPECT_NE(text.find(code), std::string::npos) << code;

  // A file name is shown as the console shows it.
  const std::string odd = HelpText(FilesBesideProgram("/opt/\x1b[2J/"));
  EXPECT_EQ(odd.find('\x1b'), std::string::npos);
}

TEST(Help, VersionTextUnpacksTheLibraryVersions) {
  EXPECT_EQ(VersionText({0x3b1b64, 0x3b2564, 0x130600}),
            "Quavlin " QUAV_VERSION "\nFFmpeg: libavformat 59.27.100, libavcodec 59.37.100\nPortAudio: 19.6.0\n");
}

TEST(Help, RequestsAreFoundAnywhereUnlessAPathHasTheirName) {
  EXPECT_EQ(FindInfoRequest({}), InfoRequest::None);
  EXPECT_EQ(FindInfoRequest({"--help"}), InfoRequest::Help);
  EXPECT_EQ(FindInfoRequest({"song.mp3", "/r", "--version"}), InfoRequest::Version);
  EXPECT_EQ(FindInfoRequest({"--version", "--help"}), InfoRequest::Version);
  EXPECT_EQ(FindInfoRequest({"-help", "--Help", "--versions", "-h"}), InfoRequest::None);
}

TEST(Help, HelpAndVersionFromTheProgram) {
  PlayerInstall install(std::nullopt);
  install.Write("lastplay.m3u", "#EXTM3U\r\n");
  install.Home().write(".local/state/quavlin/lastplay.m3u", "#EXTM3U\r\n");

  const PlayerRun help = install.Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out, HelpText({install.Home().file(".config/quavlin/quavlin.cfg"),
                                install.Home().file(".local/state/quavlin/lastplay.m3u"), false}));

  const PlayerRun version = install.Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.err, "");
  // The libraries it runs on: the ones this system's development files
  // describe. PortAudio's name only the major version.
  const std::regex form(
      "Quavlin 0\\.92\nFFmpeg: libavformat ([0-9.]+), libavcodec ([0-9.]+)\nPortAudio: (\\d+)\\.\\d+\\.\\d+\n");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(version.out, m, form)) << version.out;
  EXPECT_EQ(m[1].str(), PkgConfigVersion("libavformat"));
  EXPECT_EQ(m[2].str(), PkgConfigVersion("libavcodec"));
  EXPECT_EQ(m[3].str(), PkgConfigVersion("portaudio-2.0"));

  // Neither deletes the last playlist, wherever it is.
  EXPECT_TRUE(std::filesystem::exists(install.File("lastplay.m3u")));
  EXPECT_TRUE(std::filesystem::exists(install.Home().file(".local/state/quavlin/lastplay.m3u")));

  // A portable copy names its own files.
  install.Write("quavlin.cfg", "0\r\n20\r\n");
  const PlayerRun portable = install.Run({"--help"});
  EXPECT_EQ(portable.out, HelpText(FilesBesideProgram(install.Dir().path().string() + "/")));
}

TEST(Help, FileNamedLikeARequestIsPlayed) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("--help", "#EXTM3U\r\n");
  const PlayerRun r = install.Run({"--help"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.err, "nothing to play in --help\r\n");
  EXPECT_EQ(r.out, "Quavlin " QUAV_VERSION "\r\n" + std::string(35, '-') + "\r\nVolume: 20 Shuffle: no\r\n");
  // Beside a file, a request that names nothing still wins.
  const PlayerRun both = install.Run({"--help", "--version"});
  EXPECT_EQ(both.exitCode, 0);
  EXPECT_EQ(both.out.rfind("Quavlin " QUAV_VERSION "\nFFmpeg: ", 0), 0u) << both.out;
}

}  // namespace
