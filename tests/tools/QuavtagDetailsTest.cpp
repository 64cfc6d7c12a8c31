// quavtag's "Details" object of every file type, as a user of its output
// sees it: files made by the test builders, read by the built program.
#include <gtest/gtest.h>

#include <filesystem>

#include "ApeBuilders.h"
#include "ApeStreamBuilders.h"
#include "Id3v2Builders.h"
#include "MiniJson.h"
#include "Mp3Builders.h"
#include "OggFlacBuilders.h"
#include "RiffAsfBuilders.h"
#include "TestSupport.h"

namespace flac_details {

using namespace oggflac;
using testsupport::TempDir;

// quavtag's Details for both formats, as a user of its output sees them.
TEST(QuavtagDetails, FlacAndOgg) {
  const std::string quavtag = testsupport::BuiltProgram("tools/quavtag");
  ASSERT_TRUE(std::filesystem::exists(quavtag)) << quavtag;
  TempDir dir;
  const std::string flac =
      dir.write("a.flac", FlacFile({Comments({"TITLE=T", "COMMENT=c=d", "noname"}),
                                    FlacBlock(6, true, PictureBody(3, "image/\xE9", "D", "1234"))}));
  const std::string ogg = dir.write("a.ogg", OggVorbisFile());
  const auto run = testsupport::Run({quavtag, flac, ogg});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto lines = testsupport::SplitLines(run.out);
  ASSERT_EQ(lines.size(), 2u);

  const auto f = testsupport::ParseJson(lines[0]);
  EXPECT_EQ(f["FileType"].string, "at_Flac");
  EXPECT_EQ(f["Title"].string, "T");
  const auto& fd = f["Details"];
  for (const char* key :
       {"Version", "Performer", "Copyright", "License", "Organization", "Description", "Location", "Contact", "ISRC",
        "Fields", "BitsPerSample", "Samples", "AudioOffset", "FlacOffset", "Blocks", "Pictures"})
    EXPECT_TRUE(fd.has(key)) << key;
  EXPECT_EQ(fd["Samples"].number, 441000);
  EXPECT_EQ(fd["BitsPerSample"].number, 16);
  EXPECT_EQ(fd["FlacOffset"].number, 0);
  ASSERT_EQ(fd["Fields"].items.size(), 3u);
  EXPECT_EQ(fd["Fields"][1][0].string, "COMMENT");
  EXPECT_EQ(fd["Fields"][1][1].string, "c=d");
  EXPECT_EQ(fd["Fields"][2][0].string, "");
  EXPECT_EQ(fd["Fields"][2][1].string, "noname");
  ASSERT_EQ(fd["Blocks"].items.size(), 2u);
  EXPECT_EQ(fd["Blocks"][0].number, 4);
  EXPECT_EQ(fd["Blocks"][1].number, 6);
  ASSERT_EQ(fd["Pictures"].items.size(), 1u);
  const auto& p = fd["Pictures"][0];
  EXPECT_EQ(p.keys(), (std::vector<std::string>{"PictureType", "Mime", "Description", "Width", "Height", "ColorDepth",
                                                "NumberOfColors", "Size"}));
  EXPECT_EQ(p["Mime"].string, "image/\xC3\xA9") << "raw bytes shown one for one";
  EXPECT_EQ(p["Size"].number, 4);
  EXPECT_EQ(p["Width"].number, 300);

  const auto o = testsupport::ParseJson(lines[1]);
  EXPECT_EQ(o["FileType"].string, "at_Ogg");
  EXPECT_EQ(o["Duration"].number, 10);
  const auto& od = o["Details"];
  for (const char* key :
       {"Samples", "BitRateNominal", "ValidComment", "VendorString", "Version", "Performer", "Copyright", "License",
        "Organization", "Description", "Location", "Contact", "ISRC", "Fields"})
    EXPECT_TRUE(od.has(key)) << key;
  EXPECT_EQ(od["Samples"].number, 441000);
  EXPECT_EQ(od["BitRateNominal"].number, 128);
  EXPECT_TRUE(od["ValidComment"].boolean);
  EXPECT_EQ(od["VendorString"].string, "quav test");
  ASSERT_EQ(od["Fields"].items.size(), 6u);
  EXPECT_EQ(od["Fields"][0][0].string, "TITLE");
  EXPECT_EQ(od["Fields"][0][1].string, "Song");
}

}  // namespace flac_details

