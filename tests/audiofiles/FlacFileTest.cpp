#include <gtest/gtest.h>

#include "AudioFiles.h"
#include "FlacFiles.h"
#include "OggFlacBuilders.h"
#include "ReadBytes.h"

using namespace oggflac;
using testsupport::Bytes;
using testsupport::TempDir;

namespace {

using FlacRead = testsupport::BytesRead<TFlacFile>;
using testsupport::ReadBytes;

std::vector<int> BlockTypes(const TFlacFile& f) {
  std::vector<int> types;
  for (const auto& b : f.MetaBlocks()) types.push_back(b->BlockType());
  return types;
}

}  // namespace

TEST(FlacFile, ReadsAllBlockKinds) {
  const std::string picture = PictureBody(3, "image/png", "Front \xC3\xA9", "PNGDATA");
  const std::vector<std::string> blocks = {
      FlacBlock(1, false, std::string(100, '\0')),
      FlacBlock(2, false, "APPLxyz"),
      Comments({"TITLE=Song", "ARTIST=Band", "ALBUM=Rec", "YEAR=2003", "TRACKNUMBER=3", "GENRE=Rock", "ISRC=X1",
                "PERFORMER=P"}),
      FlacBlock(6, false, picture),
      FlacBlock(3, false, std::string(18, '\x01')),
      FlacBlock(9, true, "reserved"),
  };
  const std::string bytes = FlacFile(blocks, 5000);
  FlacRead r;
  ReadBytes(r, bytes);
  const TFlacFile& f = r.file;
  ASSERT_EQ(r.result, FileErr_None);
  EXPECT_TRUE(f.Valid());
  EXPECT_EQ(f.FileSize(), static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(f.Samplerate(), 44100);
  EXPECT_EQ(f.Channels(), 2);
  EXPECT_EQ(f.BitsPerSample(), 16);
  EXPECT_EQ(f.Samples(), 441000);
  EXPECT_EQ(f.Duration(), 10);
  EXPECT_EQ(f.AudioOffset(), static_cast<int64_t>(bytes.size() - 5000));
  EXPECT_EQ(f.FlacOffset(), 0);
  EXPECT_EQ(f.Bitrate(), RoundToInt32(5000 * 8 / 10.0));
  EXPECT_EQ(BlockTypes(f), (std::vector<int>{1, 2, 4, 6, 3, 9}));
  EXPECT_EQ(f.MetaBlocks()[1]->Data(), "APPLxyz");
  EXPECT_EQ(f.MetaBlocks()[0]->PositionInStream(), 42);
  EXPECT_EQ(f.MetaBlocks()[1]->PositionInStream(), 42 + 104);
  EXPECT_TRUE(f.MetaBlocks()[5]->LastBlockInFile());
  EXPECT_FALSE(f.MetaBlocks()[4]->LastBlockInFile());
  EXPECT_EQ(f.Title(), u"Song");
  EXPECT_EQ(f.Artist(), u"Band");
  EXPECT_EQ(f.Album(), u"Rec");
  EXPECT_EQ(f.Year(), u"2003") << "year stands in for a missing date";
  EXPECT_EQ(f.Track(), u"3");
  EXPECT_EQ(f.Genre(), u"Rock");
  EXPECT_EQ(f.ISRC(), u"X1");
  EXPECT_EQ(f.Performer(), u"P");
  EXPECT_EQ(f.Version(), u"");
  EXPECT_EQ(f.GetPropertyByIndex(7), u"P");
  std::vector<std::u16string> names;
  f.GetAllFields(names);
  EXPECT_EQ(names.size(), 8u);
  EXPECT_EQ(f.MetaBlocks().size(), 6u) << "the comment block was there; none added";

  std::vector<TFlacPictureBlock*> pictures;
  f.GetAllPictureBlocks(pictures);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0]->PictureType(), 3u);
  EXPECT_EQ(pictures[0]->Mime(), "image/png");
  EXPECT_EQ(pictures[0]->Description(), u"Front \u00E9");
  EXPECT_EQ(pictures[0]->Width(), 300u);
  EXPECT_EQ(pictures[0]->Height(), 200u);
  EXPECT_EQ(pictures[0]->ColorDepth(), 24u);
  EXPECT_EQ(pictures[0]->NumberOfColors(), 0u);
  EXPECT_EQ(pictures[0]->PicDataSize(), 7);
}

