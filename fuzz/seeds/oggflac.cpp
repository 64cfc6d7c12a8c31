// Seeds for the Ogg, FLAC and comment block fuzz targets.
#include "OggFlacBuilders.h"
#include "Seeds.h"

namespace {

using namespace oggflac;

std::string SmallOgg() {
  OggFileParams params;
  params.audioBytes = 100;
  return OggVorbisFile(params);
}

std::string SmallFlac() {
  return FlacFile(
      {FlacBlock(1, false, std::string(16, '\0')), FlacBlock(4, false, CommentFields({"TITLE=t", "DATE=1"})),
       FlacBlock(6, false, PictureBody(3, "image/png", "d", "PNG")), FlacBlock(2, true, "APPL")},
      64);
}

std::string Block(const std::string& flags, const std::string& body) { return flags + body; }

SeedSet oggSeeds("ogg", {
                            SmallOgg(),
                            Id3v2Tag(20, 4, true) + SmallOgg(),
                            SmallOgg().substr(0, 120),
                        });

SeedSet flacSeeds("flac", {
                              SmallFlac(),
                              Id3v2Tag(20, 3) + FlacFile({}, 16),
                              FlacFile({FlacBlock(4, true, CommentFields({"A=B"}))}, 0),
                          });

SeedSet commentSeeds("vorbiscomments",
                     {
                         Block(std::string("\x00\x00", 2), CommentPacket({"TITLE=x", "ARTIST=A=B", "noeq"})),
                         Block(std::string("\x01\x00", 2), CommentFields({"DATE=", "YEAR=1999"})),
                         Block(std::string("\x03\x00", 2), CommentFields({"TITLE=x"})),
                     });

}  // namespace
