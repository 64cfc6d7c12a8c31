#include <gtest/gtest.h>

#include "ApeBuilders.h"
#include "Apev2Tags.h"
#include "AudioFiles.h"
#include "ReadBytes.h"
#include "TestSupport.h"

using namespace apebuild;
using testsupport::Bytes;
using testsupport::TempDir;

namespace {

// Reads one item from bytes; `position` receives the stream position after.
bool ReadItem(const std::string& bytes, TApeTagItem& item, int64_t* position = nullptr) {
  TMemoryStream stream(bytes);
  const bool ok = item.ReadFromStream(stream);
  if (position) *position = stream.Position();
  return ok;
}

std::string Audio(size_t n = 200) { return std::string(n, '\x55'); }

struct ReadTag {
  TAudioError result;
  std::unique_ptr<TBaseApeFile> file;
};

ReadTag ReadBytes(const TempDir&, const std::string& bytes) {
  auto file = std::make_unique<TBaseApeFile>();
  const TAudioError result = testsupport::ReadFromBytes(*file, bytes);
  return {result, std::move(file)};
}

}  // namespace

TEST(ApeTagItem, ReadsKeyAndValueAndStopsAfterIt) {
  const std::string bytes = ApeItem("Title", "abcd") + "NEXT";
  TApeTagItem item;
  int64_t pos = 0;
  ASSERT_TRUE(ReadItem(bytes, item, &pos));
  EXPECT_EQ(item.Key(), "Title");
  EXPECT_EQ(item.Value(), u"abcd");
  EXPECT_EQ(item.ValueSize(), 4);
  EXPECT_EQ(item.CompleteSize(), 18);
  EXPECT_EQ(pos, 18);
  EXPECT_EQ(item.ContentType(), ctText);
  EXPECT_FALSE(item.ReadOnlyFlag());

  TApeTagItem ro;
  ASSERT_TRUE(ReadItem(ApeItem("X", "y", kReadOnly | 0xF0000000u), ro));
  EXPECT_TRUE(ro.ReadOnlyFlag());
  EXPECT_EQ(ro.Flags(), kReadOnly | 0xF0000000u) << "unknown flag bits are kept";
}

TEST(ApeTagItem, KeyRules) {
  for (uint8_t bad : {0x7F, 0x80, 0xFF, 0x1F, 0x01}) {
    TApeTagItem item;
    EXPECT_FALSE(ReadItem(ApeItem(std::string("Ti") + char(bad) + "tle", "v"), item)) << int(bad);
  }
  TApeTagItem empty;
  int64_t pos = 0;
  ASSERT_TRUE(ReadItem(ApeItem("", "v"), empty, &pos));
  EXPECT_EQ(empty.Key(), "");
  EXPECT_EQ(pos, 10);

  TApeTagItem longest;
  const std::string key255(255, 'k');
  ASSERT_TRUE(ReadItem(ApeItem(key255, "v"), longest));
  EXPECT_EQ(longest.Key(), key255);

  TApeTagItem tooLong;
  EXPECT_FALSE(ReadItem(ApeItem(std::string(256, 'k'), "v"), tooLong));

  // The stream ends inside the key, or inside the fixed fields.
  TApeTagItem cut;
  EXPECT_FALSE(ReadItem(Bytes().u32le(1).u32le(0).raw("Tit"), cut));
  EXPECT_FALSE(ReadItem(Bytes().u32le(1).u16le(0), cut));

  // A key given at creation is taken only when valid.
  EXPECT_EQ(TApeTagItem("Artist").Key(), "Artist");
  EXPECT_EQ(TApeTagItem("Art\x7Fist").Key(), "");
}

TEST(ApeTagItem, ValueSizeMustFitTheStream) {
  TApeTagItem exact;
  ASSERT_TRUE(ReadItem(ApeItem("K", "12345"), exact));
  EXPECT_EQ(exact.Value(), u"12345");

  TApeTagItem beyond;
  EXPECT_FALSE(ReadItem(ApeItemRaw(6, 0, "K", "12345"), beyond));
  TApeTagItem huge;
  EXPECT_FALSE(ReadItem(ApeItemRaw(0x7FFFFFFF, kBinary, "K", "12345"), huge));
  TApeTagItem negative;
  EXPECT_FALSE(ReadItem(ApeItemRaw(-1, 0, "K", "12345"), negative));
}