TEST(FlacFile, BitrateFromAudioOffset) {
  // 10 s of samples, metadata ending at byte 8,192, 1,000,000 bytes in all:
  // (1000000 - 8192) * 8 / 10 = 793,446.4.
  const std::string head = "fLaC" + FlacBlock(0, false, StreamInfoBody());
  const std::string padding = FlacBlock(1, true, std::string(8192 - head.size() - 4, '\0'));
  std::string bytes = head + padding;
  ASSERT_EQ(bytes.size(), 8192u);
  bytes.resize(1000000, '\xFF');
  FlacRead r;
  ReadBytes(r, bytes);
  ASSERT_EQ(r.result, FileErr_None);
  EXPECT_EQ(r.file.AudioOffset(), 8192);
  EXPECT_EQ(r.file.Bitrate(), 793446);
}

TEST(FlacFile, DurationRoundingAndSampleCount) {
  FlacRead r;
  ReadBytes(r, FlacFile({}, 100, StreamInfoBody(44100, 1, 24, 22049)));
  EXPECT_EQ(r.result, FileErr_None);
  EXPECT_TRUE(r.file.Valid());
  EXPECT_EQ(r.file.Duration(), 0) << "fewer samples than half the rate";
  EXPECT_EQ(r.file.Bitrate(), 0);
  EXPECT_EQ(r.file.Channels(), 1);
  EXPECT_EQ(r.file.BitsPerSample(), 24);

  ReadBytes(r, FlacFile({}, 100, StreamInfoBody(8000, 8, 8, 20000)));
  EXPECT_EQ(r.file.Duration(), 2) << "2.5 s rounds to even";
  EXPECT_EQ(r.file.Channels(), 8);
  EXPECT_EQ(r.file.Samplerate(), 8000);

  ReadBytes(r, FlacFile({}, 100, StreamInfoBody(655350, 2, 32, (uint64_t(1) << 32) + 5)));
  EXPECT_EQ(r.file.Samples(), 5) << "the top nibble of the 36-bit count is ignored";
  EXPECT_EQ(r.file.Samplerate(), 655350);
  EXPECT_EQ(r.file.BitsPerSample(), 32);
}

TEST(FlacFile, FailureTable) {
  FlacRead r;
  TempDir dir;
  EXPECT_EQ(r.file.ReadFromFile(dir.file("none.flac")), FileErr_NoFile);
  EXPECT_FALSE(r.file.Valid());

  ReadBytes(r, "fLaC\0\0");
  EXPECT_EQ(r.result, FileErr_FileOpenR) << "shorter than 10 bytes";
  EXPECT_FALSE(r.file.Valid());

  ReadBytes(r, "OggS" + FlacFile({Comments({"TITLE=x"}, true)}).substr(4));
  EXPECT_EQ(r.result, FlacErr_InvalidFlacFile) << "no marker";
  EXPECT_FALSE(r.file.Valid());
  EXPECT_TRUE(r.file.MetaBlocks().empty());
  EXPECT_EQ(r.file.Samplerate(), 0);
  EXPECT_EQ(r.file.Title(), u"");

  ReadBytes(r, FlacFile({Comments({"TITLE=kept"}, true)}, 100, StreamInfoBody(44100, 2, 16, 0)));
  EXPECT_EQ(r.result, FlacErr_InvalidFlacFile) << "no samples";
  EXPECT_FALSE(r.file.Valid());
  EXPECT_EQ(r.file.Title(), u"kept");
  EXPECT_EQ(r.file.Bitrate(), 0);
  EXPECT_EQ(r.file.Duration(), 0);

  ReadBytes(r, FlacFile({Comments({"TITLE=x"}, true)}, 100, StreamInfoBody(0, 2, 16, 1000)));
  EXPECT_EQ(r.result, FlacErr_InvalidFlacFile) << "no sample rate";

  // Picture data beyond the end of the file: an exact copy falls short.
  const std::string shortPicture =
      FlacFile({Comments({"TITLE=before"}), FlacBlock(6, true, PictureBody(3, "m", "", std::string(100, 'p')))}, 0);
  ReadBytes(r, shortPicture.substr(0, shortPicture.size() - 10));
  EXPECT_EQ(r.result, FileErr_FileOpenR);
  EXPECT_TRUE(r.file.Valid()) << "validity is STREAMINFO's";
  EXPECT_EQ(r.file.Title(), u"before");
  EXPECT_EQ(r.file.AudioOffset(), 0) << "the read stopped before the offset was taken";
  EXPECT_GT(r.file.Bitrate(), 0);
}

