// Decode-only streams: the whole pipeline without waiting for real time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "Dsp.h"
#include "EngineTestSupport.h"

using namespace enginetest;

namespace {

class DecodeStream : public SilentDeviceTest {
 protected:
  HSTREAM Open(const std::string& path) {
    const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    EXPECT_NE(h, 0u) << path << " error " << BASS_ErrorGetCode();
    return h;
  }
  HFX Band(HSTREAM h, float center, float bandwidth, float gain) {
    const HFX fx = BASS_ChannelSetFX(h, BASS_FX_DX8_PARAMEQ, 0);
    BASS_DX8_PARAMEQ p{center, bandwidth, gain};
    EXPECT_TRUE(BASS_FXSetParameters(fx, &p)) << BASS_ErrorGetCode();
    return fx;
  }
};

TEST_F(DecodeStream, LengthAndPositionOfWavAreExactBytesOf16BitPcm) {
  const std::string path = ToneFile(fDir, "tone.wav", 440, 1.0, 44100, 2);
  const HSTREAM h = Open(path);
  EXPECT_EQ(BASS_ChannelGetLength(h, BASS_POS_BYTE), 176400u);
  EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(h, 176400), 1.0);
  EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 0.5), 88200u);
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), 0u);

  std::vector<int16_t> pcm(4410 * 2);
  EXPECT_EQ(BASS_ChannelGetData(h, pcm.data(), static_cast<DWORD>(pcm.size() * 2)), pcm.size() * 2);
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), pcm.size() * 2);
  // Same rate, no effect, unit volume: the samples come through unchanged.
  for (int f = 0; f < 4410; f += 97) {
    const auto want = static_cast<int16_t>(std::lround(0.5 * std::sin(2 * std::numbers::pi * 440 * f / 44100) * 32767));
    EXPECT_NEAR(pcm[2 * f], want, 1) << "frame " << f;
  }
  QWORD total = pcm.size() * 2;
  for (DWORD got; (got = BASS_ChannelGetData(h, pcm.data(), static_cast<DWORD>(pcm.size() * 2))) != 0xFFFFFFFFu;)
    total += got;
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
  EXPECT_EQ(total, 176400u);
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), 176400u);
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
  EXPECT_TRUE(BASS_StreamFree(h));
  EXPECT_FALSE(BASS_StreamFree(h));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(DecodeStream, OneLarge16BitReadEqualsTheFloatSamplesConverted) {
  // A read far larger than the engine's conversion block, through a band
  // and a volume so that the samples are the engine's own.
  const std::string path = ToneFile(fDir, "big.wav", 523.25, 1.0, 44100, 2);
  std::vector<float> floats;
  std::vector<int16_t> shorts(44100 * 2 + 10);
  DWORD got16 = 0;
  for (bool asFloat : {true, false}) {
    const HSTREAM h = Open(path);
    const HFX fx = Band(h, 1000, 12, 6);
    ASSERT_NE(fx, 0u);
    ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.7f));
    if (asFloat) {
      floats = ReadAll(h, 8192);
    } else {
      got16 = BASS_ChannelGetData(h, shorts.data(), static_cast<DWORD>(shorts.size() * 2));
    }
    BASS_StreamFree(h);
  }
  ASSERT_EQ(got16, 44100u * 4);
  ASSERT_EQ(floats.size(), 44100u * 2);
  std::vector<int16_t> converted(floats.size());
  quav::FloatToS16(floats.data(), converted.data(), floats.size());
  for (size_t i = 0; i < converted.size(); ++i) ASSERT_EQ(shorts[i], converted[i]) << "sample " << i;
}

TEST_F(DecodeStream, LengthsOfEncodedFilesMatchTheirDuration) {
  struct Case {
    const char* name;
    int rate;
    int channels;
    double toleranceSeconds;
  };
  const Case cases[] = {{"tone.flac", 44100, 2, 0.0},
                        {"tone.mp3", 44100, 2, 0.06},
                        {"tone.ogg", 48000, 2, 0.03},
                        {"mono.flac", 22050, 1, 0.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = ToneFile(fDir, c.name, 440, 2.0, c.rate, c.channels);
    if (path.empty()) GTEST_SKIP() << "ffmpeg could not encode " << c.name;
    const HSTREAM h = Open(path);
    const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(h, length), 2.0, c.toleranceSeconds);
    EXPECT_EQ(length % (2 * c.channels), 0u);
    const std::vector<float> all = ReadAll(h);
    const QWORD delivered = all.size() / c.channels * c.channels * 2;
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), delivered);
    // Once decoded to the end the length is what was decoded.
    EXPECT_EQ(BASS_ChannelGetLength(h, BASS_POS_BYTE), delivered);
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(h, delivered), 2.0, c.toleranceSeconds + 0.001);
    EXPECT_NEAR(ToneFrequency(Channel(all, c.channels, 0), 0, all.size() / c.channels, c.rate), 440.0, 0.5);
    BASS_StreamFree(h);
  }
}

