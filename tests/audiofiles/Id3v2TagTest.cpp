#include <gtest/gtest.h>

#include <algorithm>

#include "Id3v2Builders.h"
#include "Tagmill.h"
#include "TestSupport.h"

using namespace mp3build;
using namespace std::string_literals;

namespace {

TMP3Error Read(TID3v2Tag& tag, const std::string& bytes) {
  TMemoryStream stream(bytes);
  return tag.ReadFromStream(stream);
}

std::string Text(uint8_t version, std::string_view id, std::string_view text) {
  return Id3v2TextFrame(version, id, text);
}

}  // namespace

TEST(Id3v2Tag, FramesAndPadding) {
  TID3v2Tag tag;
  const std::string frames = Text(3, "TIT2", "Song") + Text(3, "TPE1", "Band");
  ASSERT_EQ(Read(tag, Id3v2Tag(3, frames, 0, 2048) + "audio"), MP3ERR_None);
  EXPECT_TRUE(tag.Exists());
  EXPECT_EQ(tag.Version().Major, 3);
  ASSERT_EQ(tag.Frames().size(), 2u);
  EXPECT_EQ(tag.Title(), u"Song");
  EXPECT_EQ(tag.Artist(), u"Band");
  EXPECT_EQ(tag.Album(), u"");
  EXPECT_TRUE(tag.UsePadding());
  EXPECT_EQ(tag.Size(), 10 + frames.size() + 2048);
  // The tag's size less the frame bytes before the padding.
  EXPECT_EQ(tag.PaddingSize(), tag.Size() - frames.size());

  // Frames up to the end of the tag: no padding.
  ASSERT_EQ(Read(tag, Id3v2Tag(3, frames)), MP3ERR_None);
  EXPECT_EQ(tag.Frames().size(), 2u);
  EXPECT_FALSE(tag.UsePadding());
  EXPECT_EQ(tag.PaddingSize(), 0u);

  // An ID that is not upper-case letters and digits also starts padding.
  ASSERT_EQ(Read(tag, Id3v2Tag(3, Text(3, "TIT2", "A") + Text(3, "tpe1", "B"))), MP3ERR_None);
  EXPECT_EQ(tag.Frames().size(), 1u);
  EXPECT_TRUE(tag.UsePadding());
}

TEST(Id3v2Tag, YearAndIdsByVersion) {
  TID3v2Tag tag;
  Read(tag, Id3v2Tag(4, Text(4, "TYER", "1990") + Text(4, "TDRC", "2004")));
  EXPECT_EQ(tag.Year(), u"2004");
  Read(tag, Id3v2Tag(3, Text(3, "TDRC", "2004") + Text(3, "TYER", "1990")));
  EXPECT_EQ(tag.Year(), u"1990");
  Read(tag, Id3v2Tag(2, Text(2, "TYE", "1980") + Text(2, "TT2", "Old") + Text(2, "TAL", "LP") + Text(2, "TRK", "4") +
                            Text(2, "TCO", "(8)")));
  EXPECT_EQ(tag.Version().Major, 2);
  EXPECT_EQ(tag.Year(), u"1980");
  EXPECT_EQ(tag.Title(), u"Old");
  EXPECT_EQ(tag.Album(), u"LP");
  EXPECT_EQ(tag.Track(), u"4");
  EXPECT_EQ(tag.Genre(), u"Jazz");
  // The first of two frames with the same ID answers.
  Read(tag, Id3v2Tag(3, Text(3, "TIT2", "First") + Text(3, "TIT2", "Second")));
  EXPECT_EQ(tag.Title(), u"First");
}

TEST(Id3v2Tag, GenreResolution) {
  EXPECT_EQ(ResolveGenre(u"(17)"), u"Rock");
  EXPECT_EQ(ResolveGenre(u"(17)Rock"), u"Rock");
  EXPECT_EQ(ResolveGenre(u"Rock"), u"Rock");
  EXPECT_EQ(ResolveGenre(u"17"), u"17");
  EXPECT_EQ(ResolveGenre(u"(ab)"), u"(ab)");
  EXPECT_EQ(ResolveGenre(u"(300)"), u"Space");  // 300 keeps its low 8 bits: 44
  EXPECT_EQ(ResolveGenre(u"(148)"), u"(148)");
  EXPECT_EQ(ResolveGenre(u"(147)"), u"Synthpop");
  EXPECT_EQ(ResolveGenre(u"($11)"), u"Rock");
  EXPECT_EQ(ResolveGenre(u"( 0)"), u"Blues");
  EXPECT_EQ(ResolveGenre(u"()"), u"()");
  EXPECT_EQ(ResolveGenre(u")(17"), u")(17");
  EXPECT_EQ(ResolveGenre(u"Foo (17"), u"Foo (17");
  EXPECT_EQ(ResolveGenre(u"(99999999999)"), u"(99999999999)");
}

