#include <gtest/gtest.h>

#include "OggFlacBuilders.h"
#include "VorbisComments.h"

using oggflac::CommentFields;
using oggflac::CommentPacket;
using testsupport::Bytes;

namespace {

// Reads `block` placed behind a 5-byte prefix and followed by a trailer,
// so that positions and the block boundary are tested too.
struct Parsed {
  TVorbisComments comments;
  bool result = false;
  int64_t endPosition = 0;
};

void Parse(Parsed& p, const std::string& block, bool skipHeader, int64_t size = -2, const std::string& trailer = "") {
  TMemoryStream stream("PREFX" + block + trailer);
  stream.Seek(5);
  p.result = p.comments.ReadFromStream(stream, size == -2 ? static_cast<int64_t>(block.size()) : size, skipHeader);
  p.endPosition = stream.Position();
}

std::vector<std::u16string> Fields(const TVorbisComments& c) {
  std::vector<std::u16string> names{u"stale"};
  c.GetAllFields(names);
  return names;
}

}  // namespace

TEST(VorbisComments, ReadsPacketInStreamOrder) {
  Parsed p;
  Parse(p, CommentPacket({"TITLE=Song", "ARTIST=Band", "title=Second", "ARTIST=A=B"}, "vendor \xC3\xA9"), false);
  EXPECT_TRUE(p.result);
  EXPECT_TRUE(p.comments.ValidComment());
  EXPECT_EQ(p.comments.VendorString(), "vendor \xC3\xA9");  // kept undecoded
  EXPECT_EQ(p.comments.Header().PacketType, 3);
  EXPECT_EQ(p.comments.Count(), 4);
  EXPECT_EQ(Fields(p.comments), (std::vector<std::u16string>{u"TITLE", u"ARTIST", u"title", u"ARTIST"}));
  EXPECT_EQ(p.comments.Title(), u"Song") << "duplicates: the first wins";
  EXPECT_EQ(p.comments.Artist(), u"Band");
  EXPECT_EQ(p.comments.GetPropertyByIndex(2), u"Second");
  EXPECT_EQ(p.comments.GetPropertyByIndex(3), u"A=B") << "only the first '=' splits";
  EXPECT_EQ(p.comments.GetPropertyByIndex(-1), u"");
  EXPECT_EQ(p.comments.GetPropertyByIndex(4), u"");
  EXPECT_EQ(
      p.endPosition,
      5 + static_cast<int64_t>(
              CommentPacket({"TITLE=Song", "ARTIST=Band", "title=Second", "ARTIST=A=B"}, "vendor \xC3\xA9").size()));
}

TEST(VorbisComments, StandardFieldsAndLookupRules) {
  Parsed p;
  Parse(p,
        CommentFields({"Title=t", "VERSION=v", "album=al", "TrackNumber=3/12", "ARTIST=ar", "PERFORMER=pe",
                       "COPYRIGHT=co", "LICENSE=li", "ORGANIZATION=or", "DESCRIPTION=de", "GENRE=ge", "DATE=da",
                       "LOCATION=lo", "CONTACT=cn", "ISRC=is", "COMMENT =trailing blank", "ÄLBUM=x"}),
        true);
  const TVorbisComments& c = p.comments;
  EXPECT_TRUE(p.result) << "no framing byte is needed without a header";
  EXPECT_EQ(c.Title(), u"t");
  EXPECT_EQ(c.Version(), u"v");
  EXPECT_EQ(c.Album(), u"al");
  EXPECT_EQ(c.TrackNumber(), u"3/12") << "values are not parsed";
  EXPECT_EQ(c.Artist(), u"ar");
  EXPECT_EQ(c.Performer(), u"pe");
  EXPECT_EQ(c.Copyright(), u"co");
  EXPECT_EQ(c.License(), u"li");
  EXPECT_EQ(c.Organization(), u"or");
  EXPECT_EQ(c.Description(), u"de");
  EXPECT_EQ(c.Genre(), u"ge");
  EXPECT_EQ(c.Date(), u"da");
  EXPECT_EQ(c.Location(), u"lo");
  EXPECT_EQ(c.Contact(), u"cn");
  EXPECT_EQ(c.ISRC(), u"is");
  EXPECT_EQ(c.GetPropertyByFieldname(u"tItLe"), u"t");
  EXPECT_EQ(c.GetPropertyByFieldname(u"COMMENT"), u"") << "no trimming of names";
  EXPECT_EQ(c.GetPropertyByFieldname(u"comment "), u"trailing blank");
  EXPECT_EQ(c.GetPropertyByFieldname(u"\u00C4LBUM"), u"x") << "non-ASCII names survive";
  EXPECT_EQ(c.GetPropertyByFieldname(u"\u00E4LBUM"), u"") << "only A-Z fold";
  EXPECT_EQ(c.GetPropertyByFieldname(u"missing"), u"");
}

