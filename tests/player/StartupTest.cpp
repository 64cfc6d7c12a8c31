// The program's start: banner, usage and device list, configuration,
// command-line switches and the top-level error report.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <tuple>

#include "PlayerHarness.h"

namespace {

using playertest::PlayerInstall;
using playertest::PlayerRun;

const std::string kBanner = "Quavlin " QUAV_VERSION "\r\n" + std::string(35, '-') + "\r\n";

std::string ErrorReport(const std::string& kind, const std::string& message) {
  return "Exception " + kind + " in module quavlin at 0000000000000000.\r\n" + message + "\r\n\r\n";
}

// A playlist of comment lines only: passes the text test and plays nothing,
// so a run ends right after the settings line, saying so.
const char* kQuietList = "quiet.m3u";
const std::string kNothing = "nothing to play in quiet.m3u\r\n";

TEST(Startup, NoArgumentsPrintsUsageAndDevicesOnly) {
  PlayerInstall install("not a number\r\n");  // never read without arguments
  install.Write("lastplay.m3u", "#EXTM3U\r\n");
  const PlayerRun r = install.Run({});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  const std::string usage = kBanner +
                            "\tusage: quavlin <file> or folder\r\n"
                            "optional /r for shuffle play only folder\r\n"
                            "You can change the device and volume in the config: " +
                            install.File("quavlin.cfg") +
                            "\r\n"
                            "Output Devices\r\n";
  ASSERT_EQ(r.out.substr(0, usage.size()), usage);
  // Devices from 1 on, four lines each; the silent device 0 is not listed.
  const std::regex device(
      "(\\d+): [^\r\n]*\r\n\tdriver: [^\r\n]*\r\n\ttype: [^\r\n]*\r\n\tflags:( loopback)?( enabled)?( default)? "
      "\\(\\d+\\)\r\n");
  std::string rest = r.out.substr(usage.size());
  int expected = 1;
  std::smatch m;
  while (!rest.empty()) {
    ASSERT_TRUE(std::regex_search(rest, m, device, std::regex_constants::match_continuous)) << rest;
    EXPECT_EQ(std::stoi(m[1].str()), expected++);
    rest = m.suffix();
  }
  EXPECT_FALSE(std::filesystem::exists(install.File("lastplay.m3u"))) << "deleted on every start";
}

TEST(Startup, ConfigurationErrorsEndWithReportAndExitCode1) {
  struct Case {
    const char* config;
    const char* message;
    int line;
  } cases[] = {
      {"0\r\n", "'' is not a valid integer value.", 2},
      {"0", "'' is not a valid integer value.", 2},
      {"0\r\nloud\r\n", "'loud' is not a valid integer value.", 2},
      {"zero\r\n20\r\n", "'zero' is not a valid integer value.", 1},
  };
  for (const Case& c : cases) {
    PlayerInstall install(std::string(c.config));
    install.Write(kQuietList, "#EXTM3U\r\n");
    const PlayerRun r = install.Run({kQuietList});
    EXPECT_EQ(r.exitCode, 1) << c.config;
    EXPECT_EQ(r.out, kBanner) << "nothing after the banner: no device was initialised";
    // The report, then where the setting stands.
    EXPECT_EQ(r.err, ErrorReport("EConvertError", c.message) + "The setting is line " + std::to_string(c.line) +
                         " of " + install.File("quavlin.cfg") + ".\r\n")
        << c.config;
  }
}

TEST(Startup, ConfiguredVolumeIsHeldBetween0And100) {
  REQUIRE_ENGINE();
  for (const auto& [config, line, held] : {std::tuple{"0\r\n250\r\n", "Volume: 100", "volume 250 held to 100"},
                                           std::tuple{"0\r\n-7\r\n", "Volume: 0", "volume -7 held to 0"}}) {
    PlayerInstall install(config);
    install.Write(kQuietList, "#EXTM3U\r\n");
    const PlayerRun r = install.Run({kQuietList});
    EXPECT_EQ(r.out, kBanner + line + " Shuffle: no\r\n");
    EXPECT_EQ(r.err, std::string(held) + "\r\n" + kNothing);
  }
}

TEST(Startup, VolumeAndShuffleLine) {
  REQUIRE_ENGINE();
  PlayerInstall install("0\r\n75\r\n");
  install.Write(kQuietList, "#EXTM3U\r\n# nothing here\r\n");
  struct Case {
    std::vector<std::string> args;
    const char* line;
    std::string ignored = {};  // what standard error names before the list's report
  } cases[] = {
      {{}, "Volume: 75 Shuffle: no"},
      {{"/v30"}, "Volume: 30 Shuffle: no"},
      {{"/v5"}, "Volume: 5 Shuffle: no"},
      {{"/v123"}, "Volume: 100 Shuffle: no"},
      {{"/v999"}, "Volume: 100 Shuffle: no"},
      {{"/v1234"}, "Volume: 75 Shuffle: no"},
      {{"/v"}, "Volume: 75 Shuffle: no"},
      {{"/V50"}, "Volume: 75 Shuffle: no", "ignored: /V50\r\n"},
      {{"-v50"}, "Volume: 75 Shuffle: no", "ignored: -v50\r\n"},
      {{"/v-5"}, "Volume: 0 Shuffle: no", "volume -5 held to 0\r\n"},
      {{"/r"}, "Volume: 75 Shuffle: yes"},
      {{"-R", "/v20"}, "Volume: 20 Shuffle: yes"},
      {{"/rx"}, "Volume: 75 Shuffle: no", "ignored: /rx\r\n"},
      {{"-n"}, "Volume: 75 Shuffle: no"},
  };
  for (const Case& c : cases) {
    // Switches may stand before the target as well as after it.
    std::vector<std::string> args = c.args;
    args.insert(args.begin() + static_cast<long>(args.size() / 2), kQuietList);
    const PlayerRun r = install.Run(args);
    EXPECT_EQ(r.exitCode, 1) << c.line;
    EXPECT_EQ(r.out, kBanner + c.line + "\r\n") << c.line;
    EXPECT_EQ(r.err, c.ignored + kNothing) << c.line;
  }
}

TEST(Startup, VolumeThatIsNoNumberEndsWithConversionError) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write(kQuietList, "#EXTM3U\r\n");
  const PlayerRun r = install.Run({kQuietList, "/vab"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, ErrorReport("EConvertError", "'ab' is not a valid integer value."));
  EXPECT_EQ(r.out, kBanner);
}

TEST(Startup, ExistingPathsAreNeverSwitches) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  // A playlist and a folder named like switches are played.
  install.Write("-r", "#EXTM3U\r\n");
  install.Write("-n/a.wav", playertest::WavTone(0.1));
  const PlayerRun r = install.Run({"-r", "-n"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Volume: 20 Shuffle: no\r\nPlaying file: 1 a 0:00 from 1\r\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "nothing to play in -r\r\n");
  EXPECT_TRUE(std::filesystem::exists(install.File("lastplay.m3u")));
  // Switches alone: nothing to play, the usage and the device list.
  const PlayerRun alone = install.Run({"/r", "-q"});
  EXPECT_EQ(alone.exitCode, 0);
  EXPECT_EQ(alone.err, "ignored: -q\r\n");
  EXPECT_NE(alone.out.find("Output Devices\r\n"), std::string::npos) << alone.out;
}

TEST(Startup, WithoutConfigurationTheDefaultDeviceAndVolume20) {
  PlayerInstall install(std::nullopt);
  install.Write(kQuietList, "#EXTM3U\r\n");
  // Whether this machine has an output device, by the program's own list.
  const bool noDevice = install.Run({}).out.find("\r\n1: ") == std::string::npos;
  const PlayerRun r = install.Run({kQuietList});
  if (r.out.find("Can't initialize device") != std::string::npos) {
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(std::regex_match(r.out, std::regex(kBanner + "Error\\(-?\\d+\\): Can't initialize device\r\n")))
        << r.out;
    // Without any device, a hint to the silent device follows on standard
    // error; a device that exists and failed gets none.
    if (noDevice) {
      // Without quavlin.cfg beside the program, the user's configuration.
      EXPECT_EQ(r.err, "No output device found; line 1 of " + install.Home().file(".config/quavlin/quavlin.cfg") +
                           " set to 0 plays on the silent device.\r\n");
    } else {
      EXPECT_EQ(r.err, "");
    }
  } else {
    EXPECT_FALSE(noDevice);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.err, kNothing);
    EXPECT_EQ(r.out, kBanner + "Volume: 20 Shuffle: no\r\n");
  }
}

