// Files made by the real encoders (wavpack, mpcenc, ffmpeg's True Audio
// encoder) from a tone of known length, tagged with APEv2 by python3-mutagen.
// The expected values come from how the files were made, not from our code.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "ApeBuilders.h"
#include "AudioFiles.h"
#include "MusePackFiles.h"
#include "TestSupport.h"
#include "TrueAudioFiles.h"
#include "WavPackFiles.h"

using testsupport::HaveProgram;
using testsupport::Run;
using testsupport::Shell;
using testsupport::TempDir;

namespace {

// A Python with mutagen, or empty. The system interpreter comes first: a
// user's own python3 on PATH may lack the package.
const std::string& MutagenPython() {
  static const std::string python = [] {
    for (const std::string candidate : {"/usr/bin/python3", "python3"})
      if (Shell(candidate + " -c 'import mutagen.apev2' >/dev/null 2>&1")) return candidate;
    return std::string();
  }();
  return python;
}

constexpr const char* kTagScript = R"(import sys
from mutagen.apev2 import APEv2, APEValue, BINARY
tag = APEv2()
tag['Title'] = 'Tone \u00e9t\u00e9'
tag['Artist'] = 'Encoder Test'
tag['Album'] = 'Real Files'
tag['Year'] = '2021'
tag['Track'] = '7/9'
tag['Genre'] = 'Ambient'
tag['Comment'] = 'made at test time'
tag['Cover Art (Front)'] = APEValue(b'front.jpg\x00\xff\xd8\xff\xe0JPEG', BINARY)
tag.save(sys.argv[1])
)";

constexpr std::string_view kPicture = "\xff\xd8\xff\xe0JPEG";

// Skips the test unless every program is there.
#define REQUIRE_PROGRAMS(...)                                                  \
  for (const std::string program : {__VA_ARGS__})                              \
    if (!HaveProgram(program)) GTEST_SKIP() << program << " is not installed"; \
  if (MutagenPython().empty()) GTEST_SKIP() << "python3-mutagen is not installed"

// A sine tone as 16- or 24-bit PCM WAVE.
bool MakeTone(const std::string& wav, int rate, int channels, int bits, int seconds) {
  return Shell("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b " + std::to_string(bits) +
               " '" + wav + "' synth " + std::to_string(seconds) + " sine 440 vol 0.5 >/dev/null 2>&1");
}

bool TagWithMutagen(const TempDir& dir, const std::string& path) {
  const std::string script = dir.write("tag.py", kTagScript);
  return Run({MutagenPython(), script, path}).exitCode == 0;
}

uintmax_t SizeOf(const std::string& path) { return std::filesystem::file_size(path); }

// The tag values written by kTagScript, read through the facade and the
// APE base class.
void ExpectMutagenTags(const TGeneralAudioFile& f) {
  EXPECT_EQ(f.LastError(), FileErr_None);
  EXPECT_EQ(f.Title(), u"Tone \u00e9t\u00e9");
  EXPECT_EQ(f.Artist(), u"Encoder Test");
  EXPECT_EQ(f.Album(), u"Real Files");
  EXPECT_EQ(f.Year(), u"2021");
  EXPECT_EQ(f.Track(), u"7/9");
  EXPECT_EQ(f.Genre(), u"Ambient");
  const TBaseApeFile* ape = f.BaseApeFile();
  ASSERT_NE(ape, nullptr);
  EXPECT_EQ(ape->Comment(), u"made at test time");
  EXPECT_TRUE(ape->ContainsHeader());

  TMemoryStream picture;
  std::u16string description;
  EXPECT_TRUE(ape->GetPicture(apt_Front, picture, description));
  EXPECT_EQ(description, u"front.jpg");
  EXPECT_EQ(picture.Data(), kPicture);
  std::vector<std::string> pictures;
  ape->GetAllPictureFrames(pictures);
  EXPECT_EQ(pictures, std::vector<std::string>{"Cover Art (Front)"});
}

}  // namespace

