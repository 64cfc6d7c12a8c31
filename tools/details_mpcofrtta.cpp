// Details of Musepack, OptimFROG and True Audio files (.mpc, .ofr, .tta):
// the shared APE tag keys, then each format's own.
#include "Details.h"
#include "DetailsApe.h"
#include "MusePackFiles.h"
#include "OptimFrogFiles.h"
#include "TrueAudioFiles.h"

void WriteMusePackDetails(JsonWriter& json, const TGeneralAudioFile& file) {
  const TMusePackFile& f = *file.MusePackFile();
  WriteApeSharedDetails(json, f);
  json.Key("StreamVersion").Number(f.StreamVersion());
  json.Key("VersionString").String(f.VersionString());
  json.Key("ChannelMode").String(f.ChannelMode());
  json.Key("ChannelModeID").Number(f.ChannelModeID());
  json.Key("FrameCount").Number(f.FrameCount());
  json.Key("SampleCount").Number(f.SampleCount());
  json.Key("Ratio").Double(f.Ratio());
  json.Key("IsCorrupted").Bool(f.IsCorrupted());
}

void WriteOptimFrogDetails(JsonWriter& json, const TGeneralAudioFile& file) {
  const TOptimFrogFile& f = *file.OptimFrogFile();
  WriteApeSharedDetails(json, f);
  json.Key("Version").String(f.Version());
  json.Key("Compression").String(f.Compression());
  json.Key("Bits").Number(f.Bits());
}

void WriteTrueAudioDetails(JsonWriter& json, const TGeneralAudioFile& file) {
  const TTrueAudioFile& f = *file.TrueAudioFile();
  WriteApeSharedDetails(json, f);
  json.Key("Bits").Number(f.Bits());
  json.Key("AudioFormat").Number(f.AudioFormat());
}
