#include <gtest/gtest.h>

#include "AudioFiles.h"
#include "ReadBytes.h"
#include "RiffAsfBuilders.h"
#include "TestSupport.h"
#include "WmaFiles.h"

using namespace asfbuild;
using testsupport::Bytes;
using testsupport::ReadFromBytes;
using testsupport::TempDir;

namespace {

void ExpectResetState(const TWMAfile& wma) {
  EXPECT_FALSE(wma.Valid());
  EXPECT_EQ(wma.Duration(), 0);
  EXPECT_EQ(wma.Bitrate(), 0);
  EXPECT_EQ(wma.Samplerate(), 0);
  EXPECT_EQ(wma.Channels(), 0);
  EXPECT_EQ(wma.Title(), u"");
  EXPECT_EQ(wma.Artist(), u"");
  EXPECT_EQ(wma.Comment(), u"");
  EXPECT_EQ(wma.Track(), u"0");
}

// A complete stereo file with tags in both description objects.
std::string TaggedFile(size_t totalSize = 0) {
  return File(Header({
                  FileProperties(128000),
                  StreamProperties(2, 44100, 16000),
                  ContentDescription(TextZ(u"Title"), TextZ(u"Artist"), TextZ(u"(c) someone"), TextZ(u"A comment"),
                                     TextZ(u"rated")),
                  ExtendedContentDescription({
                      StringDescriptor(u"WM/AlbumTitle", u"Album"),
                      StringDescriptor(u"WM/Year", u"2004"),
                      StringDescriptor(u"WM/Genre", u"Jazz"),
                      DwordDescriptor(u"WM/TrackNumber", 7),
                  }),
              }),
              totalSize);
}

}  // namespace

TEST(WmaFile, ReadsStreamPropertiesAndTags) {
  TWMAfile wma;
  ASSERT_EQ(ReadFromBytes(wma, TaggedFile(4'000'000)), FileErr_None);
  EXPECT_TRUE(wma.Valid());
  EXPECT_EQ(wma.FileSize(), 4'000'000);
  EXPECT_EQ(wma.Duration(), 250);    // 32,000,000 bits at 128,000 bit/s
  EXPECT_EQ(wma.Bitrate(), 128000);  // byte rate 16,000 x 8
  EXPECT_EQ(wma.Samplerate(), 44100);
  EXPECT_EQ(wma.Channels(), 2);
  EXPECT_EQ(wma.ChannelModeID(), 2);
  EXPECT_EQ(wma.ChannelMode(), u"Stereo");
  EXPECT_EQ(wma.Title(), u"Title");  // terminating NULs trimmed away
  EXPECT_EQ(wma.Artist(), u"Artist");
  EXPECT_EQ(wma.Album(), u"Album");
  EXPECT_EQ(wma.Year(), u"2004");
  EXPECT_EQ(wma.Genre(), u"Jazz");
  EXPECT_EQ(wma.Track(), u"7");
  EXPECT_EQ(wma.Comment(), u"A comment");
}