TEST(ApeTagItem, ValueByContentType) {
  TApeTagItem text;
  ASSERT_TRUE(ReadItem(ApeItem("K", std::string("one\0two", 7)), text));
  EXPECT_EQ(text.Value(), std::u16string(u"one\0two", 7)) << "separators stay";

  TApeTagItem utf8;
  ASSERT_TRUE(ReadItem(ApeItem("K", "Gr\xC3\xBC\xC3\x9F\xFF"), utf8));
  EXPECT_EQ(utf8.Value(), u"Grüß\uFFFD");

  TApeTagItem external;
  ASSERT_TRUE(ReadItem(ApeItem("K", "http://x/y", kExternal), external));
  EXPECT_EQ(external.ContentType(), ctExternal);
  EXPECT_EQ(external.Value(), u"http://x/y");

  TApeTagItem binary;
  ASSERT_TRUE(ReadItem(ApeItem("K", "\x01\x02", kBinary), binary));
  EXPECT_EQ(binary.Value(), u"<Binary Data>");
  TApeTagItem reserved;
  ASSERT_TRUE(ReadItem(ApeItem("K", "text", kReserved), reserved));
  EXPECT_EQ(reserved.Value(), u"<Binary Data>");

  TMemoryStream dest;
  EXPECT_TRUE(binary.GetBinaryData(dest));
  EXPECT_EQ(dest.Data(), "\x01\x02");
  EXPECT_FALSE(reserved.GetBinaryData(dest));
  EXPECT_FALSE(text.GetBinaryData(dest));
  EXPECT_EQ(dest.Data(), "\x01\x02");
}

TEST(ApeTagItem, Pictures) {
  TApeTagItem pic;
  ASSERT_TRUE(ReadItem(ApePictureItem("Cover Art (front)", "front.jpg", "\xFF\xD8\xFF"), pic));
  TMemoryStream dest;
  std::u16string description;
  ASSERT_TRUE(pic.GetPicture(dest, description));
  EXPECT_EQ(description, u"front.jpg");
  EXPECT_EQ(dest.Data(), "\xFF\xD8\xFF");

  // Nothing after the description's terminator, no terminator, not binary.
  for (const std::string& bytes :
       {ApePictureItem("Cover Art (front)", "d", ""), ApeItem("Cover Art (front)", "nozero", kBinary),
        ApeItem("Cover Art (front)", std::string("d\0img", 5))}) {
    TApeTagItem item;
    ASSERT_TRUE(ReadItem(bytes, item));
    TMemoryStream untouched;
    std::u16string keep = u"keep";
    EXPECT_FALSE(item.GetPicture(untouched, keep));
    EXPECT_EQ(untouched.Size(), 0);
    EXPECT_EQ(keep, u"keep");
  }
}

TEST(ApeTag, HeaderItemsFooterAndId3v1) {
  TempDir dir;
  const std::string tag = ApeTag({ApeItem("Title", "Song"), ApeItem("Artist", "Band")});
  const auto r = ReadBytes(dir, Audio() + tag + Id3v1Tag());
  EXPECT_EQ(r.result, FileErr_None);
  const TBaseApeFile& f = *r.file;
  EXPECT_TRUE(f.ID3v1Present());
  EXPECT_EQ(f.ID3v1TagSize(), 128u);
  EXPECT_TRUE(f.ContainsHeader());
  EXPECT_EQ(f.Apev2TagSize(), tag.size());
  EXPECT_EQ(f.Apev2TagSize(), f.Apev2TagFooter().Size + 32);
  EXPECT_EQ(f.Offset(), tag.size() + 128);
  EXPECT_EQ(f.CombinedTagSize(), tag.size() + 128);
  EXPECT_EQ(f.FileSize(), int64_t(200 + tag.size() + 128));
  EXPECT_EQ(f.Title(), u"Song");
  EXPECT_EQ(f.Artist(), u"Band");
  EXPECT_EQ(f.Album(), u"") << "nothing comes from the ID3v1 tag";
  EXPECT_EQ(f.Apev2TagHeader().Flags, kHasHeader | kIsHeader);
  EXPECT_EQ(std::string(f.ID3v1Tag().Title, 8), "v1 title");
  EXPECT_TRUE(f.Valid() == false && f.Duration() == 0) << "the base reads no stream header";
}

