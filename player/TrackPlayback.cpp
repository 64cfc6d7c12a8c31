#include "TrackPlayback.h"

#include <algorithm>
#include <cstdint>

#include "AudioFiles.h"
#include "Console.h"
#include "TextUtils.h"
#include "TrackHeader.h"

namespace {

constexpr unsigned kRunDownMicroseconds = 300'000;
constexpr unsigned kFadePollMicroseconds = 1'000;
constexpr QWORD kNoCount = static_cast<QWORD>(-1);

// Nine flat bands, an octave apart from 64 Hz; they leave the sound as it
// is until someone changes a gain.
void SetEqualizerBands(HSTREAM stream) {
  for (int band = 0; band < 9; ++band) {
    const HFX fx = BASS_ChannelSetFX(stream, BASS_FX_DX8_PARAMEQ, 0);
    BASS_DX8_PARAMEQ params{};
    params.fCenter = static_cast<float>(64 << band);
    params.fBandwidth = params.fCenter / 2;
    params.fGain = 0;
    BASS_FXSetParameters(fx, &params);
  }
}

uint32_t WholeSeconds(HSTREAM stream, QWORD bytes) {
  const double seconds = BASS_ChannelBytes2Seconds(stream, bytes);
  return seconds > 0 && seconds < 4294967296.0 ? static_cast<uint32_t>(seconds) : 0;
}

QWORD Count(QWORD value) { return value == kNoCount ? 0 : value; }

// The header's texts and numbers come from the tag library; for a file it
// has no reader for, or whose reader finds invalid, from the engine. So do
// the ReplayGain values.
std::string HeaderLines(const std::string& path, HSTREAM stream, const TrackDisplay& display, uint32_t total,
                        PreparedTrack& track) {
  GainTags& gain = track.Gain;
  const TGeneralAudioFile file(path);
  HeaderTags tags{file.Title(), file.Artist(), file.Album(), file.Genre()};
  int32_t bitrate = file.Bitrate();
  int32_t channels = file.Channels();
  std::u16string typeName = file.FileTypeName();
  gain = ReadGainTags(file);
  BASS_CHANNELINFO info{};
  if (!file.Valid() && BASS_ChannelGetInfo(stream, &info)) {
    const char* engineTags = BASS_ChannelGetTags(stream);
    const auto tag = [&](std::string_view name) { return Utf8ToUtf16(EngineTagValue(engineTags, name)); };
    tags = HeaderTags{tag("title"), tag("artist"), tag("album"), tag("genre")};
    bitrate = static_cast<int32_t>(std::min<DWORD>(info.bitrate, INT32_MAX));
    channels = static_cast<int32_t>(std::min<DWORD>(info.chans, INT32_MAX));
    typeName = Utf8ToUtf16(EngineTypeName(info.codec, info.codecname, info.formatname));
    gain = GainTagsFromEngine(engineTags);
  }
  if (tags.Title.empty()) tags.Title = Utf8ToUtf16(display.Title);
  track.Title = tags.Title.empty() ? ConsoleName(BareName(path)) : ConsoleText(tags.Title);
  track.Artist = ConsoleText(tags.Artist);
  track.Album = ConsoleText(tags.Album);
  return HeaderFirstLine(display.Number, path, tags, total, display.Count) + std::string(kLineEnd) +
         HeaderSecondLine(bitrate, channels, typeName) + std::string(kLineEnd);
}

int64_t BufferedBytes(HSTREAM stream) {
  const QWORD download = BASS_StreamGetFilePosition(stream, BASS_FILEPOS_DOWNLOAD);
  const QWORD current = BASS_StreamGetFilePosition(stream, BASS_FILEPOS_CURRENT);
  return static_cast<int64_t>(Count(download)) - static_cast<int64_t>(Count(current));
}

}  // namespace

PreparedTrack PrepareTrack(const std::string& path, HSTREAM stream, const TrackDisplay& display, TrackMemory& memory) {
  SetEqualizerBands(stream);
  PreparedTrack track;
  const QWORD length = Count(BASS_ChannelGetLength(stream, BASS_POS_BYTE));
  if (length != 0) {
    memory.Total = WholeSeconds(stream, length);
    track.Header = HeaderLines(path, stream, display, memory.Total, track);
  } else {
    track.Header = kLineEnd;
    track.Title = ConsoleName(BareName(path));
  }
  track.Total = memory.Total;
  return track;
}

void SetTrackVolume(HSTREAM stream, double volume) {
  BASS_ChannelSetAttribute(stream, BASS_ATTRIB_VOL, static_cast<float>(volume));
}

StatusValues PollStatus(HSTREAM stream, uint32_t state, uint32_t total) {
  StatusValues values;
  values.Stalled = state == BASS_ACTIVE_STALLED;
  values.Total = total;
  const DWORD level = BASS_ChannelGetLevel(stream);
  values.Level = level == static_cast<DWORD>(-1) ? 0 : level;
  values.Elapsed = WholeSeconds(stream, Count(BASS_ChannelGetPosition(stream, BASS_POS_BYTE)));
  if (values.Stalled) values.Buffered = BufferedBytes(stream);
  values.Cpu = BASS_GetCPU();
  return values;
}

std::optional<double> RemainingSeconds(HSTREAM stream) {
  const QWORD length = Count(BASS_ChannelGetLength(stream, BASS_POS_BYTE));
  if (length == 0) return std::nullopt;
  const QWORD position = std::min(length, Count(BASS_ChannelGetPosition(stream, BASS_POS_BYTE)));
  return BASS_ChannelBytes2Seconds(stream, length - position);
}

void WindDown(HSTREAM stream, const std::function<void(unsigned microseconds)>& wait) {
  WriteBlankingLine();
  BASS_ChannelSlideAttribute(stream, BASS_ATTRIB_FREQ, 1000.0f, 500);
  wait(kRunDownMicroseconds);
  BASS_ChannelSlideAttribute(stream, BASS_ATTRIB_VOL, 0.0f, 200);
  // The fade takes 200 ms; the bound only guards against a slide that never
  // reports its end.
  for (int polls = 0; polls < 5000 && BASS_ChannelIsSliding(stream, BASS_ATTRIB_VOL); ++polls)
    wait(kFadePollMicroseconds);
}