// A seek lands where the stream then says it is: a 441 Hz tone crosses zero
// rising every 100 frames from frame 0, so after a seek to 2 s the first
// rising crossing is a multiple of 100 frames on; and the rest of the file
// follows, to its end. MP3 lands within a millisecond (its demuxer's
// timestamps after a seek are estimates), its first frame after the seek
// silent for want of the bit reservoir: only its position is checked.
TEST_F(DecodeStream, SetPositionLandsOnTheFrameItReports) {
  for (const char* name : {"seek.wav", "seek.flac", "seek.mp3", "seek.ogg"}) {
    SCOPED_TRACE(name);
    const bool exact = std::string_view(name) != "seek.mp3";
    const std::string path = ToneFile(fDir, name, 441, 3.0);
    if (path.empty()) GTEST_SKIP() << "ffmpeg could not encode " << name;
    const HSTREAM h = Open(path);
    const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
    EXPECT_FALSE(BASS_ChannelSetPosition(h, length + 4, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
    ASSERT_TRUE(BASS_ChannelSetPosition(h, BASS_ChannelSeconds2Bytes(h, 2.0), BASS_POS_BYTE)) << BASS_ErrorGetCode();
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(h, BASS_ChannelGetPosition(h, BASS_POS_BYTE)), 2.0);
    const std::vector<float> left = Channel(ReadAll(h), 2, 0);
    // The rest, to the end as decoded.
    EXPECT_EQ(left.size() + 2 * 44100, BASS_ChannelGetLength(h, BASS_POS_BYTE) / 4);
    size_t crossing = 1;
    while (crossing < left.size() && !(left[crossing - 1] < 0 && left[crossing] >= 0)) ++crossing;
    const auto phase = static_cast<int>(crossing % 100);
    if (exact) {
      EXPECT_LE(std::min(phase, 100 - phase), 2) << "off by " << phase << " frames";
    }
    BASS_StreamFree(h);
  }
}

TEST_F(DecodeStream, FilesThatAreNotAudioAreRefusedAsFormatErrors) {
  std::mt19937 random(7);
  std::string noise(64 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  std::vector<std::string> files = {
      fDir.write("list.m3u", "#EXTM3U\n#EXTINF:123,Artist - Title\nsong.mp3\nother.flac\n"),
      fDir.write("notes.txt", "just some text\r\nin two lines\r\n"),
      fDir.write("noise.bin", noise),
      fDir.write("noise.mp3", noise),
      fDir.write("empty.wav", ""),
      fDir.write("header-only.wav", WavBytes(44100, 2, 0, Sine(1, 1))),
      // A rate no audio uses (would make conversion to the device balloon).
      fDir.write("slow.wav", WavBytes(500, 1, 500, Sine(50, 500))),
  };
  const std::string jpeg = fDir.file("picture.jpg");
  if (testsupport::Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=red:s=32x32 -frames:v 1 '" + jpeg +
                         "'"))
    files.push_back(jpeg);
  for (const std::string& f : files) {
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, f.c_str(), 0, 0, BASS_STREAM_DECODE), 0u) << f;
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM) << f;
  }
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, fDir.file("missing.mp3").c_str(), 0, 0, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, fDir.path().c_str(), 0, 0, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