TEST(ApeTag, FooterOnlyAndMissingHeader) {
  TempDir dir;
  const std::string items = ApeItem("Album", "LP");
  const auto noHeader = ReadBytes(dir, Audio() + ApeTag({items}, {.withHeader = false}));
  EXPECT_EQ(noHeader.result, FileErr_None);
  EXPECT_FALSE(noHeader.file->ContainsHeader());
  EXPECT_EQ(noHeader.file->Album(), u"LP");
  EXPECT_EQ(noHeader.file->Offset(), items.size() + 32);

  // The footer claims a header that is not there: the flag is dropped and
  // the items are read all the same.
  const std::string footer = ApeHeader(uint32_t(items.size() + 32), 1, kHasHeader);
  const auto lying = ReadBytes(dir, Audio() + items + footer + Id3v1Tag());
  EXPECT_EQ(lying.result, FileErr_None);
  EXPECT_FALSE(lying.file->ContainsHeader());
  EXPECT_EQ(lying.file->Album(), u"LP");
  EXPECT_EQ(lying.file->Apev2TagSize(), items.size() + 32);
  EXPECT_EQ(lying.file->Offset(), items.size() + 32 + 128);

  // APEv1 tags share the layout.
  const auto v1 = ReadBytes(dir, Audio() + ApeTag({items}, {.withHeader = false, .version = 1000}));
  EXPECT_EQ(v1.result, FileErr_None);
  EXPECT_EQ(v1.file->Album(), u"LP");
}

TEST(ApeTag, Id3v1DetectionAt131BytesFromTheEnd) {
  TempDir dir;
  // A tag of exactly 131 bytes: its header's "TAG" (of "APETAGEX") sits 128
  // bytes before the end.
  const std::string item = ApeItem("Genre", std::string(131 - 64 - 14, 'g'));
  const std::string tag = ApeTag({item});
  ASSERT_EQ(tag.size(), 131u);
  const auto r = ReadBytes(dir, Audio() + tag);
  EXPECT_EQ(r.result, FileErr_None);
  EXPECT_FALSE(r.file->ID3v1Present());
  EXPECT_EQ(r.file->ID3v1TagSize(), 0u);
  EXPECT_EQ(r.file->Genre(), std::u16string(131 - 64 - 14, u'g'));
}

TEST(ApeTag, NoTagAtAll) {
  TempDir dir;
  const auto r = ReadBytes(dir, Audio(300));
  EXPECT_EQ(r.result, ApeErr_NoTag);
  EXPECT_EQ(r.file->CombinedTagSize(), 0u);
  EXPECT_FALSE(r.file->ContainsHeader());
  EXPECT_TRUE(r.file->Items().empty());

  // Only an ID3v1 tag; then a file too short for any footer.
  const auto v1 = ReadBytes(dir, Audio(40) + Id3v1Tag());
  EXPECT_EQ(v1.result, ApeErr_NoTag);
  EXPECT_EQ(v1.file->CombinedTagSize(), 128u);
  const auto tiny = ReadBytes(dir, std::string("APETAGEX") + std::string(12, '\xFF'));
  EXPECT_EQ(tiny.result, ApeErr_NoTag);
  EXPECT_EQ(tiny.file->Apev2TagSize(), 0u);
}

