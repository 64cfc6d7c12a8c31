// Details of the APE-tagged types: the shared tag keys, Monkey's Audio and
// WavPack.
#include "Details.h"
#include "DetailsApe.h"
#include "MonkeyFiles.h"
#include "WavPackFiles.h"

void WriteMonkeyDetails(JsonWriter& json, const TGeneralAudioFile& file) {
  const TMonkeyFile& f = *file.MonkeyFile();
  WriteApeSharedDetails(json, f);
  json.Key("Version").Number(f.Version());
  json.Key("VersionStr").String(f.VersionStr());
  json.Key("PeakLevel").Number(f.PeakLevel());
  json.Key("PeakLevelRatio").Double(f.PeakLevelRatio());
  json.Key("TotalSamples").Number(f.TotalSamples());
  json.Key("CompressionMode").Number(f.CompressionMode());
  json.Key("CompressionModeStr").String(f.CompressionModeStr());
  json.Key("FormatFlags").Number(f.FormatFlags());
  json.Key("HasPeakLevel").Bool(f.HasPeakLevel());
  json.Key("HasSeekElements").Bool(f.HasSeekElements());
  json.Key("WavNotStored").Bool(f.WavNotStored());
  json.Key("Bits").Number(f.Bits());
}

void WriteWavPackDetails(JsonWriter& json, const TGeneralAudioFile& file) {
  const TWavPackFile& f = *file.WavPackFile();
  WriteApeSharedDetails(json, f);
  json.Key("FormatTag").Number(f.FormatTag());
  json.Key("Version").Number(f.Version());
  json.Key("Encoder").String(f.Encoder());
  json.Key("Samples").Number(f.Samples());
  json.Key("BSamples").Number(f.BSamples());
  json.Key("Bits").Number(f.Bits());
  json.Key("ChannelMode").String(f.ChannelMode());
  json.Key("Ratio").Double(f.Ratio());
}

void WriteApeSharedDetails(JsonWriter& json, const TBaseApeFile& file) {
  json.Key("ContainsHeader").Bool(file.ContainsHeader());
  json.Key("ID3v1Present").Bool(file.ID3v1Present());
  json.Key("Apev2TagSize").Number(file.Apev2TagSize());
  json.Key("ID3v1TagSize").Number(file.ID3v1TagSize());
  json.Key("ID3v2TagSize").Number(file.ID3v2TagSize());
  json.Key("CombinedTagSize").Number(file.CombinedTagSize());
  json.Key("Comment").String(file.Comment());
  json.Key("Items").BeginArray();
  for (const auto& item : file.Items()) {
    json.BeginObject();
    json.Key("Key").Bytes(item->Key());
    json.Key("ContentType").Utf8(ContentTypeName(item->ContentType()));
    json.Key("ReadOnlyFlag").Bool(item->ReadOnlyFlag());
    json.Key("ValueSize").Number(item->ValueSize());
    json.Key("Value").String(item->Value());
    json.EndObject();
  }
  json.EndArray();
}