TEST_F(DecodeStream, OpensUtf16NamesAndNamesWithColons) {
  const std::string path = fDir.write("Tön: ▶ 1.wav", WavBytes(8000, 1, 800, Sine(100, 8000)));
  // The UTF-16 spelling of the same path.
  std::u16string utf16;
  for (size_t i = 0; i < path.size();) {
    const auto c = static_cast<unsigned char>(path[i]);
    char32_t cp;
    int n;
    if (c < 0x80) {
      cp = c;
      n = 1;
    } else if (c < 0xE0) {
      cp = c & 0x1F;
      n = 2;
    } else if (c < 0xF0) {
      cp = c & 0x0F;
      n = 3;
    } else {
      cp = c & 0x07;
      n = 4;
    }
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(path[i + k]) & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      utf16 += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      utf16 += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      utf16 += static_cast<char16_t>(cp);
    }
  }
  const HSTREAM h = BASS_StreamCreateFile(FALSE, utf16.c_str(), 0, 0, BASS_UNICODE | BASS_STREAM_DECODE);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  EXPECT_EQ(BASS_ChannelGetLength(h, BASS_POS_BYTE), 1600u);
  EXPECT_NE(Open(path), 0u);
}

TEST_F(DecodeStream, EqualiserBoostsItsCentreAndIsTransparentAtZeroGain) {
  const std::string path = ToneFile(fDir, "k.wav", 1000, 0.5, 44100, 2);
  const HSTREAM plain = Open(path);
  const std::vector<float> reference = ReadAll(plain);

  // Nine bands at 0 dB change nothing at all.
  const HSTREAM flat = Open(path);
  for (int k = 0; k < 9; ++k) Band(flat, 100.0f * (k + 1), 12, 0);
  EXPECT_EQ(ReadAll(flat), reference);

  // +6 dB at the tone's frequency doubles it; -12 dB quarters it.
  for (float gain : {6.0f, -12.0f}) {
    const HSTREAM eq = Open(path);
    Band(eq, 1000, 12, gain);
    const std::vector<float> out = ReadAll(eq);
    const double ratio =
        Peak(out, out.size() / 2, out.size()) / Peak(reference, reference.size() / 2, reference.size());
    EXPECT_NEAR(20 * std::log10(ratio), gain, 0.15) << "gain " << gain;
  }
  // An octave-wide band three octaves away leaves the tone nearly alone.
  const HSTREAM far = Open(path);
  Band(far, 8000, 12, 15);
  const std::vector<float> out = ReadAll(far);
  EXPECT_NEAR(20 * std::log10(Peak(out, out.size() / 2, out.size()) / Peak(reference, 0, reference.size())), 0.0, 0.5);
}