TEST(ApeTag, KeyLookup) {
  TempDir dir;
  const auto r = ReadBytes(
      dir, Audio() + ApeTag({ApeItem("title", "lower"), ApeItem("Artist", "first"), ApeItem("ARTIST", "second"),
                             ApeItem("Subtitle", "sub"), ApeItem("Comment", "c"), ApeItem("Publicationright", "p"),
                             ApeItem("EAN/UPC", "123"), ApeItem("Cover Art (Front)", "x\0y", kBinary),
                             ApeItem("Year", "\x01\x02", kBinary)}));
  ASSERT_EQ(r.result, FileErr_None);
  const TBaseApeFile& f = *r.file;
  EXPECT_EQ(f.Title(), u"lower");
  EXPECT_EQ(f.Artist(), u"second") << "the last of two equal keys wins";
  EXPECT_EQ(f.SubTitle(), u"sub");
  EXPECT_EQ(f.Comment(), u"c");
  EXPECT_EQ(f.PublicationRight(), u"p");
  EXPECT_EQ(f.EAN(), u"123");
  EXPECT_EQ(f.Year(), u"<Binary Data>");
  EXPECT_EQ(f.GetValueByKey("Missing"), u"");

  std::vector<std::string> keys;
  f.GetAllFrames(keys);
  EXPECT_EQ(keys.size(), 9u);
  EXPECT_EQ(keys[2], "ARTIST");
  f.GetAllPictureFrames(keys);
  EXPECT_EQ(keys, std::vector<std::string>{"Cover Art (Front)"});
}

TEST(ApeTag, BinaryAndPictureLookups) {
  TempDir dir;
  const auto r = ReadBytes(
      dir, Audio() + ApeTag({ApePictureItem("Cover Art (front)", "one", "IMG1"),
                             ApePictureItem("Cover Art (back)", "two", "IMG2"), ApeItem("Blob", "B1", kBinary),
                             ApeItem("blob", "B2", kBinary), ApeItem("Text", "t")}));
  ASSERT_EQ(r.result, FileErr_None);
  const TBaseApeFile& f = *r.file;

  TMemoryStream dest;
  std::u16string description;
  ASSERT_TRUE(f.GetPicture(apt_Front, dest, description));
  EXPECT_EQ(dest.Data(), "IMG1");
  EXPECT_EQ(description, u"one");

  // Several matches deliver only the last one, as text lookups do.
  TMemoryStream any;
  ASSERT_TRUE(f.GetPicture(apt_Arbitrary, any, description));
  EXPECT_EQ(any.Data(), "IMG2");
  EXPECT_EQ(description, u"two");
  TMemoryStream blob;
  ASSERT_TRUE(f.GetBinaryDataByKey("BLOB", blob));
  EXPECT_EQ(blob.Data(), "B2");

  TMemoryStream none;
  EXPECT_FALSE(f.GetPicture(apt_Media, none, description));
  EXPECT_FALSE(f.GetBinaryDataByKey("Text", none));
  EXPECT_FALSE(f.GetBinaryDataByKey("Nope", none));
  EXPECT_EQ(none.Size(), 0);
}

TEST(ApeTag, BrokenTagsLeaveNoItems) {
  TempDir dir;
  const std::vector<std::string> items = {ApeItem("Title", "a"), ApeItem("Artist", "b")};
  const std::string cases[] = {
      // More items announced than present: the third read runs into the footer.
      Audio() + ApeTag(items, {.itemCount = 3}),
      // A bad key byte in the second item.
      Audio() + ApeTag({items[0], ApeItem("Bad\x01", "b")}),
      // A value size that reaches past the end of the file.
      Audio() + ApeTag({items[0], ApeItemRaw(100000, 0, "Artist", "b")}),
      // A negative value size.
      Audio() + ApeTag({items[0], ApeItemRaw(-5, 0, "Artist", "b")}),
      // A tag size that reaches before the start of the file, with items
      // or without, and one whose 32-bit sum with the header wraps to 16.
      Audio(10) + items[0] + ApeHeader(5000, 1, 0),
      Audio(10) + ApeHeader(5000, 0, 0),
      Audio(10) + ApeHeader(0xFFFFFFF0u, 0, kHasHeader),
  };
  for (const std::string& bytes : cases) {
    const auto r = ReadBytes(dir, bytes);
    EXPECT_EQ(r.result, ApeErr_InvalidTag);
    EXPECT_TRUE(r.file->Items().empty());
    EXPECT_EQ(r.file->Title(), u"");
    EXPECT_EQ(r.file->Apev2TagSize(), 64u) << "the rebuilt empty tag";
    EXPECT_EQ(r.file->Offset(), 0u);
    EXPECT_EQ(r.file->FileSize(), int64_t(bytes.size())) << "sizes stay";
  }

  // Counts that read no item at all.
  for (uint32_t count : {0u, 0x80000000u, 0xFFFFFFFFu}) {
    const std::string footer = ApeHeader(32 + uint32_t(items[0].size()), count, 0);
    const auto r = ReadBytes(dir, Audio() + items[0] + footer);
    EXPECT_EQ(r.result, FileErr_None) << count;
    EXPECT_TRUE(r.file->Items().empty());
  }
}

