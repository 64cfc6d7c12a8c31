#include <gtest/gtest.h>

#include "Mp3Builders.h"
#include "Tagmill.h"
#include "TestSupport.h"

using mp3build::Id3v1;
using mp3build::Id3v1Fields;

namespace {

TMP3Error Read(TID3v1Tag& tag, const std::string& bytes) {
  TMemoryStream stream(bytes);
  return tag.ReadFromStream(stream);
}

std::string Audio() { return std::string(1000, '\x55'); }

}  // namespace

TEST(Id3v1, NoTag) {
  TID3v1Tag tag;
  EXPECT_EQ(Read(tag, Audio()), ID3ERR_NoTag);
  EXPECT_FALSE(tag.Exists());
  EXPECT_EQ(tag.Title(), u"");
  EXPECT_EQ(tag.Artist(), u"");
  EXPECT_EQ(tag.Comment(), u"");
  EXPECT_EQ(tag.Genre(), u"");
  EXPECT_EQ(tag.Track(), u"0");
  EXPECT_EQ(tag.Year(), std::string(4, '\0'));

  // Lower-case letters are no tag.
  std::string lower = Id3v1({.title = "Song"});
  lower.replace(0, 3, "tag");
  EXPECT_EQ(Read(tag, Audio() + lower), ID3ERR_NoTag);
  EXPECT_FALSE(tag.Exists());
}

TEST(Id3v1, ShortStreamIsAReadError) {
  TID3v1Tag tag;
  EXPECT_EQ(Read(tag, std::string(100, 'x')), MP3ERR_SRead);
  EXPECT_FALSE(tag.Exists());
  // A tag block alone is enough.
  EXPECT_EQ(Read(tag, Id3v1({.title = "T"})), MP3ERR_None);
}

TEST(Id3v1, VersionsAndTrack) {
  TID3v1Tag tag;
  const std::string comment30(30, 'c');
  // v1.1: byte 125 zero, byte 126 the track.
  ASSERT_EQ(Read(tag, Audio() + Id3v1({.title = "Song",
                                       .artist = "Band",
                                       .album = "Album",
                                       .year = "1999",
                                       .comment = comment30,
                                       .track = 7,
                                       .genre = 17})),
            MP3ERR_None);
  EXPECT_TRUE(tag.Exists());
  EXPECT_EQ(tag.Version(), 1);
  EXPECT_EQ(tag.Track(), u"7");
  EXPECT_EQ(tag.Comment(), std::u16string(28, u'c'));
  EXPECT_EQ(tag.Title(), u"Song");
  EXPECT_EQ(tag.Artist(), u"Band");
  EXPECT_EQ(tag.Album(), u"Album");
  EXPECT_EQ(tag.Year(), "1999");
  EXPECT_EQ(tag.Genre(), u"Rock");

  // v1.0: a full 30-byte comment.
  ASSERT_EQ(Read(tag, Id3v1({.comment = comment30})), MP3ERR_None);
  EXPECT_EQ(tag.Version(), 0);
  EXPECT_EQ(tag.Track(), u"0");
  EXPECT_EQ(tag.Comment(), std::u16string(30, u'c'));

  // Bytes 125 and 126 both zero: still v1.0.
  ASSERT_EQ(Read(tag, Id3v1({.comment = "short"})), MP3ERR_None);
  EXPECT_EQ(tag.Version(), 0);
  EXPECT_EQ(tag.Track(), u"0");
  EXPECT_EQ(tag.Comment(), u"short");
}

TEST(Id3v1, Trimming) {
  TID3v1Tag tag;
  Read(tag, Id3v1({.title = "Abcd"}));
  EXPECT_EQ(tag.Title(), u"Abcd");
  Read(tag, Id3v1({.title = "  Abcd  "}));
  EXPECT_EQ(tag.Title(), u"Abcd");
  Read(tag, Id3v1({.title = "Abcd", .pad = ' '}));
  EXPECT_EQ(tag.Title(), u"Abcd");
  // Inner zero characters stay.
  Read(tag, Id3v1({.title = std::string("Abcd\0efg", 8)}));
  EXPECT_EQ(tag.Title(), std::u16string(u"Abcd\0efg", 8));
  // The year is kept raw, padding included.
  Read(tag, Id3v1({.year = "99", .pad = ' '}));
  EXPECT_EQ(tag.Year(), "99  ");
}

TEST(Id3v1, GenreBounds) {
  TID3v1Tag tag;
  const std::pair<uint8_t, std::u16string> cases[] = {
      {0, u"Blues"}, {17, u"Rock"}, {79, u"Hard Rock"}, {125, u"Dance Hall"}, {126, u""}, {147, u""}, {255, u""}};
  for (const auto& [index, name] : cases) {
    Read(tag, Id3v1({.genre = index}));
    EXPECT_EQ(tag.Genre(), name) << int(index);
  }
}

TEST(Id3v1, CodePageSetting) {
  TID3v1Tag tag;
  Read(tag, Id3v1({.title = "\xC0\xE1"}));
  EXPECT_EQ(tag.Title(), u"\u00C0\u00E1");  // the system page (Windows-1252)
  TCodePage cyrillic;
  cyrillic.CodePage = 1251;
  tag.SetCharCode(cyrillic);
  tag.SetAutoCorrectCodepage(true);
  EXPECT_EQ(tag.Title(), u"\u0410\u0431");
  // A page that cannot convert falls back on the system page.
  cyrillic.CodePage = 4242;
  tag.SetCharCode(cyrillic);
  EXPECT_EQ(tag.Title(), u"\u00C0\u00E1");
  // The settings survive a new read.
  Read(tag, Id3v1({.title = "\xC0"}));
  EXPECT_TRUE(tag.AutoCorrectCodepage());
  EXPECT_EQ(tag.CharCode().CodePage, 4242u);
}

TEST(Id3v1, ReadFromFile) {
  testsupport::TempDir dir;
  TID3v1Tag tag;
  EXPECT_EQ(tag.ReadFromFile(dir.file("missing.mp3")), MP3ERR_NoFile);
  EXPECT_EQ(tag.ReadFromFile(dir.write("a.mp3", Audio() + Id3v1({.artist = "X"}))), MP3ERR_None);
  EXPECT_EQ(tag.Artist(), u"X");
}

TEST(Id3Genres, ListAndStoredSpellings) {
  ASSERT_EQ(ID3Genres.size(), 148u);
  EXPECT_EQ(ID3Genres[0], u"Blues");
  EXPECT_EQ(ID3Genres[44], u"Space");
  EXPECT_EQ(ID3Genres[80], u"Folk");
  EXPECT_EQ(ID3Genres[92], u"Progessive Rock");
  EXPECT_EQ(ID3Genres[133], u"Negerunk");
  EXPECT_EQ(ID3Genres[144], u"Trash Metal");
  EXPECT_EQ(ID3Genres[147], u"Synthpop");
  EXPECT_EQ(ID3GenreIndex(u"rOCK"), 17);
  EXPECT_EQ(ID3GenreIndex(u"Polka"), 75);
  EXPECT_EQ(ID3GenreIndex(u"Thrash Metal"), -1);
}