TEST(Startup, EngineFailuresEndWithExitCode2) {
  // A device that does not exist: no hint, it was not the default one.
  PlayerInstall install("99\r\n20\r\n");
  install.Write(kQuietList, "#EXTM3U\r\n");
  const PlayerRun device = install.Run({kQuietList});
  EXPECT_EQ(device.exitCode, 2);
  EXPECT_EQ(device.out, kBanner + "Error(23): Can't initialize device\r\n");
  EXPECT_EQ(device.err, "");
}

TEST(Startup, FirstArgumentThatCannotBeReadEndsWithOpenError) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  const std::string song = install.Write("song.wav", playertest::WavTone(0.1));

  const PlayerRun missing = install.Run({install.File("missing.wav")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, ErrorReport("EFOpenError", "Cannot open file \"" + install.File("missing.wav") +
                                                        "\". No such file or directory."));

  // A switch before the file counts as well as after it.
  const PlayerRun early = install.Run({"/v50", song});
  EXPECT_EQ(early.exitCode, 0) << early.err;
  EXPECT_NE(early.out.find("Volume: 50 Shuffle: no\r\nPlaying file: 1 song 0:00\r\n"), std::string::npos) << early.out;

  // A directory followed by a file: a queue of the two.
  std::filesystem::create_directory(install.File("dir"));
  const PlayerRun dirFirst = install.Run({install.File("dir"), song});
  EXPECT_EQ(dirFirst.exitCode, 0);
  EXPECT_EQ(dirFirst.err, "nothing to play in " + install.File("dir") + "\r\n");
  EXPECT_NE(dirFirst.out.find("Playing file: 1 song 0:00 from 1"), std::string::npos) << dirFirst.out;
}

TEST(Startup, FileThatIsNeitherAudioNorTextEndsWithEngineError) {
  REQUIRE_ENGINE();
  PlayerInstall install;
  install.Write("noise.bin", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(200, '\x7f'));
  install.Write("ansi.m3u", "#EXTM3U\r\n\xC9t\xE9.wav\r\n");
  for (const char* name : {"noise.bin", "ansi.m3u"}) {
    const PlayerRun r = install.Run({name});
    EXPECT_EQ(r.exitCode, 2) << name << ": an engine failure";
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(std::regex_match(
        r.out, std::regex(kBanner + "Volume: 20 Shuffle: no\r\nError\\(-?\\d+\\): Can't play the file\r\n")))
        << name << ": " << r.out;
  }
}

}  // namespace
