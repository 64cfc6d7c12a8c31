#include "ReplayGain.h"

#include <charconv>
#include <cmath>

#include "Apev2Tags.h"
#include "AudioFiles.h"
#include "FlacFiles.h"
#include "Mp3Files.h"
#include "OggVorbisFiles.h"
#include "TextUtils.h"
#include "TrackHeader.h"

namespace {

constexpr std::string_view kNames[] = {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK", "REPLAYGAIN_ALBUM_GAIN",
                                       "REPLAYGAIN_ALBUM_PEAK"};

// Gains beyond this are taken for damaged tags.
constexpr double kMostGainDb = 60.0;

template <class Lookup>
GainTags Collect(Lookup&& lookup) {
  GainTags tags;
  std::optional<double>* fields[] = {&tags.TrackGain, &tags.TrackPeak, &tags.AlbumGain, &tags.AlbumPeak};
  for (size_t i = 0; i < std::size(kNames); ++i) *fields[i] = ParseGainValue(lookup(kNames[i]));
  for (auto* peak : {&tags.TrackPeak, &tags.AlbumPeak})
    if (*peak && !(**peak > 0)) peak->reset();
  for (auto* gain : {&tags.TrackGain, &tags.AlbumGain})
    if (*gain && std::fabs(**gain) > kMostGainDb) gain->reset();
  return tags;
}

}  // namespace

std::optional<double> ParseGainValue(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  // Whatever the locale, the tags write a decimal point.
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
  std::string_view rest(end, static_cast<size_t>(text.data() + text.size() - end));
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
  if (!rest.empty() && !SameText(rest, "dB")) return std::nullopt;
  return value;
}

GainTags ReadGainTags(const TGeneralAudioFile& file) {
  return Collect([&](std::string_view name) -> std::string {
    const std::u16string wide = AsciiToUtf16(name);
    std::u16string value;
    if (auto* ogg = file.OggFile())
      value = ogg->GetPropertyByFieldname(wide);
    else if (auto* flac = file.FlacFile())
      value = flac->GetPropertyByFieldname(wide);
    else if (auto* ape = file.BaseApeFile())
      value = ape->GetValueByKey(name);
    else if (auto* mp3 = file.MP3File())
      value = mp3->ID3v2Tag().GetUserText(wide);
    return Utf16ToUtf8(value);
  });
}

GainTags GainTagsFromEngine(const char* engineTags) {
  return Collect([&](std::string_view name) { return EngineTagValue(engineTags, name); });
}

double GainFactor(const GainTags& tags, GainMode mode) {
  if (mode == GainMode::Off) return 1.0;
  const bool album = mode == GainMode::Album && tags.AlbumGain;
  const std::optional<double>& gain = album ? tags.AlbumGain : tags.TrackGain;
  const std::optional<double>& peak = album ? tags.AlbumPeak : tags.TrackPeak;
  if (!gain) return 1.0;
  double factor = std::pow(10.0, *gain / 20.0);
  if (peak && *peak * factor > 1.0) factor = 1.0 / *peak;
  return factor;
}

std::string GainModeLine(GainMode mode) {
  switch (mode) {
    case GainMode::Album: return "ReplayGain: album";
    case GainMode::Track: return "ReplayGain: track";
    case GainMode::Off: break;
  }
  return {};
}