TEST(FlacFile, StreamInfoOrInvalidBlockEndsTheWalk) {
  for (uint8_t type : {0, 127}) {
    const std::string before = "fLaC" + FlacBlock(0, false, StreamInfoBody()) + Comments({"TITLE=kept"});
    const std::string bytes =
        before + FlacBlock(type, false, "xxxx") + Comments({"TITLE=after"}, true) + std::string(10000, '\xFF');
    FlacRead r;
    ReadBytes(r, bytes);
    EXPECT_EQ(r.result, FlacErr_InvalidFlacFile) << int(type);
    EXPECT_TRUE(r.file.Valid());
    EXPECT_EQ(r.file.Title(), u"kept");
    EXPECT_EQ(BlockTypes(r.file), (std::vector<int>{4}));
    EXPECT_EQ(r.file.AudioOffset(), static_cast<int64_t>(before.size() + 4)) << "just after the header";
    EXPECT_EQ(r.file.Bitrate(), RoundToInt32((bytes.size() - before.size() - 4) * 8 / 10.0));
  }
  // Without any comment block before it, one is made.
  FlacRead r;
  ReadBytes(r, FlacFile({FlacBlock(127, true, "")}));
  EXPECT_EQ(r.result, FlacErr_InvalidFlacFile);
  EXPECT_EQ(BlockTypes(r.file), (std::vector<int>{4}));
}

TEST(FlacFile, StreamInfoFlaggedLast) {
  FlacRead r;
  ReadBytes(r, Id3v2Tag(90) + FlacFile({}, 3000));
  ASSERT_EQ(r.result, FileErr_None);
  EXPECT_EQ(r.file.FlacOffset(), 100);
  EXPECT_EQ(r.file.AudioOffset(), 142);
  EXPECT_TRUE(r.file.MetaBlocks().empty());
  EXPECT_EQ(r.file.Artist(), u"");
  EXPECT_EQ(BlockTypes(r.file), (std::vector<int>{4})) << "the first tag read adds an empty comment block";
  EXPECT_EQ(r.file.Title(), u"");
  EXPECT_EQ(r.file.MetaBlocks().size(), 1u);
}

TEST(FlacFile, TwoCommentBlocks) {
  FlacRead r;
  ReadBytes(r, FlacFile({Comments({"TITLE=first", "ALBUM=only first"}), FlacBlock(1, false, "pad"),
                         Comments({"TITLE=second"}, true)}));
  EXPECT_EQ(r.result, FileErr_None);
  EXPECT_EQ(r.file.Title(), u"second");
  EXPECT_EQ(r.file.Album(), u"");
  EXPECT_EQ(BlockTypes(r.file), (std::vector<int>{4, 1, 4}));
}

TEST(FlacFile, CommentBlockBoundsAreTheBlocks) {
  // The comment count and a comment length promise more than the block
  // holds: the comment takes its bytes from the block and audio behind it,
  // and the further comments are read from the audio (lengths of -1, empty
  // comments) until the file ends. The walk goes on at the block's end and
  // reads the block behind it.
  const std::string body = Bytes().u32le(0).u32le(1000).u32le(7).raw("TITLE=x").u32le(900).raw("GENRE=y");
  FlacRead r;
  ReadBytes(r, FlacFile({FlacBlock(4, false, body), FlacBlock(6, true, PictureBody(3, "image/jpeg", "", "J"))}));
  EXPECT_EQ(r.result, FileErr_None);
  EXPECT_EQ(r.file.Title(), u"x");
  EXPECT_EQ(r.file.Genre().substr(0, 1), u"y");
  EXPECT_NE(r.file.Genre().find(u"image/jpeg"), std::u16string::npos) << "the picture block's bytes";
  std::vector<std::u16string> names;
  r.file.GetAllFields(names);
  EXPECT_GT(names.size(), 2u);
  EXPECT_LT(names.size(), 1000u) << "the file ends before the count";
  EXPECT_EQ(r.file.GetPropertyByIndex(2), u"");
  std::vector<TFlacPictureBlock*> pictures;
  r.file.GetAllPictureBlocks(pictures);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0]->Mime(), "image/jpeg");
}