namespace mp3_details {

using namespace mp3build;
using testsupport::TempDir;

// 400 frames of 128 kbit/s at 44100 Hz: 166800 bytes, 10 s.
std::string Audio() { return MpegFrames(FrameFields(), 400); }

TEST(QuavtagDetails, Mp3) {
  const std::string quavtag = testsupport::BuiltProgram("tools/quavtag");
  ASSERT_TRUE(std::filesystem::exists(quavtag)) << quavtag;
  TempDir dir;
  const std::string path = dir.write(
      "q.mp3",
      Id3v2Tag(3, Id3v2TextFrame(3, "TIT2", "Song") + Id3v2Frame(3, "COMM", CommentContent(0, "eng", u"", u"Hi"))) +
          Audio() + Id3v1({.title = "Old", .year = "19"}));
  const testsupport::RunResult r = testsupport::Run({quavtag, path});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const testsupport::JsonValue line = testsupport::ParseJson(r.out);
  const testsupport::JsonValue& d = line["Details"];
  using Keys = std::vector<std::string>;
  EXPECT_EQ(d.keys(), (Keys{"Comment", "ID3v1TagSize", "ID3v2TagSize", "ID3v1", "ID3v2", "MpegInfo"}));
  EXPECT_EQ(d["Comment"].string, "Hi");
  EXPECT_EQ(d["ID3v1TagSize"].number, 128);
  EXPECT_EQ(d["ID3v1"].keys(),
            (Keys{"Exists", "Version", "Title", "Artist", "Album", "Comment", "Genre", "Track", "Year"}));
  EXPECT_EQ(d["ID3v1"]["Title"].string, "Old");
  EXPECT_EQ(d["ID3v1"]["Year"].string, std::string("19\0\0", 4));  // raw bytes
  EXPECT_EQ(d["ID3v2"].keys(),
            (Keys{"Exists",     "Version",        "Size",        "PaddingSize",     "UsePadding",
                  "FlgUnsynch", "FlgCompression", "FlgExtended", "FlgExperimental", "FlgFooterPresent",
                  "FlgUnknown", "Title",          "Artist",      "Album",           "Year",
                  "Track",      "Genre",          "Comment",     "Lyrics",          "Frames"}));
  EXPECT_EQ(d["ID3v2"]["Version"]["Major"].number, 3);
  const testsupport::JsonValue& frames = d["ID3v2"]["Frames"];
  ASSERT_EQ(frames.items.size(), 2u);
  EXPECT_EQ(frames[0].keys(), (Keys{"ID", "FrameID", "FrameType", "FrameTypeDescription", "DataSize", "Text"}));
  EXPECT_EQ(frames[0]["FrameID"].string, "IDv2_TITEL");
  EXPECT_EQ(frames[0]["Text"].string, "Song");
  EXPECT_EQ(frames[1]["FrameType"].string, "FT_CommentFrame");
  EXPECT_EQ(frames[1]["Text"].string, "");  // only text frames show text
  EXPECT_EQ(d["MpegInfo"].keys(),
            (Keys{"Valid", "Filesize", "FirstHeaderPosition", "Version", "Layer", "Protection", "Bitrate", "Samplerate",
                  "Channelmode", "Extension", "Copyright", "Original", "Emphasis", "Frames", "Dauer", "Vbr"}));
  EXPECT_EQ(d["MpegInfo"]["Bitrate"].number, 128);
  EXPECT_EQ(line["Year"].string, "19");
}

}  // namespace mp3_details

namespace wv_details {

using namespace apebuild;
using testsupport::TempDir;

TEST(QuavtagDetails, WavPack) {
  TempDir dir;
  std::string bytes = WvBlockHeader(441000, WvRateIndex(10)) + "\x65\x02\x08";
  bytes.resize(60000, '\x11');
  const std::string path = dir.write("d.wv", bytes + ApeTag({ApeItem("Artist", "Q"), ApeItem("Pic", "x", kBinary)}));
  const auto run = testsupport::Run({testsupport::BuiltProgram("tools/quavtag"), path});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (const char* key : {"\"Encoder\":\"lossless (high)\"", "\"ChannelMode\":\"Stereo\"", "\"Version\":4",
                          "\"Apev2TagSize\":", "\"Items\":[{\"Key\":\"Artist\",\"ContentType\":\"ctText\"",
                          "\"Value\":\"<Binary Data>\"", "\"Ratio\":"})
    EXPECT_NE(run.out.find(key), std::string::npos) << key << "\n" << run.out;
}

}  // namespace wv_details

