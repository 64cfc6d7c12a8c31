// Where the player keeps quavlin.cfg and lastplay.m3u: beside a portable
// copy, otherwise in the user's XDG base directories.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "Console.h"
#include "FileAccess.h"
#include "PlayerFiles.h"
#include "PlayerHarness.h"

namespace {

namespace fs = std::filesystem;
using playertest::PlayerInstall;
using playertest::PlayerRun;
using playertest::WavTone;

TEST(PlayerFiles, XdgFoldersFromTheEnvironment) {
  const auto files = [](XdgEnvironment e) { return XdgPlayerFiles(e); };
  const auto defaults = files({"", "", "/home/ann"});
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->Configuration, "/home/ann/.config/quavlin/quavlin.cfg");
  EXPECT_EQ(defaults->LastPlaylist, "/home/ann/.local/state/quavlin/lastplay.m3u");
  EXPECT_FALSE(defaults->BesideProgram);

  const auto own = files({"/cfg/", "/var/st//", "/home/ann"});
  ASSERT_TRUE(own);
  EXPECT_EQ(own->Configuration, "/cfg/quavlin/quavlin.cfg");
  EXPECT_EQ(own->LastPlaylist, "/var/st/quavlin/lastplay.m3u");

  // Relative values count as unset, as the base directory rules say.
  const auto relative = files({"cfg", "./state", "/home/ann"});
  ASSERT_TRUE(relative);
  EXPECT_EQ(relative->Configuration, "/home/ann/.config/quavlin/quavlin.cfg");
  EXPECT_EQ(relative->LastPlaylist, "/home/ann/.local/state/quavlin/lastplay.m3u");

  // Without a home, only both variables will do.
  EXPECT_FALSE(files({"", "", ""}));
  EXPECT_FALSE(files({"/cfg", "", "home"}));
  const auto noHome = files({"/cfg", "/st", ""});
  ASSERT_TRUE(noHome);
  EXPECT_EQ(noHome->LastPlaylist, "/st/quavlin/lastplay.m3u");
}

TEST(PlayerFiles, BesideTheProgramWhenItsConfigurationIsThere) {
  const PlayerFiles beside = FilesBesideProgram("/opt/q/");
  EXPECT_EQ(beside.Configuration, "/opt/q/quavlin.cfg");
  EXPECT_EQ(beside.LastPlaylist, "/opt/q/lastplay.m3u");
  EXPECT_TRUE(beside.BesideProgram);
  CreateLastPlaylistFolder(beside);  // the program's own folder: nothing to make
  EXPECT_FALSE(fs::exists("/opt/q"));
}

TEST(PlayerFiles, LastPlaylistFolderIsMadePrivateAndFailuresAreReported) {
  testsupport::TempDir dir;
  const PlayerFiles files{dir.file("cfg/quavlin/quavlin.cfg"), dir.file("state/deep/quavlin/lastplay.m3u"), false};
  CreateLastPlaylistFolder(files);
  for (const char* folder : {"state", "state/deep", "state/deep/quavlin"}) {
    struct stat st {};
    ASSERT_EQ(::stat(dir.file(folder).c_str(), &st), 0) << folder;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
  }
  EXPECT_FALSE(fs::exists(dir.file("cfg"))) << "the configuration is only read";
  CreateLastPlaylistFolder(files);  // again: the folders stay

  dir.write("file", "x");
  const PlayerFiles blocked{"", dir.file("file/quavlin/lastplay.m3u"), false};
  try {
    CreateLastPlaylistFolder(blocked);
    ADD_FAILURE() << "no error for a folder below a file";
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create folder \"" + dir.file("file/quavlin") + "\". Not a directory");
  }
}

