#include "Details.h"

#include <array>

namespace {

using DetailsWriter = void (*)(JsonWriter& json, const TGeneralAudioFile& file);

// Indexed by TAudioFileType, one row per value in its order.
constexpr std::array<DetailsWriter, at_Wav + 1> kDetailsWriters = {
    nullptr,                 // at_Invalid
    &WriteMp3Details,        // at_Mp3
    &WriteOggDetails,        // at_Ogg
    &WriteFlacDetails,       // at_Flac
    &WriteMonkeyDetails,     // at_Monkey
    &WriteWavPackDetails,    // at_WavPack
    &WriteMusePackDetails,   // at_MusePack
    &WriteOptimFrogDetails,  // at_OptimFrog
    &WriteTrueAudioDetails,  // at_TrueAudio
    &WriteWmaDetails,        // at_Wma
    nullptr,                 // at_Wav: no details of its own
};

}  // namespace

void WriteDetails(JsonWriter& json, const TGeneralAudioFile& file) {
  if (file.FileType() >= kDetailsWriters.size() || !file.BaseAudioFile()) return;
  if (const DetailsWriter writer = kDetailsWriters[file.FileType()]) writer(json, file);
}