TEST_F(DecodeStream, EqualiserParametersOutOfRangeFailAndKeepThePreviousOnes) {
  const HSTREAM h = Open(ToneFile(fDir, "t.wav", 440, 0.1, 44100, 2));
  const HFX fx = BASS_ChannelSetFX(h, BASS_FX_DX8_PARAMEQ, 0);
  ASSERT_NE(fx, 0u);
  BASS_DX8_PARAMEQ p{};
  ASSERT_TRUE(BASS_FXGetParameters(fx, &p));
  EXPECT_EQ(p.fCenter, 8000.0f);
  EXPECT_EQ(p.fBandwidth, 12.0f);
  EXPECT_EQ(p.fGain, 0.0f);
  const BASS_DX8_PARAMEQ good{1000, 6, 3};
  ASSERT_TRUE(BASS_FXSetParameters(fx, &good));
  const BASS_DX8_PARAMEQ bad[] = {
      {79, 6, 3},       {16001, 6, 3},  {14700, 6, 3},  // below 80, above 16000, not below rate / 3
      {1000, 0.5f, 3},  {1000, 37, 3},                  // bandwidth
      {1000, 6, 15.5f}, {1000, 6, -16}, {NAN, 6, 3},
      {1000, 6, NAN},   {64, 32, 0},    {16384, 8192, 0},  // what a naive caller passes for the outer bands
  };
  for (const auto& b : bad) {
    EXPECT_FALSE(BASS_FXSetParameters(fx, &b)) << b.fCenter << " " << b.fBandwidth << " " << b.fGain;
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    ASSERT_TRUE(BASS_FXGetParameters(fx, &p));
    EXPECT_EQ(p.fCenter, 1000.0f);
    EXPECT_EQ(p.fBandwidth, 6.0f);
    EXPECT_EQ(p.fGain, 3.0f);
  }
  const BASS_DX8_PARAMEQ edge{80, 36, -15};
  EXPECT_TRUE(BASS_FXSetParameters(fx, &edge));
  EXPECT_EQ(BASS_ChannelSetFX(h, 3, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
  EXPECT_TRUE(BASS_ChannelRemoveFX(h, fx));
  EXPECT_FALSE(BASS_FXSetParameters(fx, &good));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(DecodeStream, VolumeSlideReachesItsTargetOnTime) {
  const HSTREAM h = Open(ToneFile(fDir, "v.wav", 1000, 1.0, 44100, 2));
  ASSERT_TRUE(BASS_ChannelSlideAttribute(h, BASS_ATTRIB_VOL, 0.0f, 500));
  EXPECT_TRUE(BASS_ChannelIsSliding(h, BASS_ATTRIB_VOL));
  EXPECT_TRUE(BASS_ChannelIsSliding(h, 0));
  EXPECT_FALSE(BASS_ChannelIsSliding(h, BASS_ATTRIB_FREQ));
  std::vector<float> buf(11025 * 2);  // 250 ms
  ASSERT_NE(BASS_ChannelGetData(h, buf.data(), static_cast<DWORD>(buf.size() * 4) | BASS_DATA_FLOAT), 0xFFFFFFFFu);
  EXPECT_NEAR(Peak(buf, 0, 882), 0.5, 0.01);                         // starts at full volume
  EXPECT_NEAR(Peak(buf, buf.size() - 882, buf.size()), 0.25, 0.02);  // half way: half volume
  float vol = 0;
  ASSERT_TRUE(BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &vol));
  EXPECT_NEAR(vol, 0.5f, 0.01f);
  EXPECT_TRUE(BASS_ChannelIsSliding(h, BASS_ATTRIB_VOL));
  ASSERT_NE(BASS_ChannelGetData(h, buf.data(), static_cast<DWORD>(buf.size() * 4) | BASS_DATA_FLOAT), 0xFFFFFFFFu);
  EXPECT_FALSE(BASS_ChannelIsSliding(h, BASS_ATTRIB_VOL));
  EXPECT_LT(Peak(buf, buf.size() - 882, buf.size()), 0.01);
  ASSERT_NE(BASS_ChannelGetData(h, buf.data(), static_cast<DWORD>(buf.size() * 4) | BASS_DATA_FLOAT), 0xFFFFFFFFu);
  EXPECT_EQ(Peak(buf, 0, buf.size()), 0.0);
  // Setting the attribute ends a slide at once.
  ASSERT_TRUE(BASS_ChannelSlideAttribute(h, BASS_ATTRIB_VOL, 1.0f, 1000));
  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.25f));
  EXPECT_FALSE(BASS_ChannelIsSliding(h, 0));
  ASSERT_TRUE(BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &vol));
  EXPECT_EQ(vol, 0.25f);
  // Volume is clamped rather than refused.
  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, -0.05f));
  ASSERT_TRUE(BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &vol));
  EXPECT_EQ(vol, 0.0f);
  EXPECT_FALSE(BASS_ChannelSetAttribute(h, 99, 1.0f));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
}

TEST_F(DecodeStream, FrequencyChangesPitchAndSpeedTogether) {
  const std::string path = ToneFile(fDir, "f.wav", 441, 1.0, 44100, 1);
  // Double rate: an octave up, done in half the time.
  const HSTREAM fast = Open(path);
  ASSERT_TRUE(BASS_ChannelSetAttribute(fast, BASS_ATTRIB_FREQ, 88200));
  const std::vector<float> out = ReadAll(fast);
  EXPECT_NEAR(static_cast<double>(out.size()), 22050.0, 4.0);
  EXPECT_NEAR(ToneFrequency(out, 100, out.size() - 100, 44100), 882.0, 1.0);
  EXPECT_EQ(BASS_ChannelGetPosition(fast, BASS_POS_BYTE), 88200u);  // the whole source was used

  // A slide from 44100 to 11025 Hz over 200 ms: the pitch falls to a quarter.
  const HSTREAM slide = Open(path);
  ASSERT_TRUE(BASS_ChannelSlideAttribute(slide, BASS_ATTRIB_FREQ, 11025, 200));
  std::vector<float> buf(8820);  // 200 ms of output
  ASSERT_EQ(BASS_ChannelGetData(slide, buf.data(), 8820 * 4 | BASS_DATA_FLOAT), 8820u * 4);
  EXPECT_FALSE(BASS_ChannelIsSliding(slide, BASS_ATTRIB_FREQ));
  EXPECT_NEAR(ToneFrequency(buf, 0, 1000, 44100), 441.0, 15.0);
  ASSERT_EQ(BASS_ChannelGetData(slide, buf.data(), 8820 * 4 | BASS_DATA_FLOAT), 8820u * 4);
  EXPECT_NEAR(ToneFrequency(buf, 0, buf.size(), 44100), 110.25, 1.0);
  float freq = 0;
  ASSERT_TRUE(BASS_ChannelGetAttribute(slide, BASS_ATTRIB_FREQ, &freq));
  EXPECT_EQ(freq, 11025.0f);
  // 0 means the stream's own rate; silly rates are refused.
  EXPECT_TRUE(BASS_ChannelSetAttribute(slide, BASS_ATTRIB_FREQ, 0));
  ASSERT_TRUE(BASS_ChannelGetAttribute(slide, BASS_ATTRIB_FREQ, &freq));
  EXPECT_EQ(freq, 44100.0f);
  EXPECT_FALSE(BASS_ChannelSetAttribute(slide, BASS_ATTRIB_FREQ, 50));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
  EXPECT_FALSE(BASS_ChannelSlideAttribute(slide, BASS_ATTRIB_FREQ, 1e9f, 10));
}

