// The versions of the libraries the engine runs on.
#include <gtest/gtest.h>

#include <string>

#include "EngineTestSupport.h"

namespace {

std::string Dotted(DWORD version) {
  return std::to_string(version >> 16 & 0xFF) + "." + std::to_string(version >> 8 & 0xFF) + "." +
         std::to_string(version & 0xFF);
}

// What the installed development files say; on one system the loaded
// libraries are the ones they describe.
std::string PkgConfigVersion(const std::string& module) {
  const auto r = testsupport::Run({"pkg-config", "--modversion", module});
  std::string v = r.out;
  while (!v.empty() && (v.back() == '\n' || v.back() == '\r')) v.pop_back();
  return r.exitCode == 0 ? v : std::string();
}

TEST(EngineInterface, LibraryVersionsAreTheLoadedLibraries) {
  // Asked before any BASS_Init: no device is needed.
  const DWORD avformat = BASS_GetLibraryVersion(BASS_LIBRARY_AVFORMAT);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
  const DWORD avcodec = BASS_GetLibraryVersion(BASS_LIBRARY_AVCODEC);
  const DWORD portaudio = BASS_GetLibraryVersion(BASS_LIBRARY_PORTAUDIO);
  EXPECT_EQ(Dotted(avformat), PkgConfigVersion("libavformat"));
  EXPECT_EQ(Dotted(avcodec), PkgConfigVersion("libavcodec"));
  // PortAudio's development files name only the major version, 19.
  EXPECT_EQ(std::to_string(portaudio >> 16), PkgConfigVersion("portaudio-2.0"));

  EXPECT_EQ(BASS_GetLibraryVersion(0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
  EXPECT_EQ(BASS_GetLibraryVersion(4), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
}

}  // namespace
