// The shared foundation: byte streams, text conversions, the integer
// conversion, the ID3v2 size helpers and the rounding rules.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "AudioFileBasics.h"
#include "ByteStreams.h"
#include "TestSupport.h"
#include "TextUtils.h"
#include "WavFiles.h"

using testsupport::Bytes;
using testsupport::TempDir;
using namespace std::string_literals;

// ---------------------------------------------------------------- streams

TEST(Streams, OrdinaryReadsReturnWhatIsAvailable) {
  TMemoryStream s("abcdef");
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "abcd");
  EXPECT_EQ(s.Read(buf, 8), 2);  // short read at the end, no error
  EXPECT_EQ(std::string(buf, 2), "ef");
  EXPECT_EQ(s.Position(), 6);
  EXPECT_EQ(s.Read(buf, 8), 0);
  EXPECT_EQ(s.Read(buf, 0), 0);
  EXPECT_EQ(s.Read(buf, -5), 0);
  EXPECT_EQ(s.Position(), 6);

  s.Seek(1);
  EXPECT_EQ(s.ReadAtMost(3), "bcd");
  EXPECT_EQ(s.ReadAtMost(100), "ef");
  EXPECT_EQ(s.ReadAtMost(100), "");
  EXPECT_EQ(s.ReadAtMost(-1), "");
}

TEST(Streams, ExactReadsRaiseWhenShort) {
  TMemoryStream s(Bytes().u32le(0x11223344).u8(0xAB).str());
  char buf[8];
  EXPECT_THROW(s.ReadBuffer(buf, 6), EReadError);
  s.Seek(0);
  EXPECT_THROW(s.ReadBuffer(buf, -1), EReadError);
  EXPECT_THROW(s.ReadBytes(-1), EReadError);
  EXPECT_THROW(s.ReadBytes(6), EReadError);
  EXPECT_EQ(s.Position(), 0);  // checked before anything is read
  // A size far beyond the stream is refused without allocating it.
  EXPECT_THROW(s.ReadBytes(std::numeric_limits<int64_t>::max()), EReadError);
  EXPECT_EQ(s.ReadBytes(5), Bytes().u32le(0x11223344).u8(0xAB).str());
  EXPECT_THROW(s.ReadU8(), EReadError);
  EXPECT_EQ(s.ReadBytes(0), "");

  s.Seek(4);
  EXPECT_THROW(s.ReadU16LE(), EReadError);
  s.Seek(2);
  EXPECT_THROW(s.ReadU32LE(), EReadError);
  s.Seek(0);
  EXPECT_THROW(s.ReadU64LE(), EReadError);
}

TEST(Streams, TypedReadsByteOrder) {
  TMemoryStream s(Bytes().raw("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C"));
  EXPECT_EQ(s.ReadU16LE(), 0x0201);
  EXPECT_EQ(s.ReadU16BE(), 0x0304);
  EXPECT_EQ(s.ReadU24BE(), 0x050607u);
  EXPECT_EQ(s.ReadU8(), 0x08);
  s.Seek(0);
  EXPECT_EQ(s.ReadU32LE(), 0x04030201u);
  EXPECT_EQ(s.ReadU32BE(), 0x05060708u);
  s.Seek(0);
  EXPECT_EQ(s.ReadU64LE(), 0x0807060504030201ull);
  TMemoryStream neg(Bytes().u32le(0xFFFFFFFE).u64le(0x8000000000000000ull));
  EXPECT_EQ(neg.ReadI32LE(), -2);
  EXPECT_EQ(neg.ReadI64LE(), std::numeric_limits<int64_t>::min());
}

TEST(Streams, SeeksPastTheEnd) {
  TMemoryStream s("abc");
  s.Seek(1000);
  EXPECT_EQ(s.Position(), 1000);
  EXPECT_EQ(s.Remaining(), 0);
  char buf[4];
  EXPECT_EQ(s.Read(buf, 4), 0);
  EXPECT_EQ(s.ReadAtMost(4), "");
  EXPECT_THROW(s.ReadU8(), EReadError);
  s.Skip(-998);
  EXPECT_EQ(s.Remaining(), 1);
  EXPECT_EQ(s.ReadU8(), 'c');
  EXPECT_THROW(s.Seek(-1), EReadError);
  EXPECT_THROW(s.Skip(-10), EReadError);
}