namespace mpc_details {

using apestream::MpcSV7Header;
using testsupport::TempDir;

TEST(QuavtagDetails, MusePack) {
  TempDir dir;
  const std::string path = dir.write("d.mpc", MpcSV7Header(11484).str() + std::string(5000, '\0') +
                                                  apebuild::ApeTag({apebuild::ApeItem("Title", "T")}));
  const auto run = testsupport::Run({testsupport::BuiltProgram("tools/quavtag"), path});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const testsupport::JsonValue details = testsupport::ParseJson(run.out)["Details"];
  EXPECT_EQ(details.keys(), (std::vector<std::string>{"ContainsHeader", "ID3v1Present", "Apev2TagSize", "ID3v1TagSize",
                                                      "ID3v2TagSize", "CombinedTagSize", "Comment", "Items",
                                                      "StreamVersion", "VersionString", "ChannelMode", "ChannelModeID",
                                                      "FrameCount", "SampleCount", "Ratio", "IsCorrupted"}));
  EXPECT_EQ(details["StreamVersion"].number, 7);
  EXPECT_EQ(details["VersionString"].string, "7.0");
  EXPECT_EQ(details["ChannelMode"].string, "Joint Stereo");
  EXPECT_EQ(details["FrameCount"].number, 11484);
  EXPECT_TRUE(details["IsCorrupted"].boolean);  // 5 kB over 300 s
  EXPECT_EQ(details["Items"][0]["Key"].string, "Title");
}

}  // namespace mpc_details

namespace ofr_details {

using apestream::OfrHeader;
using apestream::WriteExtended;
using testsupport::TempDir;

TEST(QuavtagDetails, OptimFrog) {
  TempDir dir;
  const std::string path = WriteExtended(dir, "d.ofr", OfrHeader(), 100000);
  const auto run = testsupport::Run({testsupport::BuiltProgram("tools/quavtag"), path});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const testsupport::JsonValue details = testsupport::ParseJson(run.out)["Details"];
  EXPECT_EQ(details.keys(),
            (std::vector<std::string>{"ContainsHeader", "ID3v1Present", "Apev2TagSize", "ID3v1TagSize", "ID3v2TagSize",
                                      "CombinedTagSize", "Comment", "Items", "Version", "Compression", "Bits"}));
  EXPECT_EQ(details["Version"].string, "4.694");
  EXPECT_EQ(details["Compression"].string, "normal");
  EXPECT_EQ(details["Bits"].number, 16);
}

}  // namespace ofr_details

namespace tta_details {

using apestream::TtaHeader;
using apestream::WriteExtended;
using testsupport::TempDir;

TEST(QuavtagDetails, TrueAudio) {
  TempDir dir;
  const std::string path = WriteExtended(dir, "d.tta", TtaHeader(1, 24, 48000, 48000, 3), 1000);
  const auto run = testsupport::Run({testsupport::BuiltProgram("tools/quavtag"), path});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const testsupport::JsonValue details = testsupport::ParseJson(run.out)["Details"];
  EXPECT_EQ(details.keys(),
            (std::vector<std::string>{"ContainsHeader", "ID3v1Present", "Apev2TagSize", "ID3v1TagSize", "ID3v2TagSize",
                                      "CombinedTagSize", "Comment", "Items", "Bits", "AudioFormat"}));
  EXPECT_EQ(details["Bits"].number, 24);
  EXPECT_EQ(details["AudioFormat"].number, 3);
}

}  // namespace tta_details

namespace wma_details {

using namespace asfbuild;
using testsupport::TempDir;

TEST(QuavtagDetails, WmaAndWav) {
  const std::string quavtag = testsupport::BuiltProgram("tools/quavtag");
  ASSERT_TRUE(std::filesystem::exists(quavtag)) << quavtag;
  TempDir dir;
  const std::string wma = dir.write(
      "t.wma", File(Header({StreamProperties(6, 48000, 24000), ContentDescription("", "", "", TextZ(u"Note"), "")})));
  const std::string wav = dir.write("t.wav", riffbuild::Wave({riffbuild::PcmFmt(2, 44100, 16)}));
  const testsupport::RunResult run = testsupport::Run({quavtag, wma, wav});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> lines = testsupport::SplitLines(run.out);
  ASSERT_EQ(lines.size(), 2u) << run.out;

  const testsupport::JsonValue first = testsupport::ParseJson(lines[0]);
  EXPECT_EQ(first["FileType"].string, "at_Wma");
  EXPECT_EQ(first["Channels"].number, 0);
  EXPECT_EQ(first["Track"].string, "");
  const testsupport::JsonValue& details = first["Details"];
  EXPECT_EQ(details.keys(), (std::vector<std::string>{"ChannelModeID", "ChannelMode", "Comment"}));
  EXPECT_EQ(details["ChannelModeID"].number, 0);
  EXPECT_EQ(details["ChannelMode"].string, "Unknown");
  EXPECT_EQ(details["Comment"].string, "Note");

  const testsupport::JsonValue second = testsupport::ParseJson(lines[1]);
  EXPECT_EQ(second["FileType"].string, "at_Wav");
  EXPECT_EQ(second["Channels"].number, 2);
  EXPECT_EQ(second["Details"].kind, testsupport::JsonValue::Object);
  EXPECT_TRUE(second["Details"].names.empty());
}

}  // namespace wma_details
