// Fuzz target for the APE-tagged formats. The first input byte picks the
// reader (.ape .wv .mpc .ofr .tta), the rest is the file; it is read from
// a memory stream and every getter of the reader and its tag is asked.
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "FuzzSupport.h"
#include "MonkeyFiles.h"
#include "MusePackFiles.h"
#include "OptimFrogFiles.h"
#include "TrueAudioFiles.h"
#include "WavPackFiles.h"

namespace {

// The readers in the order of the extensions .ape .wv .mpc .ofr .tta.
std::unique_ptr<TBaseApeFile> MakeReader(uint8_t choice) {
  switch (choice % 5) {
    case 0: return std::make_unique<TMonkeyFile>();
    case 1: return std::make_unique<TWavPackFile>();
    case 2: return std::make_unique<TMusePackFile>();
    case 3: return std::make_unique<TOptimFrogFile>();
    default: return std::make_unique<TTrueAudioFile>();
  }
}

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

void AskFormat(const TBaseApeFile& f) {
  if (const auto* m = dynamic_cast<const TMonkeyFile*>(&f)) {
    Use(m->VersionStr());
    Use(m->CompressionModeStr());
    Use(m->PeakLevelRatio());
    Use(m->TotalSamples());
  }
  if (const auto* w = dynamic_cast<const TWavPackFile*>(&f)) {
    Use(w->Encoder());
    Use(w->ChannelMode());
    Use(w->Ratio());
    Use(w->Samples());
  }
  if (const auto* m = dynamic_cast<const TMusePackFile*>(&f)) {
    Use(m->VersionString());
    Use(m->ChannelMode());
    Use(m->ChannelModeID());
    Use(m->SampleCount());
    Use(m->Ratio());
    Use(m->IsCorrupted());
  }
  if (const auto* o = dynamic_cast<const TOptimFrogFile*>(&f)) {
    Use(o->Version());
    Use(o->Compression());
    Use(o->Bits());
  }
  if (const auto* t = dynamic_cast<const TTrueAudioFile*>(&f)) {
    Use(t->Bits());
    Use(t->AudioFormat());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  TMemoryStream input = fuzzsupport::InputStream(data + 1, size - 1);
  const std::unique_ptr<TBaseApeFile> reader = MakeReader(data[0]);
  TBaseApeFile& f = *reader;
  f.ReadFromOpenStream(input);
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
  AskTag(f);
  AskFormat(f);
  return 0;
}