TEST(Id3v2Tag, CommentsAndLyricsMatching) {
  TID3v2Tag tag;
  const std::string body = Id3v2Frame(3, "COMM", CommentContent(0, "eng", u"desc", u"described")) +
                           Id3v2Frame(3, "COMM", CommentContent(1, "deu", u"", u"plain")) +
                           Id3v2Frame(3, "USLT", CommentContent(0, "eng", u"", u"la la"));
  ASSERT_EQ(Read(tag, Id3v2Tag(3, body)), MP3ERR_None);
  EXPECT_EQ(tag.Comment(), u"plain");
  EXPECT_EQ(tag.GetExtendedComment("*", u"desc"), u"described");
  EXPECT_EQ(tag.GetExtendedComment("", u"*"), u"described");
  EXPECT_EQ(tag.GetExtendedComment("deu", u"*"), u"plain");
  EXPECT_EQ(tag.GetExtendedComment("fra", u"*"), u"");
  EXPECT_EQ(tag.GetExtendedComment("eng", u"DESC"), u"");
  EXPECT_EQ(tag.Lyrics(), u"la la");
  EXPECT_FALSE(tag.ValidNewCommentFrame("eng", u"desc"));
  EXPECT_TRUE(tag.ValidNewCommentFrame("eng", u""));
  EXPECT_TRUE(tag.ValidNewLyricFrame("deu", u"*"));
  EXPECT_EQ(tag.GetAllCommentFrames().size(), 2u);
  EXPECT_EQ(tag.GetAllLyricFrames().size(), 1u);
}

TEST(Id3v2Tag, OtherFrameLookups) {
  TID3v2Tag tag;
  testsupport::Bytes popm;
  popm.raw("a@b").u8(0).u8(200).u32be(42);
  testsupport::Bytes apic;
  apic.u8(0).raw("image/png").u8(0).u8(3).raw("front").u8(0).raw("PNGDATA");
  const std::string body = Id3v2Frame(3, "TXXX", "\0mood\0calm"s) + Id3v2Frame(3, "WXXX", "\0\0http://x"s) +
                           Id3v2Frame(3, "WOAR", "http://artist") + Id3v2Frame(3, "POPM", "x@y\0\x10"s) +
                           Id3v2Frame(3, "POPM", popm.str()) + Id3v2Frame(3, "APIC", apic.str()) +
                           Id3v2Frame(3, "PRIV", "owner\0data"s) + Id3v2Frame(3, "PRIV", "empty\0"s) +
                           Text(3, "TCOM", "Composer");
  ASSERT_EQ(Read(tag, Id3v2Tag(3, body)), MP3ERR_None);
  EXPECT_EQ(tag.GetUserText(u"mood"), u"calm");
  EXPECT_EQ(tag.GetUserText(u"other"), u"");
  EXPECT_EQ(tag.URL(), "http://x");
  EXPECT_EQ(tag.GetURL(IDv2_ARTISTURL), "http://artist");
  EXPECT_EQ(tag.Rating(), 0x10);
  EXPECT_EQ(tag.GetRating("a@b"), 200);
  EXPECT_EQ(tag.GetPersonalPlayCounter("a@b"), 42u);
  EXPECT_EQ(tag.GetRating("nobody"), 0);
  EXPECT_FALSE(tag.ValidNewPopularimeterFrame("a@b"));
  EXPECT_TRUE(tag.ValidNewPopularimeterFrame("c@d"));

  TMemoryStream picture;
  EXPECT_EQ(tag.GetPicture(picture, u"front"), "image/png");
  EXPECT_EQ(picture.Data(), "PNGDATA");
  TMemoryStream none;
  EXPECT_EQ(tag.GetPicture(none, u"back"), "");
  EXPECT_EQ(none.Size(), 0);
  EXPECT_FALSE(tag.ValidNewPictureFrame(u"*"));
  EXPECT_TRUE(tag.ValidNewPictureFrame(u"back"));
  EXPECT_FALSE(tag.ValidNewUserDefUrlFrame(u""));

  TMemoryStream priv;
  EXPECT_TRUE(tag.GetPrivateFrame("owner", priv));
  EXPECT_EQ(priv.Data(), "data");
  EXPECT_FALSE(tag.GetPrivateFrame("empty", priv));
  EXPECT_FALSE(tag.GetPrivateFrame("nobody", priv));

  EXPECT_EQ(tag.Composer(), u"Composer");
  EXPECT_EQ(tag.GetAllFrames().size(), 9u);
  EXPECT_EQ(tag.GetAllTextFrames().size(), 1u);
  EXPECT_EQ(tag.GetAllUserTextFrames().size(), 1u);
  EXPECT_EQ(tag.GetAllURLFrames().size(), 1u);
  EXPECT_EQ(tag.GetAllUserDefinedURLFrames().size(), 1u);
  EXPECT_EQ(tag.GetAllPopularimeterFrames().size(), 2u);
  EXPECT_EQ(tag.GetAllPictureFrames().size(), 1u);
  TID3v2FrameRefs list{nullptr};
  tag.GetAllPrivateFrames(list);
  EXPECT_EQ(list.size(), 2u);
  // 45 text rows exist in version 3 less the 11 that only 2.4 has, less TCOM.
  EXPECT_EQ(tag.GetAllowedTextFrames().size(), 45u - 11u - 1u);
  EXPECT_EQ(tag.GetAllowedURLFrames().size(), 8u - 1u);
}