TEST(FlacFile, PictureChoice) {
  auto pic = [](uint32_t type, const std::string& data, bool last = false) {
    return FlacBlock(6, last, PictureBody(type, "image/" + std::to_string(type), "d" + data, data));
  };
  struct Case {
    std::vector<std::string> blocks;
    std::string data;
    uint32_t type;
  };
  const std::vector<Case> cases = {
      {{pic(4, "back"), pic(3, "front", true)}, "front", 3},
      {{pic(3, "front1"), pic(3, "front2", true)}, "front1", 3},
      {{pic(0, "other"), pic(4, "back", true)}, "other", 0},
      {{pic(3, "front"), pic(4, "back", true)}, "front", 3},
  };
  for (const Case& c : cases) {
    FlacRead r;
    ReadBytes(r, FlacFile(c.blocks));
    ASSERT_EQ(r.result, FileErr_None);
    TMemoryStream out;
    uint32_t type = 99;
    std::string mime;
    std::u16string description;
    EXPECT_TRUE(r.file.GetPictureStream(out, type, mime, description));
    EXPECT_EQ(out.Data(), c.data);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(mime, "image/" + std::to_string(c.type));
    EXPECT_EQ(description, u"d" + AsciiToUtf16(c.data));
  }

  // The data goes to the stream's position.
  FlacRead r;
  ReadBytes(r, FlacFile({pic(3, "XY", true)}));
  TMemoryStream out("abcdef");
  out.Seek(2);
  uint32_t type = 0;
  std::string mime;
  std::u16string description;
  ASSERT_TRUE(r.file.GetPictureStream(out, type, mime, description));
  EXPECT_EQ(out.Data(), "abXYef");
  EXPECT_EQ(out.Position(), 4);

  ReadBytes(r, FlacFile({Comments({}, true)}));
  type = 7;
  mime = "x";
  description = u"y";
  TMemoryStream none;
  EXPECT_FALSE(r.file.GetPictureStream(none, type, mime, description));
  EXPECT_EQ(type, 0u);
  EXPECT_EQ(mime, "");
  EXPECT_EQ(description, u"");
  EXPECT_EQ(none.Size(), 0);
}

TEST(FlacFile, PictureEdgeCases) {
  // Empty picture data, then a picture whose MIME length has the top bit
  // set (rejected, stepped over by its block length), then comments.
  const std::string hugeMime = Bytes().u32be(3).u32be(0x80000000).raw("image/png").zeros(20);
  const std::string hugeDescription = Bytes().u32be(3).u32be(3).raw("png").u32be(0xFFFFFFFF).raw("desc");
  FlacRead r;
  ReadBytes(r, FlacFile({FlacBlock(6, false, PictureBody(3, "image/png", "", "")), FlacBlock(6, false, hugeMime),
                         FlacBlock(6, false, hugeDescription), Comments({"TITLE=after"}, true)}));
  EXPECT_EQ(r.result, FileErr_None);
  EXPECT_EQ(r.file.Title(), u"after");
  std::vector<TFlacPictureBlock*> pictures;
  r.file.GetAllPictureBlocks(pictures);
  ASSERT_EQ(pictures.size(), 3u);
  EXPECT_TRUE(pictures[0]->IsEmpty());
  EXPECT_EQ(pictures[0]->Mime(), "image/png");
  for (int i : {1, 2}) {
    EXPECT_TRUE(pictures[i]->IsEmpty()) << i;
    EXPECT_EQ(pictures[i]->Mime(), "") << i;
    EXPECT_EQ(pictures[i]->PictureType(), 0u) << i;
  }

  // A MIME length below 2^31 but beyond the file: read what is there, then
  // the exact reads fail.
  const std::string longMime = Bytes().u32be(3).u32be(0x7FFFFFFF).raw("image/png");
  ReadBytes(r, FlacFile({FlacBlock(6, true, longMime)}, 0));
  EXPECT_EQ(r.result, FileErr_FileOpenR);
}