TEST(VorbisComments, DateFallsBackToYear) {
  Parsed p;
  Parse(p, CommentFields({"DATE=", "YEAR=1999", "DATE=2001"}), true);
  EXPECT_EQ(p.comments.Date(), u"1999") << "the first date is empty";
  Parse(p, CommentFields({"year=1998"}), true);
  EXPECT_EQ(p.comments.Date(), u"1998");
  Parse(p, CommentFields({"date=2004", "year=1998"}), true);
  EXPECT_EQ(p.comments.Date(), u"2004");
}

TEST(VorbisComments, CommentsWithoutNameOrText) {
  Parsed p;
  Parse(p, CommentFields({"no equals sign", "=value only", ""}), true);
  EXPECT_EQ(Fields(p.comments), (std::vector<std::u16string>{u"", u"", u""}));
  EXPECT_EQ(p.comments.GetPropertyByIndex(0), u"no equals sign");
  EXPECT_EQ(p.comments.GetPropertyByIndex(1), u"value only");
  EXPECT_EQ(p.comments.GetPropertyByFieldname(u""), u"no equals sign");

  TCommentVector v;
  TMemoryStream one(Bytes().u32le(5).raw("A=B=C"));
  EXPECT_TRUE(v.ReadFromStream(one));
  EXPECT_EQ(v.FieldName(), u"A");
  EXPECT_EQ(v.Value(), u"B=C");
  TMemoryStream bare(Bytes().u32le(3).raw("abc"));
  EXPECT_FALSE(v.ReadFromStream(bare));
  EXPECT_EQ(v.FieldName(), u"");
  TMemoryStream shortText(Bytes().u32le(30).raw("abc"));
  EXPECT_THROW(v.ReadFromStream(shortText), EReadError);
}

TEST(VorbisComments, Utf8Decoding) {
  Parsed p;
  Parse(p, CommentFields({"TITLE=Caf\xC3\xA9 \xF0\x9F\x8E\xB5", "ARTIST=bad \xC3 byte"}), true);
  EXPECT_EQ(p.comments.Title(), u"Caf\u00E9 \U0001F3B5");
  EXPECT_EQ(p.comments.Artist(), u"bad \uFFFD byte");
}

TEST(VorbisComments, ZeroAndNegativeLengthsConsumeNothing) {
  // Vendor length with the top bit set, then a comment of length -1 and
  // one of length 0: each takes only its length field.
  const std::string block = Bytes().u32le(0x80000000).u32le(3).u32le(0xFFFFFFFF).u32le(0).u32le(7).raw("GENRE=x");
  Parsed p;
  Parse(p, block, true);
  EXPECT_TRUE(p.result);
  EXPECT_EQ(p.comments.VendorString(), "");
  ASSERT_EQ(p.comments.Count(), 3);
  EXPECT_EQ(p.comments.GetPropertyByIndex(0), u"");
  EXPECT_EQ(p.comments.GetPropertyByIndex(1), u"");
  EXPECT_EQ(p.comments.Genre(), u"x");

  Parse(p, Bytes().u32le(0).u32le(0xFFFFFFF0), true);
  EXPECT_TRUE(p.result) << "a negative count is an empty list";
  EXPECT_EQ(p.comments.Count(), 0);
}