TEST(Id3v2Tag, Unsynchronisation) {
  TID3v2Tag tag;
  // Tag-level (2.3): the body is de-unsynchronised before frames are read.
  const std::string frame = Id3v2Frame(3, "TIT2", "\0A\xFF\xE0Z"s);
  ASSERT_EQ(Read(tag, Id3v2Tag(3, Unsynchronise(frame), kTagUnsync)), MP3ERR_None);
  EXPECT_TRUE(tag.FlgUnsynch());
  ASSERT_EQ(tag.Frames().size(), 1u);
  EXPECT_EQ(tag.Frames()[0]->Data(), "\0A\xFF\xE0Z"s);
  // 2.4 leaves it to the frames: the tag flag alone changes nothing.
  const std::string raw = Id3v2Frame(4, "TIT2", "\0A\xFF\x00Z"s);
  ASSERT_EQ(Read(tag, Id3v2Tag(4, raw, kTagUnsync)), MP3ERR_None);
  EXPECT_EQ(tag.Frames()[0]->Data(), "\0A\xFF\x00Z"s);
  ASSERT_EQ(Read(tag, Id3v2Tag(4, Id3v2Frame(4, "TIT2", "\0A\xFF\x00Z"s, 0, kV4Unsync))), MP3ERR_None);
  EXPECT_EQ(tag.Frames()[0]->Data(), "\0A\xFFZ"s);
}

TEST(Id3v2Tag, ExtendedHeaderAndFooter) {
  TID3v2Tag tag;
  const std::string frame = Text(4, "TIT2", "Song");
  // 2.4: the size counts the whole extended header.
  testsupport::Bytes ext4;
  ext4.syncsafe(6).u8(1).u8(0);
  ASSERT_EQ(Read(tag, Id3v2Tag(4, ext4.str() + frame, kTagExtended)), MP3ERR_None);
  EXPECT_TRUE(tag.FlgExtended());
  EXPECT_EQ(tag.Title(), u"Song");
  // 2.3: the size excludes its own four bytes.
  testsupport::Bytes ext3;
  ext3.u32be(6).zeros(6);
  ASSERT_EQ(Read(tag, Id3v2Tag(3, ext3.str() + Text(3, "TIT2", "Song"), kTagExtended)), MP3ERR_None);
  EXPECT_EQ(tag.Title(), u"Song");
  // A footer adds ten bytes to the tag's length.
  ASSERT_EQ(Read(tag, Id3v2Tag(4, frame, kTagFooter, 1000 - uint32_t(frame.size())) + "audio"), MP3ERR_None);
  EXPECT_TRUE(tag.FlgFooterPresent());
  EXPECT_EQ(tag.Size(), 1020u);
}