TEST(FlacFile, LeadingId3v2Tags) {
  FlacRead r;
  ReadBytes(r, Id3v2Tag(1000, 3) + FlacFile({Comments({"TITLE=x"}, true)}));
  EXPECT_EQ(r.result, FileErr_None);
  EXPECT_EQ(r.file.FlacOffset(), 1010);
  EXPECT_EQ(r.file.Title(), u"x");

  ReadBytes(r, Id3v2Tag(1000, 4, true) + FlacFile({Comments({"TITLE=y"}, true)}));
  EXPECT_EQ(r.result, FileErr_None);
  EXPECT_EQ(r.file.FlacOffset(), 1020) << "the footer counts";
  EXPECT_EQ(r.file.Title(), u"y");
  EXPECT_EQ(r.file.MetaBlocks()[0]->PositionInStream(), 1020 + 42);
}

TEST(FlacFile, OffsetsAreThePositionsAsTheyStand) {
  // No marker behind a leading ID3v2 tag that claims more bytes than the
  // file holds: the audio offset is where the seek went, like the FLAC
  // offset, not the file's size.
  FlacRead r;
  const std::string tag = Id3v2Tag(100, 3).substr(0, 10);  // claims 110 bytes, holds 10
  std::string claimed = Bytes().raw("ID3").u8(3).u8(0).u8(0).syncsafe(100000).str() + std::string(40, 'x');
  ReadBytes(r, claimed);
  EXPECT_EQ(r.result, FlacErr_InvalidFlacFile);
  EXPECT_FALSE(r.file.Valid());
  EXPECT_EQ(r.file.FileSize(), 50);
  EXPECT_EQ(r.file.FlacOffset(), 100010);
  EXPECT_EQ(r.file.AudioOffset(), 100010);
  ReadBytes(r, tag + "no marker here");
  EXPECT_EQ(r.result, FlacErr_InvalidFlacFile);
  EXPECT_EQ(r.file.FlacOffset(), 110);
  EXPECT_EQ(r.file.AudioOffset(), 110);
  // With the tag inside the file the failed read of the 42 header bytes
  // stops at the file's end.
  ReadBytes(r, Id3v2Tag(20, 3) + "short");
  EXPECT_EQ(r.result, FlacErr_InvalidFlacFile);
  EXPECT_EQ(r.file.AudioOffset(), 35);

  // A comment block whose length falls 4 bytes short: every comment is
  // read from the file, and the metadata still ends at the block's end as
  // its header states it.
  const std::string body = CommentFields({"TITLE=x", "ARTIST=y", "GENRE=z"});
  const std::string shortBlock = Bytes().u8(0x84).u24be(static_cast<uint32_t>(body.size() - 4)).raw(body);
  const std::string file = "fLaC" + FlacBlock(0, false, StreamInfoBody()) + shortBlock + std::string(2000, '\xFF');
  ReadBytes(r, file);
  EXPECT_EQ(r.result, FileErr_None);
  EXPECT_TRUE(r.file.Valid());
  EXPECT_EQ(r.file.Title(), u"x");
  EXPECT_EQ(r.file.Artist(), u"y");
  EXPECT_EQ(r.file.Genre(), u"z");
  EXPECT_EQ(r.file.AudioOffset(), 4 + 38 + 4 + static_cast<int64_t>(body.size()) - 4);
}

TEST(FlacFile, FileEndingInsideTheMetadata) {
  // No block flagged last and nothing behind the blocks: the walk ends at
  // the end of the file.
  const std::string noLast =
      "fLaC" + FlacBlock(0, false, StreamInfoBody()) + Comments({"TITLE=kept"}) + FlacBlock(1, false, "pad");
  FlacRead r;
  ReadBytes(r, noLast);
  EXPECT_EQ(r.result, FlacErr_InvalidFlacFile);
  EXPECT_TRUE(r.file.Valid());
  EXPECT_EQ(r.file.Title(), u"kept");
  EXPECT_EQ(BlockTypes(r.file), (std::vector<int>{4, 1}));
  EXPECT_EQ(r.file.AudioOffset(), static_cast<int64_t>(noLast.size()));

  // A block body longer than the rest of the file.
  const std::string cut = "fLaC" + FlacBlock(0, false, StreamInfoBody()) + FlacBlock(2, true, std::string(500, 'a'));
  ReadBytes(r, cut.substr(0, cut.size() - 100));
  EXPECT_EQ(r.result, FlacErr_InvalidFlacFile);
  EXPECT_EQ(r.file.MetaBlocks()[0]->Data().size(), 400u);
  ReadBytes(
      r, "fLaC" + FlacBlock(0, false, StreamInfoBody()) + FlacBlock(4, true, CommentFields({"TITLE=x"})).substr(0, 20));
  EXPECT_EQ(r.result, FlacErr_InvalidFlacFile);

  // The marker with a cut STREAMINFO.
  ReadBytes(r, "fLaC" + FlacBlock(0, false, StreamInfoBody()).substr(0, 16));
  EXPECT_EQ(r.result, FlacErr_InvalidFlacFile);
  EXPECT_FALSE(r.file.Valid());
}

