// Seeds for fuzz_mp3: small MPEG streams with ID3v1 and ID3v2 tags of every
// version and the frame kinds the reader decodes.
#include "Id3v2Builders.h"
#include "Mp3Builders.h"
#include "Seeds.h"

namespace {

using namespace mp3build;
using namespace std::string_literals;

std::string Audio() { return MpegFrames(FrameFields{}, 4); }

std::string RichFrames(uint8_t version) {
  const bool v2 = version == 2;
  std::string body = Id3v2TextFrame(version, v2 ? "TT2" : "TIT2", "Title") +
                     Id3v2Frame(version, v2 ? "TP1" : "TPE1", TextContent(1, u"Artist")) +
                     Id3v2Frame(version, v2 ? "TCO" : "TCON", "\0(17)Rock"s) +
                     Id3v2Frame(version, v2 ? "COM" : "COMM", CommentContent(1, "eng", u"", u"Comment")) +
                     Id3v2Frame(version, v2 ? "TXX" : "TXXX", "\x03key\0value"s) +
                     Id3v2Frame(version, v2 ? "POP" : "POPM", "a@b\0\x80\0\0\0\x01"s);
  if (v2) {
    body += Id3v2Frame(2, "PIC",
                       "\0PNG\x03"
                       "d\0\x89PNG"s);
  } else {
    body += Id3v2Frame(version, "APIC",
                       "\0image/png\0\x03"
                       "d\0\x89PNG"s) +
            Id3v2Frame(version, "WXXX", "\0\0http://x"s) + Id3v2Frame(version, "PRIV", "own\0data"s) +
            Id3v2Frame(version, "USLT", CommentContent(2, "eng", u"", u"Lyrics"));
  }
  return body;
}

const SeedSet mp3Seeds(
    "mp3", {
               Audio(),
               Audio() + Id3v1({"Title", "Artist", "Album", "2004", "Comment", 3, 17}),
               SimpleId3v2Tag(3, "Title", "Artist", 64) + Audio(),
               Id3v2Tag(2, RichFrames(2)) + Audio(),
               Id3v2Tag(3, RichFrames(3), 0, 16) + Audio() + Id3v1({"T", "A", "B", "1999", "", 0, 1}),
               Id3v2Tag(4, RichFrames(4), kTagFooter) + Audio(),
               Id3v2Tag(3, Unsynchronise(RichFrames(3)), kTagUnsync) + Audio(),
               Id3v2Tag(4, Id3v2Frame(4, "TIT2", Unsynchronise("\0\xFF\xE0x"s), 0, kV4Unsync | kV4DataLength)),
               Id3v2Tag(4, "\0\0\0\x06\x01\0"s + RichFrames(4), kTagExtended) + Audio(),
               Id3v2Tag(3, "\0\0\0\x06\0\0\0\0\0\0"s + RichFrames(3), kTagExtended) + Audio(),
               Id3v2Tag(3, Id3v2Frame(3, "TIT2", "\x01\0\0\0\x10zz"s, 0, kV3Compression | kV3Grouping)) + Audio(),
               XingFrame(FrameFields{}, 100) + Audio(),
               VbriFrame(FrameFields{}.mpeg2(), 50),
               MpegFrames(FrameFields{}.layer(2).bitrate(1).mono(), 3),
               MpegFrames(FrameFields{}.layer(1).mpeg25(), 3),
           });

}  // namespace