TEST(Id3v2Tag, HeaderResults) {
  TID3v2Tag tag;
  EXPECT_EQ(Read(tag, "ID3\x03"), MP3ERR_SRead);
  EXPECT_EQ(Read(tag, std::string(100, 'x')), ID3ERR_NoTag);
  EXPECT_FALSE(tag.Exists());
  std::string v5 = SimpleId3v2Tag(3, "T", "A");
  v5[3] = 5;
  EXPECT_EQ(Read(tag, v5), ID3ERR_Invalid_Header);
  EXPECT_FALSE(tag.Exists());
  EXPECT_EQ(tag.Version().Major, 3);  // cleared to 3.0

  // 2.2 with compression: the header counts, the frames are not read.
  ASSERT_EQ(Read(tag, Id3v2Tag(2, Text(2, "TT2", "x"), 0x40)), ID3ERR_Compression);
  EXPECT_TRUE(tag.Exists());
  EXPECT_TRUE(tag.FlgCompression());
  EXPECT_TRUE(tag.Frames().empty());
  EXPECT_EQ(Read(tag, Id3v2Tag(3, Text(3, "TIT2", "x"), 0x01)), MP3ERR_None);
  EXPECT_TRUE(tag.FlgUnknown());

  // An extended header whose size bytes are cut off.
  EXPECT_EQ(Read(tag, Id3v2Tag(3, "", kTagExtended)), MP3ERR_SRead);
}

TEST(Id3v2Tag, TruncatedFramesAndBodies) {
  TID3v2Tag tag;
  // A frame running past the end of the tag: the frames before it stay.
  const std::string body = Text(3, "TIT2", "Song") + Id3v2Frame(3, "TPE1", "\0Ba"s, 0, 0, 50);
  ASSERT_EQ(Read(tag, Id3v2Tag(3, body) + std::string(100, 'x')), MP3ERR_SRead);
  EXPECT_EQ(tag.Frames().size(), 1u);
  EXPECT_EQ(tag.Title(), u"Song");

  // A body the stream cannot supply raises a read error to the caller...
  std::string claims = Id3v2Tag(3, Text(3, "TIT2", "Song"), 0, 100000);
  claims.resize(500);
  EXPECT_THROW(Read(tag, claims), EReadError);
  // ...which reading from a file reports as an open/read failure.
  testsupport::TempDir dir;
  EXPECT_EQ(tag.ReadFromFile(dir.write("t.mp3", claims)), MP3ERR_FOpenR);
  EXPECT_EQ(tag.Filename(), dir.file("t.mp3"));
  EXPECT_EQ(tag.ReadFromFile(dir.file("none.mp3")), MP3ERR_NoFile);

  // Unsynchronised bodies take what the stream holds.
  std::string unsync = Id3v2Tag(3, Text(3, "TIT2", "Song"), kTagUnsync, 100000);
  unsync.resize(500);
  ASSERT_EQ(Read(tag, unsync), MP3ERR_None);
  EXPECT_EQ(tag.Title(), u"Song");
}

TEST(Id3v2Tag, UnexpectedFrameErrorIsReportedOnStandardError) {
  TID3v2Tag tag;
  // Size 3 cannot hold the 4-byte data length indicator the flags announce.
  const std::string body =
      Text(4, "TIT2", "Song") + Id3v2Frame(4, "TPE1", "\0ab"s, 0, kV4DataLength) + Text(4, "TALB", "Album");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Read(tag, Id3v2Tag(4, body)), ID3ERR_Unclassified);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("Error: ", 0), 0u) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  ASSERT_EQ(tag.Frames().size(), 1u);
  EXPECT_EQ(tag.Title(), u"Song");
  EXPECT_EQ(tag.Album(), u"");
}

TEST(Id3v2Tag, CodePageSettingsReachTheFrames) {
  TID3v2Tag tag;
  TCodePage cyrillic;
  cyrillic.CodePage = 1251;
  tag.SetCharCode(cyrillic);
  tag.SetAutoCorrectCodepage(true);
  Read(tag, SimpleId3v2Tag(3, "\xC0", "B"));
  EXPECT_EQ(tag.Title(), u"\u0410");
  tag.SetAutoCorrectCodepage(false);
  EXPECT_EQ(tag.Title(), u"\u00C0");
  tag.Clear();
  EXPECT_EQ(tag.CharCode().CodePage, 1251u);
  EXPECT_TRUE(tag.Frames().empty());
}