TEST(Streams, CopyFrom) {
  TMemoryStream source("0123456789");
  source.Seek(2);
  TMemoryStream dest("xy");
  dest.CopyFrom(source, 3);
  EXPECT_EQ(dest.Data(), "xy234");
  EXPECT_EQ(dest.Position(), 5);
  EXPECT_EQ(source.Position(), 5);

  // A source holding fewer bytes raises and appends nothing.
  EXPECT_THROW(dest.CopyFrom(source, 6), EReadError);
  EXPECT_EQ(dest.Data(), "xy234");
  EXPECT_THROW(dest.CopyFrom(source, -1), EReadError);
  source.Seek(50);
  EXPECT_THROW(dest.CopyFrom(source, 1), EReadError);
  dest.CopyFrom(source, 0);
  EXPECT_EQ(dest.Data(), "xy234");

  dest.Append("!");
  EXPECT_EQ(dest.Data(), "xy234!");
  dest.Clear();
  EXPECT_EQ(dest.Size(), 0);
  EXPECT_EQ(dest.Position(), 0);
}

TEST(Streams, FileStream) {
  TempDir dir;
  const std::string path = dir.write("f.bin", "\x01\x02\x03"s);
  {
    TFileStream f(path);
    EXPECT_EQ(f.Size(), 3);
    EXPECT_EQ(f.ReadU16BE(), 0x0102);
    char buf[4];
    EXPECT_EQ(f.Read(buf, 4), 1);
    f.Seek(100);
    EXPECT_EQ(f.Read(buf, 4), 0);
    EXPECT_THROW(f.ReadU8(), EReadError);
  }
  try {
    TFileStream missing(dir.file("missing.bin"));
    FAIL() << "opened a missing file";
  } catch (const EReadError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.bin"), std::string::npos) << e.what();
  }
  EXPECT_THROW(TFileStream{dir.path().string()}, EReadError);  // a folder
  // A named pipe is refused at once instead of waiting for a writer.
  ASSERT_EQ(::mkfifo(dir.file("pipe.wav").c_str(), 0600), 0);
  EXPECT_THROW(TFileStream{dir.file("pipe.wav")}, EReadError);

  // The stream only reads: the file is unchanged and still writable.
  { TFileStream f(path); }
  EXPECT_EQ(testsupport::ReadWholeFile(path), "\x01\x02\x03"s);
}