TEST(VorbisComments, HeaderAndFramingChecks) {
  Parsed p;
  std::string wrongType = CommentPacket({"TITLE=x"});
  wrongType[0] = 1;
  Parse(p, wrongType, false, 100, std::string(200, 'z'));
  EXPECT_FALSE(p.result);
  EXPECT_EQ(p.comments.Count(), 0);
  EXPECT_EQ(p.endPosition, 105) << "stream at P + Size";

  std::string wrongId = CommentPacket({"TITLE=x"});
  wrongId[6] = 'z';
  Parse(p, wrongId, false);
  EXPECT_FALSE(p.result);
  EXPECT_EQ(p.comments.Count(), 0);

  for (uint8_t framing : {0x00, 0x81, 0x02}) {
    Parse(p, CommentPacket({"TITLE=kept"}, "v", framing), false);
    EXPECT_FALSE(p.result) << int(framing);
    EXPECT_FALSE(p.comments.ValidComment());
    EXPECT_EQ(p.comments.Title(), u"kept") << "comments read stay queryable";
  }
  Parse(p, CommentPacket({}), false);
  EXPECT_TRUE(p.result) << "an empty list with framing byte 1 is valid";

  p.comments.Clear();
  EXPECT_EQ(std::string(p.comments.Header().ID, 6), "123456");
  EXPECT_EQ(p.comments.Header().PacketType, 0);
  EXPECT_EQ(p.comments.Count(), 0);
  EXPECT_FALSE(p.comments.ValidComment());
}

TEST(VorbisComments, StreamEndsAtBlockEndNotParseEnd) {
  Parsed p;
  const std::string block = CommentPacket({"TITLE=x"});
  Parse(p, block, false, static_cast<int64_t>(block.size()) + 50, std::string(60, 'z'));
  EXPECT_TRUE(p.result);
  EXPECT_EQ(p.endPosition, 5 + static_cast<int64_t>(block.size()) + 50);

  // A negative size leaves the stream where parsing ended.
  Parse(p, block, false, -1, std::string(60, 'z'));
  EXPECT_TRUE(p.result);
  EXPECT_EQ(p.endPosition, 5 + static_cast<int64_t>(block.size()));
}