TEST(ApeRealFiles, WavPackFromTheWavpackEncoder) {
  REQUIRE_PROGRAMS("sox", "wavpack");
  TempDir dir;
  const std::string wav = dir.file("tone.wav");
  const std::string wv = dir.file("tone.wv");
  ASSERT_TRUE(MakeTone(wav, 44100, 2, 16, 3));
  ASSERT_TRUE(Shell("wavpack -q -h '" + wav + "' -o '" + wv + "' >/dev/null 2>&1"));
  const uintmax_t audioSize = SizeOf(wv);
  ASSERT_TRUE(TagWithMutagen(dir, wv));
  const uintmax_t tagSize = SizeOf(wv) - audioSize;

  TGeneralAudioFile f(wv);
  ASSERT_EQ(f.FileType(), at_WavPack);
  EXPECT_TRUE(f.Valid());
  EXPECT_EQ(f.Samplerate(), 44100);
  EXPECT_EQ(f.Channels(), 2);
  EXPECT_EQ(f.Duration(), 3);
  ExpectMutagenTags(f);
  const TWavPackFile* w = f.WavPackFile();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->Apev2TagSize(), tagSize);
  EXPECT_EQ(w->Version(), 4);
  EXPECT_EQ(w->Bits(), 16);
  EXPECT_EQ(w->Samples(), 3 * 44100);
  EXPECT_EQ(w->Encoder(), u"lossless (high)");
  EXPECT_EQ(f.Bitrate(), static_cast<int32_t>(std::nearbyint(audioSize * 8.0 / 3)));
}

TEST(ApeRealFiles, MusepackFromMpcencWithID3v1) {
  REQUIRE_PROGRAMS("sox", "mpcenc");
  TempDir dir;
  const std::string wav = dir.file("tone.wav");
  const std::string mpc = dir.file("tone.mpc");
  ASSERT_TRUE(MakeTone(wav, 48000, 1, 16, 2));
  ASSERT_TRUE(Shell("mpcenc --silent '" + wav + "' '" + mpc + "' >/dev/null 2>&1"));
  const uintmax_t audioSize = SizeOf(mpc);
  ASSERT_TRUE(TagWithMutagen(dir, mpc));
  const uintmax_t apeSize = SizeOf(mpc) - audioSize;
  // The usual layout of files tagged twice: an ID3v1 tag after the APE tag.
  testsupport::WriteWholeFile(mpc, testsupport::ReadWholeFile(mpc) + apebuild::Id3v1Tag("v1"));

  TGeneralAudioFile f(mpc);
  ASSERT_EQ(f.FileType(), at_MusePack);
  EXPECT_TRUE(f.Valid());
  EXPECT_EQ(f.Samplerate(), 48000);
  EXPECT_EQ(f.Channels(), 1);
  EXPECT_EQ(f.Duration(), 2);
  ExpectMutagenTags(f);
  const TMusePackFile* m = f.MusePackFile();
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(m->ID3v1Present());
  EXPECT_EQ(m->Apev2TagSize(), apeSize);
  EXPECT_EQ(m->CombinedTagSize(), apeSize + 128);
  EXPECT_EQ(m->StreamVersion(), 8);
  EXPECT_EQ(m->VersionString(), u"8.0");
  EXPECT_EQ(m->SampleCount(), 2 * 48000);
  EXPECT_EQ(f.Bitrate(), static_cast<int32_t>(std::nearbyint(audioSize * 8.0 / 2)));
  EXPECT_FALSE(m->IsCorrupted());
  // Against the 384 044 bytes of the same samples as 16-bit stereo WAVE.
  EXPECT_DOUBLE_EQ(m->Ratio(), SizeOf(mpc) / (2.0 * 48000 * 4 + 44) * 100);
}

TEST(ApeRealFiles, TrueAudioFromFfmpeg) {
  REQUIRE_PROGRAMS("sox", "ffmpeg");
  TempDir dir;
  const std::string wav = dir.file("tone.wav");
  const std::string tta = dir.file("tone.tta");
  ASSERT_TRUE(MakeTone(wav, 22050, 1, 24, 4));
  ASSERT_TRUE(Shell("ffmpeg -v error -nostdin -y -i '" + wav + "' -map_metadata -1 -fflags +bitexact -c:a tta '" + tta +
                    "' >/dev/null 2>&1"));
  ASSERT_TRUE(TagWithMutagen(dir, tta));

  TGeneralAudioFile f(tta);
  ASSERT_EQ(f.FileType(), at_TrueAudio);
  EXPECT_TRUE(f.Valid());
  EXPECT_EQ(f.Samplerate(), 22050);
  EXPECT_EQ(f.Channels(), 1);
  EXPECT_EQ(f.Duration(), 4);
  ExpectMutagenTags(f);
  const TTrueAudioFile* t = f.TrueAudioFile();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Bits(), 24u);
  EXPECT_EQ(t->AudioFormat(), 1u);
  EXPECT_EQ(t->Samples(), 4u * 22050);
  // The whole file counts, tags included.
  EXPECT_EQ(f.Bitrate(), static_cast<int32_t>(std::nearbyint(SizeOf(tta) * 8.0 / 4)));
}