TEST(FlacFile, EndlessBlockChainsAreBounded) {
  // Empty padding blocks none of which is flagged last.
  std::string bytes = "fLaC" + FlacBlock(0, false, StreamInfoBody());
  for (size_t i = 0; i < TFlacFile::kMaxMetaBlocks + 100; ++i) bytes += FlacBlock(1, false, "");
  bytes += FlacBlock(1, true, "");
  FlacRead r;
  ReadBytes(r, bytes);
  EXPECT_EQ(r.result, FlacErr_InvalidFlacFile);
  EXPECT_LE(r.file.MetaBlocks().size(), TFlacFile::kMaxMetaBlocks + 1);
}

// Files made by the reference encoder and its metadata editor.
TEST(FlacFile, RealEncoderFiles) {
  for (const char* tool : {"ffmpeg", "flac", "metaflac"})
    if (!testsupport::HaveProgram(tool)) GTEST_SKIP() << tool << " not installed";
  TempDir dir;
  const std::string wav = dir.file("s.wav");
  ASSERT_TRUE(testsupport::EncodeTone(wav, 2, 32000, 1, "-c:a pcm_s16le"));
  const std::string flac = dir.file("s.flac");
  ASSERT_TRUE(testsupport::Shell(
      "flac -s -f --padding=4096 -T 'TITLE=Caf\xC3\xA9' -T ARTIST=Band -T DATE=2010 -T TRACKNUMBER=4 -o '" + flac +
      "' '" + wav + "' 2>/dev/null"));
  const std::string png = dir.write("cover.png", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(300, 'i'));
  ASSERT_TRUE(testsupport::Shell("metaflac --import-picture-from='4|image/png|Back|16x16x24|" + png +
                                 "' --import-picture-from='3|image/png|Front|16x16x24|" + png + "' '" + flac + "'"));
  TGeneralAudioFile f(flac);
  ASSERT_EQ(f.LastError(), FileErr_None);
  const TFlacFile* fl = f.FlacFile();
  ASSERT_NE(fl, nullptr);
  EXPECT_TRUE(f.Valid());
  EXPECT_EQ(f.Samplerate(), 32000);
  EXPECT_EQ(f.Channels(), 1);
  EXPECT_EQ(fl->BitsPerSample(), 16);
  EXPECT_EQ(fl->Samples(), 64000);
  EXPECT_EQ(f.Duration(), 2);
  EXPECT_EQ(f.Title(), u"Caf\u00E9");
  EXPECT_EQ(f.Artist(), u"Band");
  EXPECT_EQ(f.Year(), u"2010");
  EXPECT_EQ(f.Track(), u"4");

  // The audio offset is where the first frame starts (sync code 0xFFF8).
  const std::string bytes = testsupport::ReadWholeFile(flac);
  ASSERT_GT(bytes.size(), static_cast<size_t>(fl->AudioOffset()) + 2);
  EXPECT_EQ(static_cast<uint8_t>(bytes[fl->AudioOffset()]), 0xFF);
  EXPECT_EQ(static_cast<uint8_t>(bytes[fl->AudioOffset() + 1]) & 0xFE, 0xF8);
  EXPECT_EQ(f.Bitrate(), RoundToInt32((bytes.size() - fl->AudioOffset()) * 8 / 2.0));

  std::vector<TFlacPictureBlock*> pictures;
  fl->GetAllPictureBlocks(pictures);
  ASSERT_EQ(pictures.size(), 2u);
  EXPECT_EQ(pictures[0]->Description(), u"Back");
  TMemoryStream out;
  uint32_t type = 0;
  std::string mime;
  std::u16string description;
  ASSERT_TRUE(fl->GetPictureStream(out, type, mime, description));
  EXPECT_EQ(type, 3u);
  EXPECT_EQ(description, u"Front");
  EXPECT_EQ(mime, "image/png");
  EXPECT_EQ(out.Data(), testsupport::ReadWholeFile(png));
}
