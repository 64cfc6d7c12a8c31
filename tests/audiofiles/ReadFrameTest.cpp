// The read frame every reader shares, and the name tables every enum
// derives from its list.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ApeStreamBuilders.h"
#include "ApeTagItem.h"
#include "AudioFiles.h"
#include "ID3v2Frames.h"
#include "MusePackFiles.h"
#include "ReadBytes.h"
#include "RiffAsfBuilders.h"
#include "Tagmill.h"
#include "TestSupport.h"
#include "WavFiles.h"

using testsupport::TempDir;

// A stream is read from its start wherever it stands, and a reader used
// again keeps nothing of the last read, from memory as from a file.
TEST(ReadFrame, OpenStreamFromItsStartAndNothingKeptBetweenReads) {
  const std::string wav = riffbuild::Wave({riffbuild::PcmFmt(2, 44100, 16), riffbuild::DataHead(1'764'000)});
  TMemoryStream stream(wav);
  stream.Seek(stream.Size());
  Twavfile reader;
  ASSERT_EQ(reader.ReadFromOpenStream(stream), FileErr_None);
  EXPECT_EQ(reader.Duration(), 10);
  EXPECT_EQ(reader.FileSize(), static_cast<int64_t>(wav.size()));

  TMusePackFile mpc;
  const std::string good = apestream::MpcSV7Header(10000).str() + std::string(5000, '\0');
  ASSERT_EQ(testsupport::ReadFromBytes(mpc, good), ApeErr_NoTag);
  ASSERT_EQ(mpc.StreamVersion(), 7);
  testsupport::ReadFromBytes(mpc, "MP+");
  EXPECT_EQ(mpc.StreamVersion(), 0) << "the header of the last read is forgotten";
  EXPECT_EQ(mpc.FrameCount(), 0);
  EXPECT_EQ(mpc.FileSize(), 3);

  TempDir dir;
  ASSERT_EQ(testsupport::ReadFromBytes(mpc, good), ApeErr_NoTag);
  EXPECT_EQ(mpc.ReadFromFile(dir.file("missing.mpc")), FileErr_NoFile);
  EXPECT_EQ(mpc.StreamVersion(), 0);
  EXPECT_EQ(mpc.FileSize(), 0);
}

// Every value of each enum has its own name, spelled with the enum's
// prefix; a value past the list has none.
TEST(ReadFrame, EveryEnumValueHasItsOwnName) {
  auto check = [](int count, auto name, std::initializer_list<std::string> prefixes) {
    std::set<std::string> seen;
    for (int v = 0; v < count; ++v) {
      const std::string text = name(v);
      bool prefixed = false;
      for (const std::string& p : prefixes) prefixed = prefixed || text.rfind(p, 0) == 0;
      EXPECT_TRUE(prefixed) << v << ": " << text;
      EXPECT_TRUE(seen.insert(text).second) << text;
    }
    return std::string(name(count));
  };
  EXPECT_EQ(check(FileErr_NotSupportedFileType + 1, [](int v) { return AudioErrorName(static_cast<TAudioError>(v)); },
                  {"FileErr_", "MP3ERR_", "Mp3ERR_", "OVErr_", "FlacErr_", "ApeErr_", "WmaErr_", "WavErr_"}),
            "?");
  EXPECT_EQ(check(at_Wav + 1, [](int v) { return AudioFileTypeName(static_cast<TAudioFileType>(v)); }, {"at_"}), "?");
  EXPECT_EQ(check(MPEGERR_NoFrame + 1, [](int v) { return MP3ErrorName(static_cast<TMP3Error>(v)); },
                  {"MP3ERR_", "ID3ERR_", "MPEGERR_"}),
            "?");
  EXPECT_EQ(check(kFrameIDCount, [](int v) { return FrameIDName(static_cast<TFrameIDs>(v)); }, {"IDv2_"}),
            "IDv2_UNKNOWN");
  EXPECT_EQ(check(FT_UserTextFrame + 1, [](int v) { return FrameTypeName(static_cast<TID3v2FrameTypes>(v)); }, {"FT_"}),
            "FT_INVALID");
  EXPECT_EQ(
      check(ctreserved + 1, [](int v) { return ContentTypeName(static_cast<TApeTagItemContentType>(v)); }, {"ct"}),
      "?");
  EXPECT_STREQ(ContentTypeName(ctBinary), "ctBinary");
  EXPECT_STREQ(MP3ErrorName(ID3ERR_Invalid_Header), "ID3ERR_Invalid_Header");
}
