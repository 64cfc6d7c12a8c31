#include "Settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "TextUtils.h"

namespace {

using testsupport::TempDir;

PlayerSettings Scan(const std::vector<std::string>& args, int32_t volume = 20) {
  PlayerSettings s;
  s.Volume = volume;
  ScanArguments(args, s);
  return s;
}

TEST(ArgumentScan, VolumeArgumentByLength) {
  EXPECT_EQ(Scan({"/v5"}).Volume, 5);
  EXPECT_EQ(Scan({"/v50"}).Volume, 50);
  EXPECT_EQ(Scan({"/v123"}).Volume, 100);
  EXPECT_EQ(Scan({"/v999"}).Volume, 100);
  EXPECT_EQ(Scan({"/v1234"}, 75).Volume, 75);
  EXPECT_EQ(Scan({"/v"}, 75).Volume, 75);
  EXPECT_EQ(Scan({"/v-5"}).Volume, -5);
  EXPECT_EQ(Scan({"/v$F"}).Volume, 15);
  // Only slash and lower-case v.
  EXPECT_EQ(Scan({"/V50"}, 75).Volume, 75);
  EXPECT_EQ(Scan({"-v50"}, 75).Volume, 75);
  // The last volume argument wins over the configuration's value.
  EXPECT_EQ(Scan({"/v30"}, 75).Volume, 30);
  EXPECT_EQ(Scan({"/v30", "/v7"}, 75).Volume, 7);
}

TEST(ArgumentScan, VolumeThatIsNoNumberRaisesConversionError) {
  try {
    Scan({"/vab"});
    FAIL() << "no error raised";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'ab' is not a valid integer value");
  }
  EXPECT_THROW(Scan({"/v "}), EConvertError);
}

TEST(ArgumentScan, Switches) {
  for (const char* on : {"/r", "-r", "/R", "-R"}) EXPECT_TRUE(Scan({on}).Shuffle) << on;
  for (const char* off : {"/rx", "/rr", "r", "--r", "/"}) EXPECT_FALSE(Scan({off}).Shuffle) << off;
  for (const char* n : {"/n", "-n", "/N", "-N"}) EXPECT_FALSE(Scan({n}).KeepLastPlaylist) << n;
  for (const char* g : {"/g", "-G"}) EXPECT_TRUE(Scan({g}).ReplayGain) << g;
  EXPECT_TRUE(Scan({"/nn"}).KeepLastPlaylist);
  EXPECT_TRUE(Scan({"x.mp3", "/v20", "/r"}).Shuffle);
  const PlayerSettings both = Scan({"-n", "/R"});
  EXPECT_TRUE(both.Shuffle);
  EXPECT_FALSE(both.KeepLastPlaylist);
  // Unknown switches are named; the rest are targets, in order, wherever
  // the switches stand.
  const PlayerSettings mixed = Scan({"/r", "a.mp3", "-x", "/zz", "--help", "/no/such/file", "b/", "-v50", "r"});
  EXPECT_EQ(mixed.Targets, (std::vector<std::string>{"a.mp3", "/no/such/file", "b/", "r"}));
  EXPECT_EQ(mixed.Ignored, (std::vector<std::string>{"-x", "/zz", "-v50"}));
}

TEST(ArgumentScan, ExistingPathIsNeverASwitchOrVolume) {
  // An absolute path here starts with '/': "/var" would otherwise be read
  // as a volume argument and end in a conversion error.
  const PlayerSettings var = Scan({"/var"}, 75);
  EXPECT_EQ(var.Volume, 75);
  EXPECT_EQ(var.Targets, std::vector<std::string>{"/var"});

  TempDir dir;
  dir.write("-r", "x");
  dir.write("-n/a.wav", "x");
  const std::string previous = std::filesystem::current_path().string();
  std::filesystem::current_path(dir.path());
  const PlayerSettings s = Scan({"-r", "-n"});
  std::filesystem::current_path(previous);
  EXPECT_FALSE(s.Shuffle);
  EXPECT_TRUE(s.KeepLastPlaylist);
  EXPECT_EQ(s.Targets, (std::vector<std::string>{"-r", "-n"}));
}

TEST(Configuration, DeviceAndVolumeLines) {
  TempDir dir;
  PlayerSettings s;
  ReadConfiguration(dir.write("a.cfg", "0\r\n75\r\nignored\r\n"), s);
  EXPECT_EQ(s.Device, 0);
  EXPECT_EQ(s.Volume, 75);

  PlayerSettings lf;
  ReadConfiguration(dir.write("b.cfg", "  3\n$1F"), lf);
  EXPECT_EQ(lf.Device, 3);
  EXPECT_EQ(lf.Volume, 31);

  PlayerSettings missing;
  ReadConfiguration(dir.file("none.cfg"), missing);
  EXPECT_EQ(missing.Device, -1);
  EXPECT_EQ(missing.Volume, 20);
  EXPECT_FALSE(missing.Shuffle);
  EXPECT_TRUE(missing.KeepLastPlaylist);
  EXPECT_TRUE(missing.Targets.empty());
}

TEST(Configuration, LineThatIsNoNumberRaisesWithTheLine) {
  TempDir dir;
  auto message = [&](const std::string& content) -> std::string {
    PlayerSettings s;
    try {
      ReadConfiguration(dir.write("c.cfg", content), s);
    } catch (const EConvertError& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_EQ(message("0\r\n"), "'' is not a valid integer value");
  EXPECT_EQ(message("0"), "'' is not a valid integer value");
  EXPECT_EQ(message(""), "'' is not a valid integer value");
  // Line 2 is converted before line 1.
  EXPECT_EQ(message("abc\r\nxyz\r\n"), "'xyz' is not a valid integer value");
  EXPECT_EQ(message("abc\r\n20\r\n"), "'abc' is not a valid integer value");
  EXPECT_EQ(message("0\r\n20 \r\n"), "'20 ' is not a valid integer value");
}

TEST(Configuration, DeviceLineMayNameAListedDevice) {
  const auto lookup = [](const std::string& name) -> int32_t { return name == "Null Output" ? 2 : -1; };
  TempDir dir;
  PlayerSettings named;
  ReadConfiguration(dir.write("a.cfg", "Null Output\r\n20\r\n"), named, lookup);
  EXPECT_EQ(named.Device, 2);
  PlayerSettings number;
  ReadConfiguration(dir.write("b.cfg", "3\r\n20\r\n"), number, lookup);
  EXPECT_EQ(number.Device, 3);
  // A name no device has, and an empty line, are no numbers, as before.
  for (const char* line : {"Null", ""}) {
    PlayerSettings s;
    EXPECT_THROW(ReadConfiguration(dir.write("c.cfg", std::string(line) + "\r\n20\r\n"), s, lookup), EConvertError)
        << line;
  }
}

TEST(ProgramDirectory, IsTheRunningExecutablesDirectory) {
  const std::string dir = ProgramDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_NE(PathSeparators().find(dir.back()), std::string_view::npos) << dir;
  EXPECT_TRUE(std::filesystem::exists(dir + "test_player") || std::filesystem::exists(dir + "test_player.exe")) << dir;
  EXPECT_EQ(ConfigurationFile("/opt/q/"), "/opt/q/quavlin.cfg");
}

}  // namespace