TEST_F(DecodeStream, LevelPacksLeftLowAndRightHigh) {
  const std::string stereo =
      fDir.write("lr.wav", WavBytes(44100, 2, 4410, [](int f, int c) {
                   return (c == 0 ? 0.5 : 0.25) * std::sin(2 * std::numbers::pi * 1000 * f / 44100);
                 }));
  const HSTREAM h = Open(stereo);
  EXPECT_EQ(BASS_ChannelGetLevel(h), 0u);  // nothing delivered yet
  std::vector<int16_t> buf(1764 * 2);
  ASSERT_NE(BASS_ChannelGetData(h, buf.data(), static_cast<DWORD>(buf.size() * 2)), 0xFFFFFFFFu);
  const DWORD level = BASS_ChannelGetLevel(h);
  EXPECT_NEAR(static_cast<double>(level & 0xFFFF), 16384, 40);
  EXPECT_NEAR(static_cast<double>(level >> 16), 8192, 40);

  const HSTREAM mono = Open(fDir.write("m.wav", WavBytes(8000, 1, 800, [](int, int) { return 1.0; })));
  ASSERT_NE(BASS_ChannelGetData(mono, buf.data(), 400), 0xFFFFFFFFu);
  EXPECT_EQ(BASS_ChannelGetLevel(mono), (32767u << 16) | 32767u);
  ASSERT_TRUE(BASS_ChannelSetAttribute(mono, BASS_ATTRIB_VOL, 2.0f));
  ASSERT_NE(BASS_ChannelGetData(mono, buf.data(), 400), 0xFFFFFFFFu);
  EXPECT_EQ(BASS_ChannelGetLevel(mono), (32768u << 16) | 32768u);  // full scale at most
  EXPECT_EQ(buf[0], 32767);                                        // and the samples saturate
}

TEST_F(DecodeStream, DecodeOnlyStreamsCannotBePlayedAndPlayedOnesCannotBeRead) {
  const std::string path = ToneFile(fDir, "d.wav", 440, 0.1, 44100, 2);
  const HSTREAM decode = Open(path);
  EXPECT_FALSE(BASS_ChannelPlay(decode, FALSE));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DECODE);
  const HSTREAM played = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
  ASSERT_NE(played, 0u);
  char buf[64];
  EXPECT_EQ(BASS_ChannelGetData(played, buf, sizeof buf), 0xFFFFFFFFu);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DECODE);
  EXPECT_EQ(BASS_StreamGetFilePosition(played, BASS_FILEPOS_END), 44u + 17640u);
  EXPECT_EQ(BASS_StreamGetFilePosition(played, BASS_FILEPOS_DOWNLOAD), 44u + 17640u);
  EXPECT_LE(BASS_StreamGetFilePosition(played, BASS_FILEPOS_CURRENT), 44u + 17640u);
  EXPECT_EQ(BASS_StreamGetFilePosition(played, 77), ~QWORD{0});
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
}