// The read-ahead block changes nothing that a read returns: reads of every
// size (within a block, filling its room, larger and read past it) at
// positions all over a file larger than two blocks' room, forwards and
// backwards, give the file's own bytes, and a file cut short under the
// stream reads short exactly where the file now ends.
TEST(Streams, FileStreamReadsThroughItsBlockExactlyAsTheFile) {
  TempDir dir;
  constexpr int64_t kBlock = TFileStream::kBlockSize;
  constexpr int64_t kRoom = TFileStream::kBlockCapacity;
  std::string bytes(static_cast<size_t>(2 * kRoom + 12345), '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
  const std::string path = dir.write("big.bin", bytes);
  TFileStream f(path);
  ASSERT_EQ(f.Size(), static_cast<int64_t>(bytes.size()));
  std::string buf;
  auto check = [&](int64_t at, int64_t count) {
    f.Seek(at);
    buf.assign(static_cast<size_t>(count), '\0');
    const int64_t got = f.Read(buf.data(), count);
    const int64_t want = std::clamp<int64_t>(static_cast<int64_t>(bytes.size()) - at, 0, count);
    ASSERT_EQ(got, want) << "at " << at << " count " << count;
    EXPECT_EQ(buf.substr(0, static_cast<size_t>(got)),
              bytes.substr(static_cast<size_t>(std::min<int64_t>(at, f.Size())), static_cast<size_t>(got)))
        << "at " << at << " count " << count;
    EXPECT_EQ(f.Position(), at + got);
  };
  for (int64_t count :
       {int64_t{1}, int64_t{4}, int64_t{1000}, kBlock - 1, kBlock, kBlock + 1, kRoom, kRoom + 1, 3 * kRoom}) {
    for (int64_t at : {int64_t{0}, kBlock - 2, kBlock, 2 * kBlock - 1, f.Size() - 128, f.Size() - 1, f.Size()})
      check(at, count);
    for (int64_t at = f.Size() - 10; at > 0; at -= 7919) check(at, count);  // backwards, as tag scans go
  }
  // Cut short under an open stream: a read that reaches past the new end
  // returns what is there, an exact one fails.
  TFileStream cut(path);
  ASSERT_EQ(::truncate(path.c_str(), kBlock + 100), 0);
  cut.Seek(kBlock + 50);
  buf.assign(200, '\0');
  EXPECT_EQ(cut.Read(buf.data(), 200), 50);
  EXPECT_EQ(buf.substr(0, 50), bytes.substr(static_cast<size_t>(kBlock + 50), 50));
  cut.Seek(2 * kBlock);
  EXPECT_THROW(cut.ReadU32LE(), EReadError);
  buf.assign(static_cast<size_t>(3 * kRoom), '\0');
  cut.Seek(10);
  EXPECT_EQ(cut.Read(buf.data(), 3 * kRoom), kBlock + 90) << "a read larger than a block";
  EXPECT_EQ(buf.substr(0, static_cast<size_t>(kBlock + 90)), bytes.substr(10, static_cast<size_t>(kBlock + 90)));
}

// What a name that does not open stands for decides the answer: nothing
// there (or a folder) is FileErr_NoFile, a file that cannot be read is
// FileErr_FileOpenR.
TEST(Streams, ReadFromFileOnNamesThatDoNotOpen) {
  TempDir dir;
  const std::string file = dir.write("a.wav", "RIFF");
  std::filesystem::create_symlink(dir.file("gone.wav"), dir.file("dangling.wav"));
  ASSERT_EQ(::mkfifo(dir.file("pipe.wav").c_str(), 0600), 0);
  struct Case {
    std::string name;
    TAudioError result;
  };
  for (const Case& c :
       {Case{dir.file("missing.wav"), FileErr_NoFile}, Case{dir.path().string(), FileErr_NoFile},
        Case{dir.file("dangling.wav"), FileErr_NoFile}, Case{file + "/x.wav", FileErr_NoFile}, Case{"", FileErr_NoFile},
        Case{dir.file("pipe.wav"), FileErr_FileOpenR}, Case{file, FileErr_None}}) {
    Twavfile reader;
    EXPECT_EQ(reader.ReadFromFile(c.name), c.result) << c.name;
  }
}

TEST(Streams, AudioFileExists) {
  TempDir dir;
  const std::string file = dir.write("a.mp3", "x");
  EXPECT_TRUE(AudioFileExists(file));
  EXPECT_FALSE(AudioFileExists(dir.file("b.mp3")));
  EXPECT_FALSE(AudioFileExists(dir.path().string()));
  EXPECT_FALSE(AudioFileExists(""));
  std::filesystem::create_symlink(file, dir.file("link.mp3"));
  EXPECT_TRUE(AudioFileExists(dir.file("link.mp3")));
  std::filesystem::create_symlink(dir.file("gone.mp3"), dir.file("dangling.mp3"));
  EXPECT_FALSE(AudioFileExists(dir.file("dangling.mp3")));
}

// ---------------------------------------------------------------- ID3v2 size

namespace {
uint32_t Id3Size(const std::string& bytes, int64_t startAt = 0) {
  TMemoryStream s(bytes);
  s.Seek(startAt);
  const uint32_t size = GetID3v2Size(s);
  EXPECT_EQ(s.Position(), 10);
  return size;
}
std::string Id3Header(std::string_view magic, uint8_t major, uint8_t flags, std::string_view sizeBytes) {
  return Bytes().raw(magic).u8(major).u8(0).u8(flags).raw(sizeBytes).zeros(20).str();
}
}  // namespace

TEST(Id3v2Size, WorkedExamples) {
  const std::string size257 = "\x00\x00\x02\x01"s;
  EXPECT_EQ(Id3Size(Id3Header("ID3", 3, 0, size257)), 267u);
  EXPECT_EQ(Id3Size(Id3Header("ID3", 4, 0x10, size257)), 277u);  // v2.4 footer
  EXPECT_EQ(Id3Size(Id3Header("ID3", 3, 0x10, size257)), 267u);  // no footer before v2.4
  EXPECT_EQ(Id3Size(Id3Header("ID3", 4, 0xEF, size257)), 267u);
  EXPECT_EQ(Id3Size(Id3Header("ID3", 2, 0, size257)), 267u);
  EXPECT_EQ(Id3Size(Id3Header("ID3", 5, 0, size257)), 0u);
  EXPECT_EQ(Id3Size(Id3Header("ID3", 1, 0, size257)), 0u);
  EXPECT_EQ(Id3Size(Id3Header("id3", 3, 0, size257)), 0u);
  EXPECT_EQ(Id3Size(Id3Header("TAG", 3, 0, size257)), 0u);
  EXPECT_EQ(Id3Size(Id3Header("ID3", 3, 0, "\x00\x00\x00\x80"s)), 138u);
  EXPECT_EQ(Id3Size(Id3Header("ID3", 4, 0, "\x7F\x7F\x7F\x7F"s)), 0x0FFFFFFFu + 10);
  // The header is always taken from the start of the stream.
  EXPECT_EQ(Id3Size(Id3Header("ID3", 3, 0, size257), 7), 267u);

  TMemoryStream shortStream("ID3\x03\x00\x00\x00\x00\x02"s);
  EXPECT_THROW(GetID3v2Size(shortStream), EReadError);
}

TEST(Id3v2Size, SyncSafeToInteger) {
  const uint8_t a[4] = {0x00, 0x00, 0x02, 0x01};
  EXPECT_EQ(SyncSafeToInteger(a), 257u);
  const uint8_t b[4] = {0x00, 0x00, 0x00, 0x80};
  EXPECT_EQ(SyncSafeToInteger(b), 128u);  // top bit kept: overlaps the next group
  const uint8_t c[4] = {0x7F, 0x7F, 0x7F, 0x7F};
  EXPECT_EQ(SyncSafeToInteger(c), 0x0FFFFFFFu);
  const uint8_t d[4] = {0x01, 0x00, 0x00, 0x00};
  EXPECT_EQ(SyncSafeToInteger(d), 1u << 21);
  const uint8_t e[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(SyncSafeToInteger(e), (0xFFu << 21) | (0xFFu << 14) | (0xFFu << 7) | 0xFFu);
}

// ---------------------------------------------------------------- text

namespace {
// Runs of U+FFFD collapsed into one, so that checks do not depend on how
// many replacement characters one malformed sequence becomes.
std::u16string Collapsed(std::u16string_view s) {
  std::u16string out;
  for (char16_t c : s)
    if (!(c == 0xFFFD && !out.empty() && out.back() == 0xFFFD)) out.push_back(c);
  return out;
}
}  // namespace

TEST(Text, Utf8RoundTrip) {
  const std::u16string text = u"A\u00E9\u4E2D\U0001F600";
  const std::string utf8 = "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
  EXPECT_EQ(Utf16ToUtf8(text), utf8);
  EXPECT_EQ(Utf8ToUtf16(utf8), text);
  std::u16string strict;
  EXPECT_TRUE(TryUtf8ToUtf16(utf8, strict));
  EXPECT_EQ(strict, text);
  EXPECT_EQ(Utf8ToUtf16(""), u"");
  EXPECT_EQ(Utf8ToUtf16("a\0b"s), u"a\0b"s);
  EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
  EXPECT_EQ(Utf8ToUtf16("\xEF\xBB\xBFx"), u"\uFEFFx");  // a BOM is just a character
}

TEST(Text, MalformedUtf8) {
  struct Case {
    const char* what;
    std::string bytes;
    std::u16string expected;  // after collapsing replacement runs
  };
  const std::vector<Case> cases = {
      {"lone continuation byte", "a\x80z", u"a\uFFFDz"},
      {"overlong NUL, 2 bytes", "a\xC0\x80z", u"a\uFFFDz"},
      {"overlong slash, 2 bytes", "a\xC1\xAFz", u"a\uFFFDz"},
      {"overlong NUL, 3 bytes", "a\xE0\x80\x80z", u"a\uFFFDz"},
      {"overlong, 4 bytes", "a\xF0\x80\x80\xAFz", u"a\uFFFDz"},
      {"encoded high surrogate", "a\xED\xA0\x80z", u"a\uFFFDz"},
      {"encoded low surrogate", "a\xED\xBF\xBFz", u"a\uFFFDz"},
      {"encoded surrogate pair", "a\xED\xA0\xBD\xED\xB8\x80z", u"a\uFFFDz"},
      {"beyond U+10FFFF", "a\xF4\x90\x80\x80z", u"a\uFFFDz"},
      {"F5 lead byte", "a\xF5\x80\x80\x80z", u"a\uFFFDz"},
      {"FE and FF", "a\xFE\xFFz", u"a\uFFFDz"},
      {"sequence cut by ASCII", "a\xE4\xB8z", u"a\uFFFDz"},
      {"sequence cut by a new lead byte", "a\xE4\xC3\xA9", u"a\uFFFD\u00E9"},
      {"sequence cut by the end", "a\xF0\x9F\x98", u"a\uFFFD"},
      {"Latin-1 text", "caf\xE9 ol\xE9", u"caf\uFFFD ol\uFFFD"},
  };
  for (const Case& c : cases) {
    const std::u16string decoded = Utf8ToUtf16(c.bytes);
    EXPECT_EQ(Collapsed(decoded), c.expected) << c.what;
    for (char16_t ch : decoded) EXPECT_FALSE(ch >= 0xD800 && ch <= 0xDFFF) << c.what;
    std::u16string strict = u"stale";
    EXPECT_FALSE(TryUtf8ToUtf16(c.bytes, strict)) << c.what;
  }
}

TEST(Text, Utf16ToUtf8ReplacesLoneSurrogates) {
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800"), "a\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(u"\xDC00z"), "\xEF\xBF\xBDz");
  EXPECT_EQ(Utf16ToUtf8(u"\xD800z"), "\xEF\xBF\xBDz");
  EXPECT_EQ(Utf16ToUtf8(u"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // reversed pair
  EXPECT_EQ(Utf16ToUtf8(u"\xD800\xD800\xDC00"), "\xEF\xBF\xBD\xF0\x90\x80\x80");
  EXPECT_EQ(Utf16ToUtf8(u"\x7F\x80\x7FF\x800\xFFFF"), "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF");
  EXPECT_EQ(Utf16ToUtf8(u"a\0b"s), "a\0b"s);
}

TEST(Text, Windows1252) {
  // The 0x80-0x9F block, in byte order; the five bytes the page leaves
  // undefined come through as the C1 control of the same number.
  const std::u16string expected =
      u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D\u008F"
      u"\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u009D\u017E\u0178";
  std::string high;
  for (int b = 0x80; b <= 0x9F; ++b) high.push_back(static_cast<char>(b));
  EXPECT_EQ(CodePageToUtf16(high, 1252), expected);
  EXPECT_EQ(AnsiToUtf16(high), expected);
  EXPECT_EQ(CodePageToUtf16(high, 0), expected);
  EXPECT_EQ(Utf16ToAnsi(expected), high);  // and back, byte for byte

  std::string all;
  for (int b = 1; b <= 0xFF; ++b) all.push_back(static_cast<char>(b));
  const std::u16string decoded = AnsiToUtf16(all);
  ASSERT_EQ(decoded.size(), all.size());
  for (int b = 1; b <= 0xFF; ++b)
    if (b < 0x80 || b >= 0xA0) {
      EXPECT_EQ(decoded[b - 1], static_cast<char16_t>(b)) << b;
    }
  EXPECT_EQ(Utf16ToAnsi(decoded), all);

  EXPECT_EQ(AnsiToUtf16("a\0b"s), u"a\0b"s);
  EXPECT_EQ(Utf16ToAnsi(u"\u4E2D\U0001F600x"), "???x");
  EXPECT_EQ(AnsiToUtf16(""), u"");
}

TEST(Text, OtherCodePages) {
  EXPECT_EQ(CodePageToUtf16("\xC0\xE0", 1251), u"\u0410\u0430");  // Cyrillic
  EXPECT_EQ(CodePageToUtf16("\xE4", 1250), u"\u00E4");
  EXPECT_EQ(CodePageToUtf16("\xC3\xA9", 65001), u"\u00E9");
  EXPECT_EQ(CodePageToUtf16("abc", 99999), u"");  // unknown page
  EXPECT_EQ(CodePageToUtf16("abc", 12345), u"");
  EXPECT_EQ(CodePageToUtf16("abc", 99999), u"");  // still unknown the second time
}

TEST(Text, SmallHelpers) {
  EXPECT_EQ(Trim(u"\0 \t x y \r\n\0"s), u"x y");
  EXPECT_EQ(Trim(u" \u00A0x\u00A0 "), u"\u00A0x\u00A0");  // only codes up to 32
  EXPECT_EQ(Trim(u"   "), u"");
  EXPECT_EQ(TrimLeft(u"  x "), u"x ");
  EXPECT_EQ(TrimRight(u"  x "), u"  x");
  EXPECT_EQ(TrimBytes("\x01 x\x20"), "x");
  EXPECT_TRUE(SameText(u"Artist", u"aRTIST"));
  EXPECT_FALSE(SameText(u"\u00C9", u"\u00E9"));  // ASCII letters only
  EXPECT_FALSE(SameText(u"abc", u"abcd"));
  EXPECT_TRUE(SameText("WM/Year", "wm/YEAR"));
  EXPECT_EQ(UpperCase(u"wm/tracknumber \u00E9"), u"WM/TRACKNUMBER \u00E9");
  EXPECT_EQ(LowerCase(std::string_view(".MP3")), ".mp3");
  EXPECT_EQ(BytesToUtf16("\xFF\x80"), u"\u00FF\u0080");
  EXPECT_EQ(Utf16ToBytes(u"\u00FF\u0100"), "\xFF?");
  EXPECT_EQ(IntToStr(-42), u"-42");
  EXPECT_EQ(IntToStr(4294967295), u"4294967295");
}

// ---------------------------------------------------------------- integers

TEST(IntegerConversion, Accepted) {
  struct Case {
    const char* text;
    int32_t value;
  };
  for (const Case& c : {
           Case{"0", 0},
           Case{"42", 42},
           Case{"   42", 42},
           Case{"+42", 42},
           Case{"-42", -42},
           Case{"  -0", 0},
           Case{"007", 7},
           Case{"2147483647", 2147483647},
           Case{"-2147483648", std::numeric_limits<int32_t>::min()},
           Case{"000000000002147483647", 2147483647},
           Case{"$1F", 31},
           Case{"x1f", 31},
           Case{"X1F", 31},
           Case{"0x1F", 31},
           Case{"0X1f", 31},
           Case{"-$10", -16},
           Case{" +0x10", 16},
           Case{"$7FFFFFFF", 2147483647},
           Case{"$FFFFFFFF", -1},  // hexadecimal digits give the 32-bit pattern
           Case{"$80000000", std::numeric_limits<int32_t>::min()},
           Case{"-$80000000", std::numeric_limits<int32_t>::min()},
           Case{"$000000001", 1},
       }) {
    int32_t v = 12345;
    EXPECT_TRUE(TryStrToInt(std::string_view(c.text), v)) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
    EXPECT_EQ(StrToInt(AsciiToUtf16(c.text)), c.value) << c.text;
  }
}

TEST(IntegerConversion, Rejected) {
  for (const char* text : {"",
                           " ",
                           "-",
                           "+",
                           "$",
                           "x",
                           "0x",
                           "-0x",
                           "12 ",
                           "12\r",
                           "1 2",
                           "12a",
                           "a12",
                           "--5",
                           "+-5",
                           "- 5",
                           "$G",
                           "0x1G",
                           "1.0",
                           "1e3",
                           "2147483648",
                           "-2147483649",
                           "99999999999999999999",
                           "$100000000",
                           "0x0x1",
                           "٣"}) {
    int32_t v = 12345;
    EXPECT_FALSE(TryStrToInt(std::string_view(text), v)) << text;
    EXPECT_FALSE(TryStrToInt(Utf8ToUtf16(text), v)) << text;
  }
  int32_t unused;
  EXPECT_FALSE(TryStrToInt(std::u16string_view(u"\uFF11"), unused));  // full-width digit

  try {
    StrToInt(std::string_view("12 apples"));
    FAIL() << "converted";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'12 apples' is not a valid integer value");
  }
  try {
    StrToInt(u"");
    FAIL() << "converted";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'' is not a valid integer value");
  }
  try {
    StrToInt(u"caf\u00E9");
    FAIL() << "converted";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'caf\xC3\xA9' is not a valid integer value");
  }
}

// ---------------------------------------------------------------- rounding

TEST(Rounding, HalvesGoToEven) {
  EXPECT_EQ(RoundHalfEven(0.5), 0.0);
  EXPECT_EQ(RoundHalfEven(1.5), 2.0);
  EXPECT_EQ(RoundHalfEven(2.5), 2.0);
  EXPECT_EQ(RoundHalfEven(62.5), 62.0);
  EXPECT_EQ(RoundHalfEven(-0.5), 0.0);
  EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
  EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
  EXPECT_EQ(RoundHalfEven(2.5000001), 3.0);
  EXPECT_EQ(RoundHalfEven(2.4999999), 2.0);
  EXPECT_TRUE(std::isnan(RoundHalfEven(std::nan(""))));
  EXPECT_EQ(RoundHalfEven(INFINITY), INFINITY);

  EXPECT_EQ(RoundToInt32(62.5), 62);
  EXPECT_EQ(RoundToInt32(63.5), 64);
  EXPECT_EQ(RoundToInt32(-3.5), -4);
  EXPECT_EQ(RoundToInt32(2147483646.5), 2147483646);
  EXPECT_EQ(RoundToInt32(2147483647.5), 0);  // rounds out of range
  EXPECT_EQ(RoundToInt64(4503599627370495.5), 4503599627370496);
}

TEST(Rounding, ConversionsToFields) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double v : {nan, inf, -inf, 2147483648.0, -2147483649.0, 1e300}) {
    EXPECT_EQ(TruncToInt32(v), 0) << v;
    EXPECT_EQ(RoundToInt32(v), 0) << v;
  }
  EXPECT_EQ(TruncToInt32(2.9), 2);
  EXPECT_EQ(TruncToInt32(-2.9), -2);
  EXPECT_EQ(TruncToInt32(0.5), 0);
  EXPECT_EQ(TruncToInt32(2147483647.9), 2147483647);
  EXPECT_EQ(TruncToInt32(-2147483648.9), std::numeric_limits<int32_t>::min());
  // A zero divisor gives an infinity or NaN, and so 0.
  const double zero = 0.0;
  EXPECT_EQ(TruncToInt32(8000.0 / zero), 0);
  EXPECT_EQ(RoundToInt32(zero / zero), 0);

  EXPECT_EQ(TruncToInt64(nan), 0);
  EXPECT_EQ(TruncToInt64(9223372036854775808.0), 0);
  EXPECT_EQ(TruncToInt64(-9223372036854775808.0), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(TruncToInt64(1e15 + 0.5), 1000000000000000);
}
