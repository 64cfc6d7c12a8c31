#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <stdexcept>

#include "ID3v2Frames.h"
#include "Id3Basics.h"
#include "Id3v2Builders.h"

using mp3build::CommentContent;
using mp3build::Id3v2Frame;
using mp3build::TextContent;
using testsupport::Bytes;

using namespace std::string_literals;

namespace {

// Reads one frame as the tag's frame loop does: the ID first, then the
// frame reads the rest from the stream.
std::unique_ptr<TID3v2Frame> ReadFrame(uint8_t version, TStream& stream) {
  const std::string id = stream.ReadBytes(version == 2 ? 3 : 4);
  auto frame = std::make_unique<TID3v2Frame>(id, version);
  frame->ReadFromStream(stream);
  return frame;
}

std::unique_ptr<TID3v2Frame> ReadFrame(uint8_t version, const std::string& bytes) {
  TMemoryStream stream(bytes);
  return ReadFrame(version, stream);
}

std::u16string TextOf(const std::string& content, uint8_t version = 3) {
  return ReadFrame(version, Id3v2Frame(version, version == 2 ? "TT2" : "TIT2", content))->GetText();
}

TEST(Id3v2FrameText, EveryEncoding) {
  EXPECT_EQ(TextOf(std::string("\0abc\0", 5)), u"abc");
  EXPECT_EQ(TextOf("\x01\xFF\xFE"
                   "A\0B\0"s),
            u"AB");
  EXPECT_EQ(TextOf("\x01\xFE\xFF\0A\0B"s), u"AB");
  EXPECT_EQ(TextOf("\x02\0A\0B"s), u"AB");
  EXPECT_EQ(TextOf("\x03\xC3\xA4"), u"\u00E4");
  // Encoding 0 is the system page (Windows-1252), not Latin-1: 0x80 is the euro sign.
  EXPECT_EQ(TextOf(std::string("\0\x80\xE9", 3)), u"\u20AC\u00E9");
  // An unknown encoding byte counts as 0.
  EXPECT_EQ(TextOf("\x07\xE9t\xE9"), u"\u00E9t\u00E9");
  // Non-BMP character through UTF-8 and UTF-16.
  EXPECT_EQ(TextOf("\x03\xF0\x9D\x84\x9E"), u"\U0001D11E");
  EXPECT_EQ(TextOf("\x01\xFF\xFE\x34\xD8\x1E\xDD"s), u"\U0001D11E");
  // Invalid UTF-8 gives replacement characters, not a failure.
  EXPECT_EQ(TextOf("\x03"
                   "a\xFF"
                   "b"),
            u"a\uFFFD"
            u"b");
  // Version 2 and 4 decode alike.
  EXPECT_EQ(TextOf("\x01\xFF\xFE"
                   "A\0"s,
                   2),
            u"A");
  EXPECT_EQ(TextOf("\x03x", 4), u"x");
}

TEST(Id3v2FrameText, ByteOrderMarkQuirk) {
  // Without a mark the first character is taken for it.
  EXPECT_EQ(TextOf("\x01"
                   "A\0B\0"s),
            u"B");
  // Any first pair other than FE FF means little-endian.
  EXPECT_EQ(TextOf("\x01\0\0A\0"s), u"A");
  // A mark alone, or a single byte, gives nothing.
  EXPECT_EQ(TextOf("\x01\xFF\xFE"), u"");
  EXPECT_EQ(TextOf("\x01\xFF"), u"");
  // An odd trailing byte is dropped.
  EXPECT_EQ(TextOf("\x01\xFF\xFE"
                   "A\0B"s),
            u"A");
  EXPECT_EQ(TextOf("\x02\0A\0"s), u"A");
}

TEST(Id3v2FrameText, TrimmingAndInnerZeros) {
  EXPECT_EQ(TextOf(std::string("\0  \t abc \x01\0\0", 11)), u"abc");
  // Several zero-separated values stay joined by zero characters.
  EXPECT_EQ(TextOf(std::string("\0a\0b\0", 5)), std::u16string(u"a\0b", 3));
  EXPECT_EQ(TextOf("\x01\xFF\xFE"
                   "a\0\0\0b\0\0\0"s),
            std::u16string(u"a\0b", 3));
  EXPECT_EQ(TextOf(""), u"");
  EXPECT_EQ(TextOf(std::string(1, '\0')), u"");
}

TEST(Id3v2FrameText, CodePageSettingAppliesToEncodingZeroOnly) {
  auto frame = ReadFrame(3, Id3v2Frame(3, "TIT2", "\0\xC0\xE1"s));
  EXPECT_EQ(frame->GetText(), u"\u00C0\u00E1");
  TCodePage cyrillic;
  cyrillic.CodePage = 1251;
  frame->SetCharCode(cyrillic);
  EXPECT_EQ(frame->GetText(), u"\u00C0\u00E1") << "setting is ignored until AutoCorrectCodepage";
  frame->SetAutoCorrectCodepage(true);
  EXPECT_EQ(frame->GetText(), u"\u0410\u0431");

  auto utf8 = ReadFrame(3, Id3v2Frame(3, "TIT2", "\x03\xC3\xA4"));
  utf8->SetCharCode(cyrillic);
  utf8->SetAutoCorrectCodepage(true);
  EXPECT_EQ(utf8->GetText(), u"\u00E4");
}

TEST(Id3v2FrameText, DecodeTextRangeClampsItsBounds) {
  auto frame = ReadFrame(3, Id3v2Frame(3, "TIT2", "\0abcdef"s));
  EXPECT_EQ(frame->DecodeTextRange(-5, 2, 0), u"ab");
  EXPECT_EQ(frame->DecodeTextRange(5, 1000, 0), u"ef");
  EXPECT_EQ(frame->DecodeTextRange(4, 3, 0), u"");
  EXPECT_EQ(frame->DecodeTextRange(100, 200, 0), u"");
}

TEST(Id3v2FrameDescriptions, CommentsAndLyrics) {
  std::string language;
  std::u16string description;

  auto plain = ReadFrame(3, Id3v2Frame(3, "COMM", "\0eng\0word"s));
  EXPECT_EQ(plain->FrameType(), FT_CommentFrame);
  EXPECT_EQ(plain->GetCommentsLyrics(language, description), u"word");
  EXPECT_EQ(language, "eng");
  EXPECT_EQ(description, u"");

  auto described = ReadFrame(3, Id3v2Frame(3, "COMM", "\0engsecond\0word"s));
  EXPECT_EQ(described->GetCommentsLyrics(language, description), u"word");
  EXPECT_EQ(description, u"second");

  // UTF-16 with an empty description that still carries its mark.
  auto utf16 = ReadFrame(3, Id3v2Frame(3, "COMM",
                                       "\x01"
                                       "deu\xFF\xFE\0\0\xFF\xFE"
                                       "T\0x\0"s));
  EXPECT_EQ(utf16->GetCommentsLyrics(language, description), u"Tx");
  EXPECT_EQ(language, "deu");
  EXPECT_EQ(description, u"");

  for (uint8_t encoding : {0, 1, 2, 3}) {
    auto frame = ReadFrame(4, Id3v2Frame(4, "USLT", CommentContent(encoding, "fra", u"d\u00E9", u"lyr\u00E9")));
    EXPECT_EQ(frame->FrameType(), FT_LyricFrame);
    EXPECT_EQ(frame->GetCommentsLyrics(language, description), u"lyr\u00E9") << int(encoding);
    EXPECT_EQ(description, u"d\u00E9") << int(encoding);
    EXPECT_EQ(language, "fra");
  }

  // UTF-16 terminators are looked for pairwise: the 00 00 that straddles
  // two characters ("A" = 41 00, then 00 42) is not one.
  auto aligned = ReadFrame(3, Id3v2Frame(3, "COMM",
                                         "\x02"
                                         "eng\0A\0\0\0B"s));
  EXPECT_EQ(aligned->GetCommentsLyrics(language, description), u"B");
  EXPECT_EQ(description, u"A");

  // No terminator: everything is description, the text is empty.
  auto unterminated = ReadFrame(3, Id3v2Frame(3, "COMM", "\0engonly"s));
  EXPECT_EQ(unterminated->GetCommentsLyrics(language, description), u"");
  EXPECT_EQ(description, u"only");

  // Four bytes or less: everything empty.
  auto tooShort = ReadFrame(3, Id3v2Frame(3, "COMM", "\0eng"s));
  description = u"stale";
  language = "old";
  EXPECT_EQ(tooShort->GetCommentsLyrics(language, description), u"");
  EXPECT_EQ(language, "");
  EXPECT_EQ(description, u"");
}

TEST(Id3v2FrameDescriptions, UserTextAndUserUrl) {
  std::u16string description;
  auto txxx = ReadFrame(3, Id3v2Frame(3, "TXXX", "\0REPLAYGAIN\0-6.5 dB"s));
  EXPECT_EQ(txxx->FrameType(), FT_UserTextFrame);
  EXPECT_EQ(txxx->GetUserText(description), u"-6.5 dB");
  EXPECT_EQ(description, u"REPLAYGAIN");
  EXPECT_EQ(txxx->GetText(), std::u16string(u"REPLAYGAIN\0-6.5 dB", 18));

  auto utf16 = ReadFrame(3, Id3v2Frame(3, "TXXX", TextContent(1, u"k") + "\0\0"s + mp3build::EncodedText(1, u"v")));
  EXPECT_EQ(utf16->GetUserText(description), u"v");
  EXPECT_EQ(description, u"k");

  auto tooShort = ReadFrame(3, Id3v2Frame(3, "TXXX", "\0a"s));
  EXPECT_EQ(tooShort->GetUserText(description), u"");
  EXPECT_EQ(description, u"");

  auto wxxx = ReadFrame(3, Id3v2Frame(3, "WXXX", "\0home\0  http://example.org/ \0"s));
  EXPECT_EQ(wxxx->FrameType(), FT_UserDefinedURLFrame);
  EXPECT_EQ(wxxx->GetUserdefinedURL(description), "http://example.org/");
  EXPECT_EQ(description, u"home");

  auto noUrl = ReadFrame(3, Id3v2Frame(3, "WXXX", "\0home"s));
  EXPECT_EQ(noUrl->GetUserdefinedURL(description), "");
  EXPECT_EQ(description, u"home");

  auto url = ReadFrame(3, Id3v2Frame(3, "WOAR", " http://a.b \0"s));
  EXPECT_EQ(url->FrameType(), FT_URLFrame);
  EXPECT_EQ(url->GetURL(), " http://a.b \0"s) << "GetURL is untrimmed";
}

TEST(Id3v2FramePicture, ApicAndPic) {
  std::string mime;
  uint8_t type = 99;
  std::u16string description;
  TMemoryStream data;

  auto apic = ReadFrame(3, Id3v2Frame(3, "APIC",
                                      "\0image/png\0\x03"
                                      "cover\0\x89PNG"s));
  EXPECT_EQ(apic->FrameType(), FT_PictureFrame);
  EXPECT_TRUE(apic->GetPicture(mime, type, description, data));
  EXPECT_EQ(mime, "image/png");
  EXPECT_EQ(type, 3);
  EXPECT_EQ(description, u"cover");
  EXPECT_EQ(data.Data(), "\x89PNG");

  // The picture bytes are appended to what the stream already holds.
  auto utf16 =
      ReadFrame(4, Id3v2Frame(4, "APIC", "\x01image/jpeg\0\x04"s + mp3build::EncodedText(1, u"d") + "\0\0JPG"s));
  EXPECT_TRUE(utf16->GetPicture(mime, type, description, data));
  EXPECT_EQ(type, 4);
  EXPECT_EQ(description, u"d");
  EXPECT_EQ(data.Data(), "\x89PNGJPG");

  TMemoryStream data2;
  auto pic = ReadFrame(2, Id3v2Frame(2, "PIC",
                                     "\0PNG\x05"
                                     "desc\0bytes"s));
  EXPECT_EQ(pic->FrameType(), FT_PictureFrame);
  EXPECT_TRUE(pic->GetPicture(mime, type, description, data2));
  EXPECT_EQ(mime, "PNG");
  EXPECT_EQ(type, 5);
  EXPECT_EQ(description, u"desc");
  EXPECT_EQ(data2.Data(), "bytes");

  // Header parts but no picture bytes.
  TMemoryStream empty;
  auto noData = ReadFrame(3, Id3v2Frame(3, "APIC",
                                        "\0image/png\0\x03"
                                        "cover\0"s));
  EXPECT_FALSE(noData->GetPicture(mime, type, description, empty));
  EXPECT_EQ(description, u"cover");
  EXPECT_EQ(empty.Size(), 0);

  // The MIME type runs to the end: the picture type is left as it was.
  type = 77;
  auto noType = ReadFrame(3, Id3v2Frame(3, "APIC", "\0image/png"s));
  EXPECT_FALSE(noType->GetPicture(mime, type, description, empty));
  EXPECT_EQ(mime, "image/png");
  EXPECT_EQ(type, 77);

  // Below the length limits (v3: 4 bytes, v2: 6 bytes) everything is empty.
  auto tiny = ReadFrame(3, Id3v2Frame(3, "APIC", "\0a\0\x03"s));
  EXPECT_FALSE(tiny->GetPicture(mime, type, description, empty));
  EXPECT_EQ(mime, "");
  EXPECT_EQ(type, 0);
  type = 9;
  auto tinyPic = ReadFrame(2, Id3v2Frame(2, "PIC", "\0PNG\x03x"s));
  EXPECT_FALSE(tinyPic->GetPicture(mime, type, description, empty));
  EXPECT_EQ(type, 0);
}

TEST(Id3v2FramePopularimeterAndPrivate, Layouts) {
  std::string mail;
  auto popm = ReadFrame(3, Id3v2Frame(3, "POPM", "me@x.org\0\xC8\0\0\x01\x02"s));
  EXPECT_EQ(popm->FrameType(), FT_PopularimeterFrame);
  EXPECT_EQ(popm->GetRating(mail), 200);
  EXPECT_EQ(mail, "me@x.org");
  EXPECT_EQ(popm->GetPersonalPlayCounter(mail), 258u);

  // Five counter bytes: only exactly four count.
  auto five = ReadFrame(3, Id3v2Frame(3, "POPM", "me@x.org\0\xC8\0\0\0\x01\x02"s));
  EXPECT_EQ(five->GetRating(mail), 200);
  EXPECT_EQ(five->GetPersonalPlayCounter(mail), 0u);

  auto noRating = ReadFrame(3, Id3v2Frame(3, "POPM", "me@x.org"s));
  EXPECT_EQ(noRating->GetRating(mail), 0);
  EXPECT_EQ(mail, "me@x.org");

  TMemoryStream data;
  std::string owner;
  auto priv = ReadFrame(3, Id3v2Frame(3, "PRIV", "owner.example\0\x01\x02"s));
  EXPECT_TRUE(priv->GetPrivateFrame(owner, data));
  EXPECT_EQ(owner, "owner.example");
  EXPECT_EQ(data.Data(), "\x01\x02");
  auto ownerOnly = ReadFrame(3, Id3v2Frame(3, "PRIV", "owner\0"s));
  EXPECT_FALSE(ownerOnly->GetPrivateFrame(owner, data));
  EXPECT_EQ(owner, "owner");
}

TEST(Id3v2FrameReading, SizesPerVersion) {
  auto v2 = ReadFrame(2, Id3v2Frame(2, "TT2", "\0two"s));
  EXPECT_EQ(v2->Header().size(), 6u);
  EXPECT_EQ(v2->DataSize(), 4u);
  EXPECT_EQ(v2->GetText(), u"two");

  // Version 4 sizes are seven bits per byte: 01 00 means 128.
  const std::string content = "\0"s + std::string(127, 'x');
  auto v4 = ReadFrame(4, Id3v2Frame(4, "TIT2", content));
  EXPECT_EQ(v4->DataSize(), 128u);
  EXPECT_EQ(v4->Header().substr(4, 4), "\0\0\x01\0"s);

  // A set top bit is not masked: 00 00 01 80 is 128 + 128.
  const std::string raw = "TIT2\0\0\x01\x80\0\0"s + std::string(256, 'y') + "rest";
  TMemoryStream stream(raw);
  auto odd = ReadFrame(4, stream);
  EXPECT_EQ(odd->DataSize(), 256u);
  EXPECT_EQ(stream.Remaining(), 4);

  // Version 3 sizes are plain big-endian: 00 00 01 00 is 256, 00 00 00 80 is 128.
  auto v3 = ReadFrame(3, "TIT2\0\0\0\x80\0\0"s + std::string(128, 'z'));
  EXPECT_EQ(v3->DataSize(), 128u);
}

TEST(Id3v2FrameReading, ShortContentRaisesReadError) {
  EXPECT_THROW(ReadFrame(3, Id3v2Frame(3, "TIT2", "\0abc"s, 0, 0, 100)), EReadError);
  EXPECT_THROW(ReadFrame(2, Id3v2Frame(2, "TT2", "\0abc"s, 0, 0, 0xFFFFFF)), EReadError);
  EXPECT_THROW(ReadFrame(4, Id3v2Frame(4, "TIT2", "\0abc"s, 0, 0, 0x0FFFFFFF)), EReadError);
  // Not parsable frames take the whole size, so they fail alike.
  EXPECT_THROW(ReadFrame(3, Id3v2Frame(3, "TIT2", "\0abc"s, 0, mp3build::kV3Compression, 100)), EReadError);
  // A header cut short: the missing size bytes are zero, an empty frame.
  auto cut = ReadFrame(3, "TIT2\0\0"s);
  EXPECT_EQ(cut->DataSize(), 0u);
  EXPECT_EQ(cut->GetText(), u"");
}

TEST(Id3v2FrameReading, SizesBelowTheirExtrasRaiseRangeError) {
  // Version 4, size 3, data length indicator (4 bytes) announced.
  EXPECT_THROW(ReadFrame(4, Id3v2Frame(4, "TIT2", "\0\0\0\0\0\0\0"s, 0, mp3build::kV4DataLength, 3)), std::range_error);
  // Version 3 sizes of 2^31 and more count as negative.
  EXPECT_THROW(ReadFrame(3, Id3v2Frame(3, "TIT2", "\0abc"s, 0, 0, 0x80000000u)), std::range_error);
  // Grouping byte announced in a frame of size 0 (the byte is read first).
  EXPECT_THROW(ReadFrame(3, Id3v2Frame(3, "TIT2", "\x01", 0, mp3build::kV3Grouping, 0)), std::range_error);
}

TEST(Id3v2FrameReading, GroupingAndDataLengthIndicator) {
  auto v3 = ReadFrame(3, Id3v2Frame(3, "TIT2", "\x07\0grp"s, 0, mp3build::kV3Grouping));
  EXPECT_TRUE(v3->Parsable());
  EXPECT_TRUE(v3->FlagGroupingIndentity());
  EXPECT_EQ(v3->GroupID(), 7);
  EXPECT_EQ(v3->DataSize(), 4u);
  EXPECT_EQ(v3->GetText(), u"grp");

  auto v4 =
      ReadFrame(4, Id3v2Frame(4, "TIT2", "\x09\0\0\0\x05\0both"s, 0, mp3build::kV4Grouping | mp3build::kV4DataLength));
  EXPECT_TRUE(v4->FlagDataLengthIndicator());
  EXPECT_EQ(v4->GroupID(), 9);
  EXPECT_EQ(v4->DataLength(), (std::array<uint8_t, 4>{0, 0, 0, 5}));
  EXPECT_EQ(v4->GetText(), u"both");
}

TEST(Id3v2FrameReading, UnparsableFramesKeepTheirBytesAndTheNextFrameReads) {
  const std::string compressed =
      Id3v2Frame(3, "TIT2", "\x07\0\0\0\x10zlibdata"s, 0, mp3build::kV3Compression | mp3build::kV3Grouping);
  TMemoryStream stream(compressed + Id3v2Frame(3, "TPE1", "\0next"s));
  auto first = ReadFrame(3, stream);
  EXPECT_FALSE(first->Parsable());
  EXPECT_TRUE(first->FlagCompression());
  EXPECT_EQ(first->DataSize(), 13u) << "group byte and everything else stay in the content";
  EXPECT_EQ(first->GroupID(), 0);
  EXPECT_EQ(first->GetText(), u"");
  std::u16string description;
  std::string language, mail;
  EXPECT_EQ(first->GetUserText(description), u"");
  EXPECT_EQ(first->GetCommentsLyrics(language, description), u"");
  EXPECT_EQ(first->GetURL(), "");
  EXPECT_EQ(first->GetRating(mail), 0);
  TMemoryStream data;
  first->GetData(data);
  EXPECT_EQ(data.Size(), 13);

  auto second = ReadFrame(3, stream);
  EXPECT_EQ(second->FrameIDString(), "TPE1");
  EXPECT_EQ(second->GetText(), u"next");

  struct Case {
    uint8_t version, format;
    bool parsable;
  };
  for (const Case c :
       {Case{3, 0x80, false}, Case{3, 0x40, false}, Case{3, 0x20, true}, Case{3, 0x01, false}, Case{3, 0x10, false},
        Case{4, 0x08, false}, Case{4, 0x04, false}, Case{4, 0x80, false}, Case{4, 0x20, false}, Case{4, 0x10, false},
        Case{4, 0x40, true}, Case{4, 0x01, true}, Case{4, 0x02, true}}) {
    auto frame = ReadFrame(c.version, Id3v2Frame(c.version, "TIT2", "\x01\0\0\0\0\0abc"s, 0, c.format));
    EXPECT_EQ(frame->Parsable(), c.parsable) << int(c.version) << " " << int(c.format);
  }
}

TEST(Id3v2FrameReading, FrameLevelUnsynchronisation) {
  // Content 00 FF 00 E0: unsynchronised bytes FF 00 become FF.
  const std::string frame = Id3v2Frame(4, "TIT2", "\0\xFF\0\xE0x"s, 0, mp3build::kV4Unsync);
  TMemoryStream stream(frame + "TAIL");
  auto read = ReadFrame(4, stream);
  EXPECT_TRUE(read->FlagUnsynchronisation());
  EXPECT_EQ(read->Data(), "\0\xFF\xE0x"s);
  EXPECT_EQ(stream.Remaining(), 4) << "the announced size counts the unsynchronised bytes";

  // The same bytes in version 3 are not touched by the frame.
  auto v3 = ReadFrame(3, Id3v2Frame(3, "TIT2", "\0\xFF\0\xE0"s, 0, 0x02));
  EXPECT_EQ(v3->Data(), "\0\xFF\0\xE0"s);

  // Unsynchronisation is undone before the data length indicator is read.
  auto withLength = ReadFrame(4, Id3v2Frame(4, "TIT2", mp3build::Unsynchronise("\0\0\0\xFF\0\xFF\xFFq"s), 0,
                                            mp3build::kV4Unsync | mp3build::kV4DataLength));
  EXPECT_EQ(withLength->DataLength(), (std::array<uint8_t, 4>{0, 0, 0, 0xFF}));
  EXPECT_EQ(withLength->Data(), "\0\xFF\xFFq"s);

  // A size beyond the stream takes what is there instead of failing.
  auto cut = ReadFrame(4, Id3v2Frame(4, "TIT2", "\0abc"s, 0, mp3build::kV4Unsync, 0x0FFFFFFF));
  EXPECT_EQ(cut->GetText(), u"abc");
}

TEST(Id3v2FrameFlags, StatusAndFormatBits) {
  auto v2 = ReadFrame(2, Id3v2Frame(2, "TT2", "\0a"s));
  EXPECT_TRUE(v2->FlagTagAlterPreservation());
  EXPECT_TRUE(v2->FlagFileAlterPreservation());
  EXPECT_FALSE(v2->FlagReadOnly() || v2->FlagUnknownStatus() || v2->FlagCompression() || v2->FlagEncryption() ||
               v2->FlagGroupingIndentity() || v2->FlagUnsynchronisation() || v2->FlagDataLengthIndicator() ||
               v2->FlagUnknownEncoding());

  auto v3 = ReadFrame(3, Id3v2Frame(3, "TIT2", "\0a"s, 0x80 | 0x20 | 0x01, 0x40 | 0x02));
  EXPECT_FALSE(v3->FlagTagAlterPreservation());
  EXPECT_TRUE(v3->FlagFileAlterPreservation());
  EXPECT_TRUE(v3->FlagReadOnly());
  EXPECT_TRUE(v3->FlagUnknownStatus());
  EXPECT_TRUE(v3->FlagEncryption());
  EXPECT_FALSE(v3->FlagCompression());
  EXPECT_FALSE(v3->FlagUnsynchronisation()) << "version 3 frames have no unsynchronisation flag";
  EXPECT_TRUE(v3->FlagUnknownEncoding());

  auto v4 = ReadFrame(4, Id3v2Frame(4, "TIT2", "\0a"s, 0x20 | 0x10, 0x08));
  EXPECT_TRUE(v4->FlagTagAlterPreservation());
  EXPECT_FALSE(v4->FlagFileAlterPreservation());
  EXPECT_TRUE(v4->FlagReadOnly());
  EXPECT_FALSE(v4->FlagUnknownStatus());
  EXPECT_TRUE(v4->FlagCompression());
  EXPECT_FALSE(v4->FlagUnknownEncoding());
  auto v4b = ReadFrame(4, Id3v2Frame(4, "TIT2", "\0a"s, 0x40 | 0x80, 0x80));
  EXPECT_FALSE(v4b->FlagTagAlterPreservation());
  EXPECT_TRUE(v4b->FlagUnknownStatus());
  EXPECT_TRUE(v4b->FlagUnknownEncoding());
}

TEST(Id3v2FrameTable, RowsAndLookups) {
  ASSERT_EQ(ID3v2FrameTable.size(), 91u);
  std::set<std::string_view> v3ids;
  for (int row = 0; row < kFrameIDCount; ++row) {
    const auto& r = ID3v2FrameTable[row];
    EXPECT_TRUE(r.IDs[0] == "---" || IsValidFrameID(r.IDs[0], 2)) << row;
    EXPECT_TRUE(r.IDs[1] == "----" || IsValidFrameID(r.IDs[1], 3)) << row;
    EXPECT_TRUE(r.IDs[2] == "----" || IsValidFrameID(r.IDs[2], 4)) << row;
    EXPECT_FALSE(r.Description.empty()) << row;
    if (r.IDs[1] != "----") {
      EXPECT_TRUE(v3ids.insert(r.IDs[1]).second) << r.IDs[1];
    }
  }
  EXPECT_EQ(IDStringFor(IDv2_TITEL, 2), "TT2");
  EXPECT_EQ(IDStringFor(IDv2_YEAR, 3), "TYER");
  EXPECT_EQ(IDStringFor(IDv2_YEAR, 4), "TDRC");
  EXPECT_EQ(IDStringFor(IDv2_SIZE, 4), "----");
  EXPECT_EQ(IDStringFor(IDv2_TITEL, 5), "");
  EXPECT_EQ(ID3v2FrameTable[IDv2_LYRICS].Description, "Unsychronized lyric/text transcription");
  EXPECT_STREQ(FrameIDName(IDv2_SIZE), "IDv2_SIZE");
  EXPECT_STREQ(FrameIDName(IDv2_TagmillExperimental), "IDv2_TagmillExperimental");
  EXPECT_STREQ(FrameTypeName(FT_UserTextFrame), "FT_UserTextFrame");

  // TDRC stands in two rows; the lookup finds the first.
  TID3v2Frame tdrc("TDRC", 4);
  EXPECT_EQ(tdrc.FrameID(), IDv2_YEAR);
  EXPECT_EQ(tdrc.FrameTypeDescription(), u"Year");
  EXPECT_EQ(TID3v2Frame("TDRC", 3).FrameID(), IDv2_UNKNOWN) << "no 2.3 frame of that ID";
  EXPECT_EQ(TID3v2Frame("EQU2", 4).FrameID(), IDv2_EQUALIZATION);
  EXPECT_EQ(TID3v2Frame("EQUA", 4).FrameID(), IDv2_UNKNOWN);
  EXPECT_EQ(TID3v2Frame("CRM", 2).FrameID(), IDv2_ENCRYPTEDMETAFRAME);
  EXPECT_EQ(TID3v2Frame("TIT2", 9).FrameID(), IDv2_UNKNOWN);

  TID3v2Frame experimental("XXXX", 3);
  EXPECT_EQ(experimental.FrameID(), IDv2_UNKNOWN);
  EXPECT_EQ(experimental.FrameTypeDescription(), u"Unknown/experimental Frame");
  TID3v2Frame unknown("ZZZ9", 3);
  EXPECT_EQ(unknown.FrameID(), IDv2_UNKNOWN);
  EXPECT_EQ(unknown.FrameTypeDescription(), u"Unknown Frame (ZZZ9)");
  EXPECT_EQ(unknown.FrameType(), FT_UNKNOWN);

  // Invalid IDs are replaced before they are stored.
  EXPECT_EQ(TID3v2Frame("tit2", 3).FrameIDString(), "XXXX");
  EXPECT_EQ(TID3v2Frame("TIT2", 2).FrameIDString(), "XXX");
  EXPECT_EQ(TID3v2Frame("TT", 2).FrameIDString(), "XXX");
  EXPECT_EQ(TID3v2Frame("TIT2", 3).Header(), "TIT2\0\0\0\0\0\0"s);
}

TEST(Id3v2FrameTable, FrameTypesByVersion) {
  struct Case {
    uint8_t version;
    const char* id;
    TID3v2FrameTypes type;
  };
  for (const Case c : {Case{3, "TIT2", FT_TextFrame},
                       Case{3, "TXXX", FT_UserTextFrame},
                       Case{3, "TZZZ", FT_TextFrame},
                       Case{3, "WXXX", FT_UserDefinedURLFrame},
                       Case{3, "WCOM", FT_URLFrame},
                       Case{3, "WPAY", FT_URLFrame},
                       Case{3, "WZZZ", FT_UNKNOWN},
                       Case{3, "COMM", FT_CommentFrame},
                       Case{4, "USLT", FT_LyricFrame},
                       Case{4, "APIC", FT_PictureFrame},
                       Case{4, "POPM", FT_PopularimeterFrame},
                       Case{4, "PRIV", FT_UNKNOWN},
                       Case{2, "TT2", FT_TextFrame},
                       Case{2, "TXX", FT_UserTextFrame},
                       Case{2, "WXX", FT_UserDefinedURLFrame},
                       Case{2, "COM", FT_CommentFrame},
                       Case{2, "ULT", FT_LyricFrame},
                       Case{2, "PIC", FT_PictureFrame},
                       Case{2, "POP", FT_PopularimeterFrame},
                       Case{2, "WAF", FT_URLFrame},
                       Case{2, "WPB", FT_URLFrame},
                       Case{2, "WOR", FT_UNKNOWN}}) {
    EXPECT_EQ(TID3v2Frame(c.id, c.version).FrameType(), c.type) << c.id;
  }
}

TEST(Id3v2FrameHelpers, LookupsForTheTag) {
  TID3v2FrameList frames;
  for (const std::string& bytes : {Id3v2Frame(3, "TIT2", "\0a"s), Id3v2Frame(3, "COMM", "\0engdesc\0text"s),
                                   Id3v2Frame(3, "TIT2", "\0b"s), Id3v2Frame(3, "TPE1", "\0c"s)})
    frames.push_back(ReadFrame(3, bytes));
  EXPECT_EQ(IndexOfFrame(frames, "TIT2"), 0);
  EXPECT_EQ(IndexOfFrame(frames, "TPE1"), 3);
  EXPECT_EQ(IndexOfFrame(frames, "TALB"), -1);
  EXPECT_EQ(IndexOfFrame(frames, ""), -1);

  const TID3v2Frame& comm = *frames[1];
  EXPECT_TRUE(CommentFrameMatches(comm, "*", u"desc"));
  EXPECT_TRUE(CommentFrameMatches(comm, "", u"*"));
  EXPECT_TRUE(CommentFrameMatches(comm, "eng", u"desc"));
  EXPECT_FALSE(CommentFrameMatches(comm, "ENG", u"desc")) << "languages compare exactly";
  EXPECT_FALSE(CommentFrameMatches(comm, "eng", u"Desc")) << "descriptions compare exactly";
  EXPECT_FALSE(CommentFrameMatches(comm, "*", u""));

  // Text frames still free for a tag, per version.
  EXPECT_EQ(AllowedFrameIDs({}, 4, IDv2_ARTIST, IDv2_SETSUBTITLE).size(), 45u);
  EXPECT_EQ(AllowedFrameIDs({}, 3, IDv2_ARTIST, IDv2_SETSUBTITLE).size(), 34u);
  EXPECT_EQ(AllowedFrameIDs({}, 2, IDv2_ARTIST, IDv2_SETSUBTITLE).size(), 31u);
  const auto allowed = AllowedFrameIDs(frames, 3, IDv2_ARTIST, IDv2_SETSUBTITLE);
  EXPECT_EQ(allowed.size(), 32u);
  EXPECT_EQ(allowed.front(), IDv2_ALBUM);
  EXPECT_EQ(AllowedFrameIDs({}, 3, IDv2_AUDIOFILEURL, IDv2_PAYMENTURL).size(), 8u);
  EXPECT_EQ(AllowedFrameIDs({}, 2, IDv2_AUDIOFILEURL, IDv2_PAYMENTURL).size(), 6u);
}

// Random headers and contents: reading either succeeds or raises one of
// the two documented errors, and every getter copes with what was read.
TEST(Id3v2FrameReading, ArbitraryBytesNeverBreakTheGetters) {
  uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return static_cast<uint8_t>(state >> 16);
  };
  for (int round = 0; round < 3000; ++round) {
    const uint8_t version = static_cast<uint8_t>(2 + round % 3);
    std::string bytes = version == 2 ? "TXX" : (round % 2 ? "APIC" : "COMM");
    const size_t length = next() % 48;
    for (size_t i = 0; i < length; ++i) bytes.push_back(static_cast<char>(next() % 4 == 0 ? 0 : next()));
    // Keep most sizes small so that contents are actually read.
    if (bytes.size() > 7 && next() % 4) bytes[version == 2 ? 5 : 7] = static_cast<char>(next() % 40);
    TMemoryStream stream(bytes);
    std::unique_ptr<TID3v2Frame> frame;
    try {
      frame = ReadFrame(version, stream);
    } catch (const EReadError&) {
      continue;
    } catch (const std::range_error&) {
      continue;
    }
    std::u16string description;
    std::string language, mime, mail;
    uint8_t type = 0;
    TMemoryStream data;
    frame->GetText();
    frame->GetUserText(description);
    frame->GetCommentsLyrics(language, description);
    frame->GetUserdefinedURL(description);
    frame->GetPicture(mime, type, description, data);
    frame->GetRating(mail);
    frame->GetPersonalPlayCounter(mail);
    frame->GetPrivateFrame(mail, data);
    frame->FrameTypeDescription();
    EXPECT_LE(frame->DataSize(), bytes.size());
    for (uint8_t encoding = 0; encoding < 5; ++encoding)
      frame->DecodeTextRange(next() % 60 - 10, next() % 60 - 10, encoding);
  }
}

