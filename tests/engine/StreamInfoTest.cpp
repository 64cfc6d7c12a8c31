// What a stream says about its file: BASS_ChannelGetInfo and
// BASS_ChannelGetTags.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "EngineTestSupport.h"

using namespace enginetest;

namespace {

// The "name=value" strings of a tag list, in order.
std::vector<std::pair<std::string, std::string>> TagList(const char* tags) {
  std::vector<std::pair<std::string, std::string>> list;
  for (const char* entry = tags; *entry != '\0'; entry += std::strlen(entry) + 1) {
    const std::string text(entry);
    const size_t equals = text.find('=');
    EXPECT_NE(equals, std::string::npos) << text;
    EXPECT_GT(equals, 0u) << text;
    list.emplace_back(text.substr(0, equals), text.substr(equals + 1));
  }
  return list;
}

// The first value of a name, compared without case.
std::string TagValue(const char* tags, const std::string& name) {
  for (const auto& [key, value] : TagList(tags))
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  return "<absent>";
}

using StreamInfo = SilentDeviceTest;

TEST_F(StreamInfo, PcmFileGivesItsOwnChannelsRateAndBitrate) {
  // Six channels in the file; the stream itself plays two.
  const std::string path = fDir.write("six.wav", WavBytes(48000, 6, 4800, Sine(440, 48000)));
  for (const DWORD flags : {DWORD{0}, DWORD{BASS_STREAM_DECODE}}) {
    SCOPED_TRACE(flags);
    const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, flags);
    ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(h, &info)) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_EQ(info.freq, 48000u);
    EXPECT_EQ(info.chans, 6u);
    EXPECT_EQ(BASS_ChannelGetLength(h, BASS_POS_BYTE), 4800u * 2 * 2) << "the stream is stereo";
    EXPECT_EQ(info.bitrate, 48000u * 6 * 16);
    EXPECT_STREQ(info.codec, "pcm_s16le");
    EXPECT_STREQ(info.format, "wav");
    EXPECT_NE(std::string(info.codecname), "");
    EXPECT_NE(std::string(info.formatname), "");
    // No tags: the list is just its end.
    const char* tags = BASS_ChannelGetTags(h);
    ASSERT_NE(tags, nullptr);
    EXPECT_EQ(tags[0], '\0');
    BASS_StreamFree(h);
  }
}

TEST_F(StreamInfo, EncodedFilesGiveCodecContainerAndTagsAsStored) {
  struct Case {
    const char* name;
    const char* args;
    int channels;
    const char* codec;
    const char* format;  // one of the container's short names
  } cases[] = {
      {"t.opus", "-ac 1 -c:a libopus -b:a 48k", 1, "opus", "ogg"},
      {"t.m4a", "-ac 2 -c:a aac -b:a 96k", 2, "aac", "m4a"},
      {"t.aiff", "-ac 2 -write_id3v2 1", 2, "pcm_s16be", "aiff"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A title with an escape sequence and a line break: the engine passes
    // values on exactly as the file holds them.
    const std::string path =
        ToneFile(fDir, c.name, 440, 0.5, 44100, 2,
                 std::string(c.args) +
                     " -metadata title=\"$(printf 'Tone\\033[31m\\nTwo')\" -metadata artist=Someone "
                     "-metadata album='An Album' -metadata genre=Jazz");
    ASSERT_FALSE(path.empty()) << "ffmpeg could not make " << c.name;
    const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(h, &info));
    EXPECT_EQ(static_cast<int>(info.chans), c.channels);
    EXPECT_GT(info.bitrate, 0u);
    EXPECT_STREQ(info.codec, c.codec);
    EXPECT_NE((std::string(",") + info.format + ",").find(std::string(",") + c.format + ","), std::string::npos)
        << info.format;
    const char* tags = BASS_ChannelGetTags(h);
    ASSERT_NE(tags, nullptr);
    EXPECT_EQ(TagValue(tags, "title"), "Tone\x1b[31m\nTwo");
    EXPECT_EQ(TagValue(tags, "artist"), "Someone");
    EXPECT_EQ(TagValue(tags, "album"), "An Album");
    EXPECT_EQ(TagValue(tags, "genre"), "Jazz");
    // Asked again, the same text at the same place: pointers handed out stay valid.
    BASS_CHANNELINFO again{};
    ASSERT_TRUE(BASS_ChannelGetInfo(h, &again));
    EXPECT_EQ(again.codec, info.codec);
    EXPECT_EQ(BASS_ChannelGetTags(h), tags);
    // Decoding changes none of it.
    ReadAll(h);
    EXPECT_EQ(BASS_ChannelGetTags(h), tags);
    EXPECT_EQ(TagValue(tags, "artist"), "Someone");
    BASS_StreamFree(h);
  }
}

TEST_F(StreamInfo, BadHandlesAndArguments) {
  BASS_CHANNELINFO info{};
  EXPECT_FALSE(BASS_ChannelGetInfo(12345, &info));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_EQ(BASS_ChannelGetTags(12345), nullptr);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);

  const std::string path = fDir.write("t.wav", WavBytes(44100, 2, 441, Sine(440, 44100)));
  const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(BASS_ChannelGetInfo(h, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
  ASSERT_TRUE(BASS_StreamFree(h));
  EXPECT_FALSE(BASS_ChannelGetInfo(h, &info));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_EQ(BASS_ChannelGetTags(h), nullptr);
}

}  // namespace