// Everything below a folder, as paths relative to it.
std::vector<std::string> Tree(const fs::path& root) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(root)) names.push_back(fs::relative(entry, root).string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PlayerFiles, PortableCopyKeepsBothFilesBesideItself) {
  REQUIRE_ENGINE();
  PlayerInstall install("0\r\n30\r\n");
  install.Write("music/a.wav", WavTone(0.1));
  const PlayerRun r = install.Run({"music"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Volume: 30 Shuffle: no"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(install.File("lastplay.m3u")));
  EXPECT_TRUE(Tree(install.Home().path()).empty()) << "nothing in the home folder";

  const PlayerRun usage = install.Run({});
  EXPECT_NE(usage.out.find("in the config: " + install.File("quavlin.cfg") + "\r\n"), std::string::npos) << usage.out;
}

TEST(PlayerFiles, InstalledCopyUsesTheUsersFolders) {
  REQUIRE_ENGINE();
  PlayerInstall install(std::nullopt);
  const testsupport::TempDir& home = install.Home();
  home.write(".config/quavlin/quavlin.cfg", "0\r\n35\r\n");
  const std::string music = install.Write("music/a.wav", WavTone(0.1));
  const std::string last = home.file(".local/state/quavlin/lastplay.m3u");

  const PlayerRun usage = install.Run({});
  EXPECT_NE(usage.out.find("in the config: " + home.file(".config/quavlin/quavlin.cfg") + "\r\n"), std::string::npos)
      << usage.out;

  const PlayerRun r = install.Run({"music"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Volume: 35 Shuffle: no"), std::string::npos) << r.out;
  EXPECT_EQ(testsupport::ReadWholeFile(last),
            "#EXTM3U\r\n#Last playlist quavlin " QUAV_VERSION "\r\n" + music + "\r\n");
  EXPECT_EQ(Tree(install.Dir().path()), (std::vector<std::string>{"music", "music/a.wav", "quavlin"}))
      << "nothing beside the program";
  // Deleted at the next start, as beside the program.
  install.Run({"music", "/n"});
  EXPECT_FALSE(fs::exists(last));

  // The variables move both files; the state folders are made on the way.
  const testsupport::TempDir other;
  other.write("config/quavlin/quavlin.cfg", "0\r\n45\r\n");
  playertest::RunOptions options;
  options.env = {"XDG_CONFIG_HOME=" + other.file("config"), "XDG_STATE_HOME=" + other.file("new/state")};
  const PlayerRun moved = install.Run({"music"}, options);
  ASSERT_EQ(moved.exitCode, 0) << moved.err;
  EXPECT_NE(moved.out.find("Volume: 45 Shuffle: no"), std::string::npos) << moved.out;
  EXPECT_TRUE(fs::exists(other.file("new/state/quavlin/lastplay.m3u")));
  EXPECT_FALSE(fs::exists(last));

  // A state folder that cannot be made ends with the error report.
  other.write("file", "x");
  options.env = {"XDG_STATE_HOME=" + other.file("file")};
  const PlayerRun blocked = install.Run({"music"}, options);
  EXPECT_EQ(blocked.exitCode, 1);
  EXPECT_EQ(blocked.err, "Exception EInOutError in module quavlin at 0000000000000000.\r\nCannot create folder \"" +
                             other.file("file/quavlin") + "\". Not a directory.\r\n\r\n");
}

// The user's case: the program in a folder that only root may write (as
// /usr/bin), run by someone else. The last playlist goes to that user's
// state folder instead of failing beside the program.
TEST(PlayerFiles, ReadOnlyInstallationRunByAnotherUser) {
  REQUIRE_ENGINE();
  PlayerInstall install(std::nullopt);
  install.Write("music/a.wav", WavTone(0.1));
  const testsupport::TempDir& home = install.Home();
  home.write(".config/quavlin/quavlin.cfg", "0\r\n20\r\n");
  fs::permissions(home.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  fs::permissions(home.file(".config"), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  fs::permissions(home.file(".config/quavlin"), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  fs::permissions(home.file(".config/quavlin/quavlin.cfg"), fs::perms::others_read, fs::perm_options::add);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(home.path().c_str(), 65534, 65534), 0);
  }
  const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec;

  std::string skip;
  fs::permissions(install.Dir().path(), readOnly);
  const PlayerRun r = playertest::RunUnprivileged(install, {"music"}, skip);
  fs::permissions(install.Dir().path(), fs::perms::owner_all, fs::perm_options::add);
  if (!skip.empty()) GTEST_SKIP() << skip;
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("Playing file: 1 a 0:00 from 1"), std::string::npos) << r.out;
  EXPECT_EQ(testsupport::ReadWholeFile(home.file(".local/state/quavlin/lastplay.m3u")),
            "#EXTM3U\r\n#Last playlist quavlin " QUAV_VERSION "\r\n" + install.File("music/a.wav") + "\r\n");
}

}  // namespace