TEST(Id3Basics, RemoveUnsynchronisation) {
  EXPECT_EQ(RemoveUnsynchronisation("\xFF\0\xE0"s), "\xFF\xE0"s);
  EXPECT_EQ(RemoveUnsynchronisation("\xFF\0\0"s), "\xFF\0"s);
  EXPECT_EQ(RemoveUnsynchronisation("\xFF\0\xFF\0"s), "\xFF\xFF"s);
  EXPECT_EQ(RemoveUnsynchronisation("a\xFF"s), "a\xFF"s);
  EXPECT_EQ(RemoveUnsynchronisation("\xFF\x01\0"s), "\xFF\x01\0"s);
  EXPECT_EQ(RemoveUnsynchronisation(""), "");
  const std::string any = "\xFF\xFF\0\xFF\xE0\x12\xFF"s;
  EXPECT_EQ(RemoveUnsynchronisation(mp3build::Unsynchronise(any)), any);
}

TEST(Id3Basics, FrameIdCheck) {
  EXPECT_TRUE(IsValidFrameID("TIT2", 3));
  EXPECT_TRUE(IsValidFrameID("TT2", 2));
  EXPECT_FALSE(IsValidFrameID("TIT2", 2));
  EXPECT_FALSE(IsValidFrameID("TT2", 4));
  EXPECT_FALSE(IsValidFrameID("Tit2", 3));
  EXPECT_FALSE(IsValidFrameID("TI 2", 3));
  EXPECT_FALSE(IsValidFrameID("\0\0\0\0"s, 3));
}

}  // namespace