TEST(EngineInterface, VersionDevicesPluginsAndInitialisation) {
  EXPECT_EQ(BASS_GetVersion() >> 16, 0x0204u);
  BASS_DEVICEINFO info{};
  ASSERT_TRUE(BASS_GetDeviceInfo(0, &info));
  EXPECT_STREQ(info.name, "No sound");
  EXPECT_EQ(info.flags & BASS_DEVICE_ENABLED, static_cast<DWORD>(BASS_DEVICE_ENABLED));
  DWORD count = 1;
  while (BASS_GetDeviceInfo(count, &info)) {
    EXPECT_NE(info.name, nullptr);
    EXPECT_NE(info.driver, nullptr);
    EXPECT_TRUE(info.flags & BASS_DEVICE_ENABLED);
    ++count;
  }
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);

  EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1));
  EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_MF_VIDEO, 1));
  EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_PLAYLIST), 1u);

  EXPECT_FALSE(BASS_Free());
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, "x.wav", 0, 0, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
  EXPECT_FALSE(BASS_Init(static_cast<int>(count) + 5, 44100, BASS_DEVICE_3D, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
  ASSERT_TRUE(BASS_Init(0, 44100, BASS_DEVICE_3D, nullptr, nullptr));
  EXPECT_EQ(BASS_GetDevice(), 0u);
  ASSERT_TRUE(BASS_GetDeviceInfo(0, &info));
  EXPECT_TRUE(info.flags & BASS_DEVICE_INIT);
  EXPECT_FALSE(BASS_Init(0, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);

  for (const char16_t* name : {u"bassflac.dll", u"basshls.dll", u"bassdsd.dll", u"bassalac.dll", u"BASSOPUS.DLL"})
    EXPECT_NE(BASS_PluginLoad(name, BASS_UNICODE), 0u);
  // The header's list names exactly these: each is loaded already.
  for (const char* name : {BASS_PLUGIN_NAMES("")}) {
    EXPECT_EQ(BASS_PluginLoad(name, 0), 0u) << name;
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY) << name;
  }
  EXPECT_EQ(BASS_PluginLoad(u"bass_fx.dll", BASS_UNICODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
  EXPECT_EQ(BASS_PluginLoad("basswma.dll", 0), 0u);

  EXPECT_EQ(BASS_ChannelGetLength(12345, BASS_POS_BYTE), ~QWORD{0});
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_EQ(BASS_ChannelIsActive(12345), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
  EXPECT_EQ(BASS_ChannelSetFX(12345, BASS_FX_DX8_PARAMEQ, 0), 0u);
  EXPECT_TRUE(BASS_Free());
  EXPECT_FALSE(BASS_GetDeviceInfo(0, &info) && (info.flags & BASS_DEVICE_INIT));
}

}  // namespace

namespace {

// Every family of formats the player meets opens and decodes to the tone.
TEST_F(DecodeStream, DecodesTheFormatsOfThePlayersLibrary) {
  struct Case {
    const char* name;
    const char* ffmpegArgs;
    int expectRate;
  };
  const Case cases[] = {
      {"layer2.mp2", "-c:a mp2", 44100},
      {"layer3.mp3", "-c:a libmp3lame", 44100},
      {"vorbis.ogg", "-c:a libvorbis", 44100},
      {"opus.opus", "-c:a libopus", 48000},
      {"aiff.aiff", "", 44100},
      {"aac.m4a", "-c:a aac", 44100},
      {"alac.m4a", "-c:a alac", 44100},
      {"wavpack.wv", "-c:a wavpack", 44100},
      {"trueaudio.tta", "-c:a tta", 44100},
      {"wma.wma", "-c:a wmav2", 44100},
      {"matroska.mka", "-c:a flac", 44100},
  };
  auto check = [&](const std::string& path, int expectRate) {
    SCOPED_TRACE(path);
    const HSTREAM h = Open(path);
    if (h == 0) return;
    const std::vector<float> all = ReadAll(h);
    const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(h, length), 1.0, 0.08);
    const size_t frames = all.size() / 2;
    const int rate = static_cast<int>(std::lround(length / BASS_ChannelBytes2Seconds(h, length) / 4));
    EXPECT_EQ(rate, expectRate);
    const std::vector<float> left = Smooth(Channel(all, 2, 0), static_cast<size_t>(rate / 8000));
    EXPECT_NEAR(ToneFrequency(left, frames / 5, frames * 4 / 5, rate), 440.0, 1.0);
    BASS_StreamFree(h);
  };
  for (const Case& c : cases) {
    const std::string path = ToneFile(fDir, c.name, 440, 1.0, 44100, 2, c.ffmpegArgs);
    if (path.empty()) {
      ADD_FAILURE() << "ffmpeg could not make " << c.name;
      continue;
    }
    check(path, c.expectRate);
  }
  // The sound of a video file.
  const std::string wav = ToneFile(fDir, "v.wav", 440, 1.0, 44100, 2);
  const std::string video = fDir.file("video.mp4");
  ASSERT_TRUE(
      testsupport::Shell("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=64x64:rate=10:duration=1 -i '" +
                         wav + "' -c:v mpeg4 -c:a aac -shortest '" + video + "'"));
  check(video, 44100);
  // Musepack through its own encoder.
  if (testsupport::HaveProgram("mpcenc")) {
    const std::string mpc = fDir.file("musepack.mpc");
    ASSERT_TRUE(testsupport::Shell("mpcenc --silent '" + wav + "' '" + mpc + "' 2>/dev/null"));
    check(mpc, 44100);
  }
  // One-bit DSD, built here.
  check(fDir.write("dsd.dsf", DsfBytes(440, 1.0, 2)), 352800);
}

// Codecs that decode to float planes keep left and right apart and in
// order: a different tone and level on each side comes out where it went in.
TEST_F(DecodeStream, LossyStereoKeepsItsChannelsInOrder) {
  for (const char* name : {"lr.mp3", "lr.ogg", "lr.wma"}) {
    SCOPED_TRACE(name);
    const std::string path = fDir.file(name);
    ASSERT_TRUE(testsupport::Shell(
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=f=440:d=1 -f lavfi -i sine=f=660:d=1 "
        "-filter_complex '[0][1]amerge,pan=stereo|c0=0.9*c0|c1=0.4*c1' -b:a 160k '" +
        path + "'"));
    const HSTREAM h = Open(path);
    ASSERT_NE(h, 0u);
    const std::vector<float> all = ReadAll(h);
    const size_t frames = all.size() / 2;
    ASSERT_GT(frames, 30000u);
    const std::vector<float> left = Channel(all, 2, 0), right = Channel(all, 2, 1);
    EXPECT_NEAR(ToneFrequency(left, frames / 5, frames * 4 / 5, 44100), 440.0, 2.0);
    EXPECT_NEAR(ToneFrequency(right, frames / 5, frames * 4 / 5, 44100), 660.0, 3.0);
    EXPECT_NEAR(Peak(left, frames / 5, frames * 4 / 5), 0.9 * 0.125, 0.02);
    EXPECT_NEAR(Peak(right, frames / 5, frames * 4 / 5), 0.4 * 0.125, 0.02);
    BASS_StreamFree(h);
  }
}

TEST_F(DecodeStream, MultichannelSourcesAreDownmixedToStereo) {
  const std::string path = ToneFile(fDir, "six.flac", 440, 0.5, 48000, 6);
  ASSERT_FALSE(path.empty());
  const HSTREAM h = Open(path);
  EXPECT_EQ(BASS_ChannelGetLength(h, BASS_POS_BYTE), 24000u * 4);
  const std::vector<float> all = ReadAll(h);
  EXPECT_EQ(all.size(), 48000u);
  EXPECT_GT(Peak(all, 0, all.size()), 0.2);
}

}  // namespace

namespace {

// Damaged files play what can be played and end cleanly.
TEST_F(DecodeStream, TruncatedAndCorruptedFilesEndCleanly) {
  // Ogg stops at the first page with a bad checksum, as FFmpeg's own tools do.
  const std::pair<const char*, double> cases[] = {{"cut.mp3", 2.5}, {"cut.flac", 2.5}, {"cut.ogg", 0.9}};
  for (const auto& [name, atLeast] : cases) {
    SCOPED_TRACE(name);
    const std::string path = ToneFile(fDir, name, 440, 4.0, 44100, 2);
    ASSERT_FALSE(path.empty());
    std::string bytes = testsupport::ReadWholeFile(path);
    // Garbage in the middle, and the last quarter gone.
    for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 400; ++i) bytes[i] = static_cast<char>(i * 37);
    bytes.resize(bytes.size() * 3 / 4);
    const HSTREAM h = Open(fDir.write(std::string("damaged-") + name, bytes));
    if (h == 0) continue;
    const std::vector<float> all = ReadAll(h);
    const double seconds = static_cast<double>(all.size()) / 2 / 44100;
    EXPECT_GT(seconds, atLeast);  // decoding went on after the damage
    EXPECT_LT(seconds, 4.1);
    EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(BASS_ChannelGetLength(h, BASS_POS_BYTE), all.size() * 2);
  }
}

}  // namespace
