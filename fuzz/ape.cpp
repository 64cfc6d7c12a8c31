// Fuzz target for the APE-tagged formats. The first input byte picks the
// extension (.ape .wv .mpc .ofr .tta), the rest is the file; it is read
// through the facade and every getter of the reader and its tag is asked.
#include <array>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "AudioFiles.h"
#include "FuzzSupport.h"
#include "MonkeyFiles.h"
#include "MusePackFiles.h"
#include "OptimFrogFiles.h"
#include "TrueAudioFiles.h"
#include "WavPackFiles.h"

namespace {

constexpr std::array<const char*, 5> kExtensions = {".ape", ".wv", ".mpc", ".ofr", ".tta"};

// Folds answers in so that no call can be dropped as unused.
uint64_t gSink = 0;
void Mix(uint64_t v) { gSink = gSink * 31 + v; }
template <typename T>
void Use(T v) {
  if constexpr (std::is_floating_point_v<T>)
    Mix(v == v);
  else
    Mix(static_cast<uint64_t>(v));
}
void Use(const std::u16string& s) { Mix(s.size() + (s.empty() ? 0 : s.front())); }

void AskTag(const TBaseApeFile& ape) {
  Use(ape.ContainsHeader());
  Use(ape.ID3v1Present());
  Use(ape.Apev2TagSize());
  Use(ape.CombinedTagSize());
  Use(ape.Comment());
  Use(ape.Publisher());
  Use(ape.RecordDate());
  std::vector<std::string> keys;
  ape.GetAllFrames(keys);
  for (const std::string& key : keys) {
    Use(ape.GetValueByKey(key));
    TMemoryStream data;
    Use(ape.GetBinaryDataByKey(key, data));
    Use(data.Size());
  }
  for (const auto& item : ape.Items()) {
    Use(item->Value());
    Use(item->CompleteSize());
    Use(item->ContentType());
    Use(item->ReadOnlyFlag());
  }
  ape.GetAllPictureFrames(keys);
  TMemoryStream picture;
  std::u16string description;
  Use(ape.GetPicture(apt_Arbitrary, picture, description));
  Use(ape.GetPicture(apt_Front, picture, description));
  Use(description);
}

void AskFormat(const TGeneralAudioFile& f) {
  if (const TMonkeyFile* m = f.MonkeyFile()) {
    Use(m->VersionStr());
    Use(m->CompressionModeStr());
    Use(m->PeakLevelRatio());
    Use(m->TotalSamples());
  }
  if (const TWavPackFile* w = f.WavPackFile()) {
    Use(w->Encoder());
    Use(w->ChannelMode());
    Use(w->Ratio());
    Use(w->Samples());
  }
  if (const TMusePackFile* m = f.MusePackFile()) {
    Use(m->VersionString());
    Use(m->ChannelMode());
    Use(m->ChannelModeID());
    Use(m->SampleCount());
    Use(m->Ratio());
    Use(m->IsCorrupted());
  }
  if (const TOptimFrogFile* o = f.OptimFrogFile()) {
    Use(o->Version());
    Use(o->Compression());
    Use(o->Bits());
  }
  if (const TTrueAudioFile* t = f.TrueAudioFile()) {
    Use(t->Bits());
    Use(t->AudioFormat());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string path = fuzzsupport::WriteInput(data + 1, size - 1, kExtensions[data[0] % kExtensions.size()]);
  TGeneralAudioFile f(path);
  Use(f.Valid());
  Use(f.FileSize());
  Use(f.Duration());
  Use(f.Bitrate());
  Use(f.Samplerate());
  Use(f.Channels());
  Use(f.Title());
  Use(f.Artist());
  Use(f.Album());
  Use(f.Year());
  Use(f.Track());
  Use(f.Genre());
  if (const TBaseApeFile* ape = f.BaseApeFile()) AskTag(*ape);
  AskFormat(f);
  return 0;
}