TEST(VorbisComments, LengthsReachingPastTheBlockReadOnFromTheStream) {
  Parsed p;
  // A count of 2^31 - 1 with one comment behind it: the next length comes
  // from the trailer and promises more than the stream holds, so the parse
  // ends there with the one comment; the block is invalid.
  Parse(p, Bytes().u32le(0).u32le(0x7FFFFFFF).u32le(5).raw("A=one"), true, -2, std::string(100, 'z'));
  EXPECT_FALSE(p.result);
  EXPECT_EQ(p.comments.Count(), 1);
  EXPECT_EQ(p.endPosition, 5 + 17);

  // A comment longer than the block takes its bytes from what follows;
  // the block's size only decides where the stream is left.
  const std::string block = Bytes().u32le(0).u32le(2).u32le(7).raw("TITLE=x").u32le(40).raw("ARTIST=y");
  const std::string after = CommentFields({"ARTIST=outside"});
  Parse(p, block, true, -2, after + std::string(40, 'z'));
  EXPECT_TRUE(p.result);
  EXPECT_EQ(p.comments.Count(), 2);
  EXPECT_EQ(p.comments.Title(), u"x");
  const std::u16string artist = p.comments.Artist();
  ASSERT_EQ(artist.size(), 33u);
  EXPECT_EQ(artist.front(), u'y');
  EXPECT_EQ(artist.substr(artist.size() - 11), u"ARTIST=outs");
  EXPECT_EQ(p.endPosition, 5 + static_cast<int64_t>(block.size()));

  // The framing byte, the comments, the count, the vendor string and the
  // packet header likewise: an Ogg packet (44 bytes) whose size falls
  // short by 1 to 44 bytes still reads whole.
  const std::string twoComments = CommentPacket({"TITLE=x", "ALBUM=y"}, "vendor");
  ASSERT_EQ(twoComments.size(), 44u);
  for (int64_t shortBy : {1, 4, 12, 20, 26, 32, 44}) {
    SCOPED_TRACE(shortBy);
    const int64_t size = static_cast<int64_t>(twoComments.size()) - shortBy;
    Parse(p, twoComments, false, size, "trailer");
    EXPECT_TRUE(p.result);
    EXPECT_EQ(p.comments.VendorString(), "vendor");
    EXPECT_EQ(p.comments.Title(), u"x");
    EXPECT_EQ(p.comments.Album(), u"y");
    EXPECT_EQ(p.endPosition, 5 + size) << "stream at P + Size, not where the parse ended";
  }
  // The framing byte is read where the parse ended, not at P + Size.
  Parse(p, twoComments.substr(0, twoComments.size() - 1), false, static_cast<int64_t>(twoComments.size()) - 9,
        std::string(1, '\x00') + "\x01");
  EXPECT_FALSE(p.result) << "the byte after the last comment is 0";
  EXPECT_EQ(p.comments.Album(), u"y");

  // A vendor length beyond the stream's end.
  Parse(p, Bytes().u32le(0x7FFFFFF0).raw("abc"), true);
  EXPECT_FALSE(p.result);
  EXPECT_EQ(p.comments.VendorString(), "");

  // A missing framing byte.
  const std::string packet = CommentPacket({"TITLE=x"});
  Parse(p, packet.substr(0, packet.size() - 1), false);
  EXPECT_FALSE(p.result);
  EXPECT_EQ(p.comments.Title(), u"x");

  // A size reaching past the stream's end: the stream still goes there.
  Parse(p, packet, false, 1000);
  EXPECT_TRUE(p.result);
  EXPECT_EQ(p.endPosition, 1005);
}

TEST(VorbisComments, ManyEmptyCommentsAreBounded) {
  Bytes block;
  block.u32le(0).u32le(0x7FFFFFFF);
  for (int i = 0; i < TVorbisComments::kMaxComments + 10; ++i) block.u32le(0);
  Parsed p;
  Parse(p, block, true);
  EXPECT_FALSE(p.result);
  EXPECT_EQ(p.comments.Count(), TVorbisComments::kMaxComments);
}

TEST(VorbisComments, EachReadStartsAfresh) {
  Parsed p;
  TMemoryStream stream(CommentPacket({"TITLE=first"}, "v1") + CommentFields({"ALBUM=second"}, "v2"));
  EXPECT_TRUE(
      p.comments.ReadFromStream(stream, static_cast<int64_t>(CommentPacket({"TITLE=first"}, "v1").size()), false));
  EXPECT_TRUE(p.comments.ReadFromStream(stream, -1, true));
  EXPECT_EQ(p.comments.Title(), u"");
  EXPECT_EQ(p.comments.Album(), u"second");
  EXPECT_EQ(p.comments.VendorString(), "v2");
}

TEST(VorbisComments, SettersAndWrittenSize) {
  TVorbisComments c;
  c.SetTitle(u"T\u00E9");
  c.SetTitle(u"Tx");
  c.SetArtist(u"A");
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(c.Title(), u"Tx");
  c.SetPropertyByIndex(1, u"B");
  EXPECT_EQ(c.Artist(), u"B");
  // 7 + 4 + 0 + 4 + (4 + len "title=Tx") + (4 + len "artist=B") + 1
  EXPECT_EQ(c.GetSizeInStream(), 7 + 4 + 4 + (4 + 8) + (4 + 8) + 1);
}