TEST(ApeTag, FileHandling) {
  TempDir dir;
  TBaseApeFile f;
  EXPECT_EQ(f.ReadFromFile(dir.file("missing.ape")), FileErr_NoFile);
  EXPECT_EQ(f.ReadFromFile(dir.write("short.ape", "MAC ")), FileErr_FileOpenR);
  EXPECT_EQ(f.ReadFromFile(dir.path().string()), FileErr_NoFile) << "a folder is no file";

  // A leading ID3v2 tag is measured; a second read starts from scratch.
  const std::string path = dir.write("id3.ape", Id3v2Tag(100) + Audio() + ApeTag({ApeItem("Title", "x")}));
  EXPECT_EQ(f.ReadFromFile(path), FileErr_None);
  EXPECT_EQ(f.ID3v2TagSize(), 110u);
  EXPECT_EQ(f.Title(), u"x");
  EXPECT_EQ(f.ReadFromFile(dir.write("plain.ape", Audio())), ApeErr_NoTag);
  EXPECT_EQ(f.ID3v2TagSize(), 0u);
  EXPECT_EQ(f.Title(), u"");

  // Writing is not supported and leaves the file alone.
  const std::string before = testsupport::ReadWholeFile(path);
  f.SetTitle(u"new");
  EXPECT_EQ(f.Title(), u"new");
  EXPECT_EQ(f.WriteToFile(path), FileErr_FileOpenRW);
  EXPECT_EQ(f.RemoveFromFile(path), FileErr_FileOpenRW);
  EXPECT_EQ(testsupport::ReadWholeFile(path), before);
}

TEST(ApeTag, FacadeHandsOutTheApeReader) {
  TempDir dir;
  const std::string tag = ApeTag({ApeItem("Title", "T"), ApeItem("Genre", "G")});
  for (const char* name : {"a.ape", "a.mac", "a.wv", "a.mpc", "a.mp+", "a.mpp", "a.ofr", "a.ofs", "a.TTA"}) {
    TGeneralAudioFile f(dir.write(name, Audio() + tag));
    ASSERT_NE(f.BaseApeFile(), nullptr) << name;
    EXPECT_EQ(f.BaseApeFile(), f.BaseAudioFile());
    EXPECT_EQ(f.Title(), u"T") << name;
    EXPECT_EQ(f.Genre(), u"G") << name;
    EXPECT_EQ(f.LastError(), FileErr_None) << name;
    EXPECT_FALSE(f.Valid()) << name;
  }
  TGeneralAudioFile tta(dir.write("b.tta", Audio()));
  EXPECT_EQ(tta.FileType(), at_TrueAudio);
  EXPECT_NE(tta.TrueAudioFile(), nullptr);
  EXPECT_EQ(tta.MonkeyFile(), nullptr);
  TGeneralAudioFile flac(dir.write("b.flac", Audio()));
  EXPECT_EQ(flac.BaseApeFile(), nullptr);
  TGeneralAudioFile missing(dir.file("none.wv"));
  EXPECT_EQ(missing.FileType(), at_WavPack);
  EXPECT_EQ(missing.LastError(), FileErr_NoFile);
}