TEST(WmaFile, DurationRoundsHalvesToEven) {
  for (auto [size, expected] : {std::pair<size_t, int>{10'000, 2}, {14'000, 4}, {13'999, 3}}) {
    TWMAfile wma;
    // size x 8 / 32,000: 2.5 -> 2, 3.5 -> 4, 3.49975 -> 3
    ASSERT_EQ(ReadFromBytes(wma, File(Header({FileProperties(32000)}), size)), FileErr_None);
    ASSERT_EQ(wma.FileSize(), static_cast<int64_t>(size));
    EXPECT_EQ(wma.Duration(), expected) << size;
  }
  // A maximum bitrate that is negative as a signed value gives no duration.
  TWMAfile wma;
  ASSERT_EQ(ReadFromBytes(wma, File(Header({FileProperties(0x80000000u)}))), FileErr_None);
  EXPECT_EQ(wma.Duration(), 0);
  EXPECT_TRUE(wma.Valid());
}

TEST(WmaFile, ChannelModes) {
  struct Case {
    uint16_t channels;
    int expected;
    const char16_t* mode;
  };
  for (const Case& c : {Case{1, 1, u"Mono"}, Case{2, 2, u"Stereo"}, Case{6, 0, u"Unknown"}, Case{0, 0, u"Unknown"}}) {
    TWMAfile wma;
    ASSERT_EQ(ReadFromBytes(wma, File(Header({StreamProperties(c.channels, 48000, 24000)}))), FileErr_None);
    EXPECT_EQ(wma.Channels(), c.expected) << c.channels;
    EXPECT_EQ(wma.ChannelModeID(), c.expected);
    EXPECT_EQ(wma.ChannelMode(), c.mode);
    EXPECT_EQ(wma.Samplerate(), 48000);
    EXPECT_EQ(wma.Bitrate(), 192000);
  }
  // The last stream properties object decides, whatever its stream.
  TWMAfile wma;
  ASSERT_EQ(ReadFromBytes(wma, File(Header({StreamProperties(2, 44100, 16000), StreamProperties(1, 22050, 4000)}))),
            FileErr_None);
  EXPECT_EQ(wma.Channels(), 1);
  EXPECT_EQ(wma.Samplerate(), 22050);
  EXPECT_EQ(wma.Bitrate(), 32000);
}

TEST(WmaFile, NotAsfReadsAsValidAndEmpty) {
  // MPEG audio under the ".wma" extension
  const std::string mpeg = Bytes().u8(0xFF).u8(0xFB).u8(0x90).u8(0x64).zeros(500);
  TWMAfile wma;
  ASSERT_EQ(ReadFromBytes(wma, mpeg), FileErr_None);
  EXPECT_TRUE(wma.Valid());
  EXPECT_EQ(wma.FileSize(), 504);
  EXPECT_EQ(wma.Duration(), 0);
  EXPECT_EQ(wma.Bitrate(), 0);
  EXPECT_EQ(wma.Samplerate(), 0);
  EXPECT_EQ(wma.Channels(), 0);
  EXPECT_EQ(wma.Title(), u"");
  EXPECT_EQ(wma.Track(), u"");  // no longer the reset value "0"
}

TEST(WmaFile, FailuresLeaveResetState) {
  TempDir dir;
  TWMAfile wma;
  EXPECT_EQ(wma.ReadFromFile(dir.file("missing.wma")), FileErr_NoFile);
  ExpectResetState(wma);
  EXPECT_EQ(wma.FileSize(), 0);

  EXPECT_EQ(wma.ReadFromFile(dir.path().string()), FileErr_NoFile);  // a folder is no file
  ExpectResetState(wma);

  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::string header = Header({ContentDescription(TextZ(u"Title"), "", "", "", ""), FileProperties(128000)});
  const std::vector<Case> cases = {
      {"shorter than an identifier", "0123456789"},
      {"empty file", ""},
      {"header cut in its object count", kHeaderGuid + Bytes().u64le(100).u16le(1).str()},
      {"file properties cut short", header.substr(0, header.size() - 2)},
      {"text longer than the file", Header({ContentDescription(TextZ(u"Title"), "", "", "", "")}).substr(0, 50)},
      {"object head cut short",
       Header({ContentDescription(TextZ(u"Title"), "", "", "", "")}, 2, 1000) + kFilePropertiesGuid.substr(0, 10)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadFromBytes(wma, c.bytes), FileErr_FileOpenR) << c.what;
    ExpectResetState(wma);
    EXPECT_EQ(wma.FileSize(), static_cast<int64_t>(c.bytes.size())) << c.what;
  }
}

TEST(WmaFile, ExtendedDescriptorValues) {
  struct Case {
    const char* what;
    std::vector<Descriptor> descriptors;
    std::u16string track;
    std::u16string year;
  };
  const std::vector<Case> cases = {
      {"number, any letter case", {DwordDescriptor(u"WM/TrackNumber", 7)}, u"7", u""},
      {"number formatted unsigned", {DwordDescriptor(u"wm/tracknumber", 0xFFFFFFFF)}, u"4294967295", u""},
      {"string with NUL", {StringDescriptor(u"WM/Year", u"2004")}, u"", u"2004"},
      {"blanks around name and value", {StringDescriptor(u" WM/Year ", u" 1999 ")}, u"", u"1999"},
      {"16-bit number sets nothing, WM/Track stands in",
       {StringDescriptor(u"WM/Track", u"4"), {TextZ(u"WM/TrackNumber"), 5, Bytes().u16le(9)}},
       u"4",
       u""},
      {"WM/TrackNumber wins over WM/Track",
       {DwordDescriptor(u"WM/TrackNumber", 12), StringDescriptor(u"WM/Track", u"4")},
       u"12",
       u""},
      {"unknown types skipped by length, later ones still read",
       {{TextZ(u"WM/Picture"), 1, std::string(40, 'x')},
        {TextZ(u"WM/IsVBR"), 2, Bytes().u32le(1)},
        {TextZ(u"WM/Year"), 6, std::string(16, 'g')},
        StringDescriptor(u"WM/Year", u"1987")},
       u"",
       u"1987"},
      {"no descriptors", {}, u"", u""},
      {"unrelated names", {StringDescriptor(u"WM/YearX", u"1"), StringDescriptor(u"Year", u"2")}, u"", u""},
  };
  for (const Case& c : cases) {
    TWMAfile wma;
    ASSERT_EQ(
        ReadFromBytes(wma, File(Header({ExtendedContentDescription(c.descriptors), FileProperties(64000)}), 16000)),
        FileErr_None)
        << c.what;
    EXPECT_EQ(wma.Track(), c.track) << c.what;
    EXPECT_EQ(wma.Year(), c.year) << c.what;
    EXPECT_EQ(wma.Duration(), 2) << c.what;  // the object after the descriptors was found
  }
}

TEST(WmaFile, LaterValuesOverwriteEarlierOnesSlotBySlot) {
  const std::string description =
      ContentDescription(TextZ(u"Plain title"), TextZ(u"Plain artist"), "", TextZ(u"Plain comment"), "");
  const std::string extended = ExtendedContentDescription({
      StringDescriptor(u"WM/Title", u"Extended title"),
      StringDescriptor(u"WM/Description", u"Extended comment"),
  });
  TWMAfile wma;
  ASSERT_EQ(ReadFromBytes(wma, File(Header({description, extended}))), FileErr_None);
  EXPECT_EQ(wma.Title(), u"Extended title");
  EXPECT_EQ(wma.Comment(), u"Extended comment");
  EXPECT_EQ(wma.Artist(), u"Plain artist");

  ASSERT_EQ(ReadFromBytes(wma, File(Header({extended, description}))), FileErr_None);
  EXPECT_EQ(wma.Title(), u"Plain title");
  EXPECT_EQ(wma.Comment(), u"Plain comment");

  // An empty field is not read and overwrites nothing; the same descriptor
  // twice keeps the last value.
  ASSERT_EQ(ReadFromBytes(wma, File(Header({extended, ContentDescription("", TextZ(u"A"), "", "", ""),
                                            ExtendedContentDescription({StringDescriptor(u"WM/Author", u"B"),
                                                                        StringDescriptor(u"WM/Author", u"C")})}))),
            FileErr_None);
  EXPECT_EQ(wma.Title(), u"Extended title");
  EXPECT_EQ(wma.Artist(), u"C");
}

TEST(WmaFile, CopyrightAndRatingAreDropped) {
  TWMAfile wma;
  ASSERT_EQ(ReadFromBytes(wma, File(Header({ContentDescription("", "", TextZ(u"Copyright"), "", TextZ(u"Rating"))}))),
            FileErr_None);
  for (const std::u16string& text : {wma.Title(), wma.Artist(), wma.Album(), wma.Year(), wma.Genre(), wma.Comment()})
    EXPECT_EQ(text, u"");
  EXPECT_EQ(wma.Track(), u"");
}

TEST(WmaFile, LongTextsAreCutAndSkippedByLength) {
  std::u16string title;
  for (int i = 0; i < 300; ++i) title.push_back(static_cast<char16_t>(u'a' + i % 26));
  // An odd byte length leaves half a code unit, skipped as well.
  const std::string odd = Text(u"Artist") + "x";
  TWMAfile wma;
  ASSERT_EQ(
      ReadFromBytes(wma, File(Header({ContentDescription(Text(title), odd, "", "", ""), FileProperties(8000)}), 1000)),
      FileErr_None);
  EXPECT_EQ(wma.Title(), title.substr(0, 250));
  EXPECT_EQ(wma.Artist(), u"Artist");
  EXPECT_EQ(wma.Duration(), 1);  // the file properties after the long title were found

  ASSERT_EQ(ReadFromBytes(wma, File(Header({ExtendedContentDescription({StringDescriptor(u"WM/AlbumTitle", title),
                                                                        StringDescriptor(u"WM/Genre", u"Folk")})}))),
            FileErr_None);
  EXPECT_EQ(wma.Album(), title.substr(0, 250));
  EXPECT_EQ(wma.Genre(), u"Folk");

  // A descriptor name of more than 250 characters cannot match anything.
  ASSERT_EQ(
      ReadFromBytes(wma, File(Header({ExtendedContentDescription({StringDescriptor(title + u"WM/Genre", u"Folk")})}))),
      FileErr_None);
  EXPECT_EQ(wma.Genre(), u"");
}

TEST(WmaFile, InnerNulsAndOtherCodeUnitsAreKept) {
  TWMAfile wma;
  const std::u16string title = std::u16string(u"A\0B \u00E9\u4E2D\U0001F600", 8);
  ASSERT_EQ(ReadFromBytes(wma, File(Header({ContentDescription(TextZ(title) + std::string(6, '\0'), "", "", "", "")}))),
            FileErr_None);
  EXPECT_EQ(wma.Title(), title);
}

TEST(WmaFile, ObjectWalkEnds) {
  // A count far beyond the objects present stops at the end of the header.
  TWMAfile wma;
  ASSERT_EQ(
      ReadFromBytes(
          wma, File(Header({FileProperties(8000), ContentDescription(TextZ(u"T"), "", "", "", "")}, 0x7FFFFFFF), 2000)),
      FileErr_None);
  EXPECT_EQ(wma.Title(), u"T");
  EXPECT_EQ(wma.Duration(), 2);

  // ... or at the end of the file when the header claims more than there is.
  const std::string header = Header({FileProperties(8000)}, 1000);
  ASSERT_EQ(ReadFromBytes(wma, header), FileErr_None);
  EXPECT_EQ(wma.FileSize(), static_cast<int64_t>(header.size()));

  // An object of size 0 would be read again and again: the walk ends there.
  ASSERT_EQ(ReadFromBytes(wma, File(Header({ContentDescription(TextZ(u"T"), "", "", "", ""),
                                            Object(kPaddingGuid, std::string(8, '\0'), 0), FileProperties(8000)},
                                           0x7FFFFFFF))),
            FileErr_None);
  EXPECT_EQ(wma.Title(), u"T");
  EXPECT_EQ(wma.Duration(), 0);

  // Unknown objects are passed over by their size; a too small header
  // size is ignored in favour of the file's end.
  ASSERT_EQ(ReadFromBytes(
                wma, File(Header({Object(kPaddingGuid, std::string(100, 'p')), FileProperties(8000)}, std::nullopt, 0),
                          3000)),
            FileErr_None);
  EXPECT_EQ(wma.Duration(), 3);
}

TEST(WmaFile, AHeaderCutByTheEndOfTheFileFailsTheRead) {
  // A file cut inside its header object, at an object boundary or inside
  // an object: the header's size is larger than the file, the count goes
  // on past the objects present.
  const std::string header = Header({FileProperties(128000), StreamProperties(2, 44100, 16000),
                                     ContentDescription(TextZ(u"Title"), TextZ(u"Artist"), "", "", "")});
  const std::string file = File(header, 4000);
  const size_t firstObject = 30;
  const size_t secondObject = firstObject + FileProperties(128000).size();
  TWMAfile wma;
  for (size_t cut : {secondObject, secondObject + 7, header.size() - 1, firstObject + 3}) {
    SCOPED_TRACE(cut);
    EXPECT_EQ(ReadFromBytes(wma, file.substr(0, cut)), FileErr_FileOpenR);
    ExpectResetState(wma);
    EXPECT_EQ(wma.FileSize(), static_cast<int64_t>(cut));
    EXPECT_EQ(wma.Genre(), u"");
    EXPECT_EQ(wma.ChannelModeID(), 0);
  }
  // Cut exactly at the header's end, the header is intact: the walk ends
  // there.
  ASSERT_EQ(ReadFromBytes(wma, file.substr(0, header.size())), FileErr_None);
  EXPECT_TRUE(wma.Valid());
  EXPECT_EQ(wma.Title(), u"Title");

  // A header size below its own 30 bytes bounds nothing: a count beyond the
  // objects walks on to the file's end and fails there...
  std::string tooSmall = File(Header({FileProperties(128000)}, 50, 12), 2000);
  EXPECT_EQ(ReadFromBytes(wma, tooSmall), FileErr_FileOpenR);
  ExpectResetState(wma);
  // ... while the true count reads the file.
  tooSmall = File(Header({FileProperties(128000)}, std::nullopt, 12), 2000);
  EXPECT_EQ(ReadFromBytes(wma, tooSmall), FileErr_None);
  EXPECT_TRUE(wma.Valid());

  // A real encoder's file, cut inside its header.
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  TempDir dir;
  const std::string path = dir.file("real.wma");
  ASSERT_TRUE(testsupport::EncodeTone(path, 1, 44100, 1, "-c:a wmav2 -metadata title=Cut"));
  const std::string real = testsupport::ReadWholeFile(path);
  ASSERT_GT(real.size(), 100u);
  const uint64_t realHeader = GetU64LE(real.data() + 16);
  ASSERT_LT(realHeader, real.size());
  // Cuts at the start of every object but the first, and 7 bytes into it.
  std::vector<uint64_t> cuts;
  for (uint64_t at = 30; at + 24 <= realHeader;) {
    if (at > 30) cuts.insert(cuts.end(), {at, at + 7});
    const uint64_t size = GetU64LE(real.data() + at + 16);
    ASSERT_GE(size, 24u);
    at += size;
  }
  ASSERT_GE(cuts.size(), 4u) << "the encoder writes several header objects";
  for (uint64_t cut : cuts) {
    SCOPED_TRACE(cut);
    TGeneralAudioFile f(dir.write("cut.wma", real.substr(0, cut)));
    EXPECT_EQ(f.LastError(), FileErr_FileOpenR);
    EXPECT_FALSE(f.Valid());
    EXPECT_EQ(f.Title(), u"");
    EXPECT_EQ(f.Duration(), 0);
    EXPECT_EQ(f.FileSize(), static_cast<int64_t>(cut));
  }
  TGeneralAudioFile whole(dir.write("header-only.wma", real.substr(0, realHeader)));
  EXPECT_EQ(whole.LastError(), FileErr_None);
  EXPECT_EQ(whole.Title(), u"Cut");
}

TEST(WmaFile, RealEncoderFile) {
  if (!testsupport::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  TempDir dir;
  const std::string path = dir.file("real.wma");
  ASSERT_TRUE(
      testsupport::EncodeTone(path, 3, 44100, 2,
                              "-c:a wmav2 -b:a 128k -metadata title='Real Title' -metadata artist='Real Artist' "
                              "-metadata album='Real Album' -metadata genre=Jazz -metadata track=3 "
                              "-metadata WM/Year=2004"));
  TGeneralAudioFile file(path);
  ASSERT_EQ(file.LastError(), FileErr_None);
  EXPECT_TRUE(file.Valid());
  EXPECT_EQ(file.Samplerate(), 44100);
  EXPECT_EQ(file.Channels(), 2);
  EXPECT_EQ(file.Bitrate(), 128000);
  EXPECT_EQ(file.Duration(), 3);
  EXPECT_EQ(file.Title(), u"Real Title");
  EXPECT_EQ(file.Artist(), u"Real Artist");
  EXPECT_EQ(file.Album(), u"Real Album");
  EXPECT_EQ(file.Genre(), u"Jazz");
  EXPECT_EQ(file.Track(), u"3");
  EXPECT_EQ(file.Year(), u"2004");
}
