#include "TrackPlayback.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "AudioFiles.h"
#include "Console.h"
#include "Engine.h"
#include "StatusLine.h"
#include "Terminal.h"
#include "TextUtils.h"
#include "TrackHeader.h"

namespace {

constexpr useconds_t kTickMicroseconds = 50'000;
constexpr useconds_t kRunDownMicroseconds = 300'000;
constexpr useconds_t kFadePollMicroseconds = 1'000;
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

void SetVolume(HSTREAM stream, const PlayerSettings& settings) {
  BASS_ChannelSetAttribute(stream, BASS_ATTRIB_VOL, static_cast<float>(settings.Volume / 100.0));
}

// The header's texts and numbers come from the tag library; for a file it
// has no reader for, or whose reader finds it invalid, from the engine.
void WriteHeader(const std::string& path, HSTREAM stream, int number, uint32_t total, const std::optional<int>& count) {
  const TGeneralAudioFile file(path);
  HeaderTags tags{file.Title(), file.Artist(), file.Album(), file.Genre()};
  int32_t bitrate = file.Bitrate();
  int32_t channels = file.Channels();
  std::u16string typeName = file.FileTypeName();
  BASS_CHANNELINFO info{};
  if (!file.Valid() && BASS_ChannelGetInfo(stream, &info)) {
    const char* engineTags = BASS_ChannelGetTags(stream);
    const auto tag = [&](std::string_view name) { return Utf8ToUtf16(EngineTagValue(engineTags, name)); };
    tags = HeaderTags{tag("title"), tag("artist"), tag("album"), tag("genre")};
    bitrate = static_cast<int32_t>(std::min<DWORD>(info.bitrate, INT32_MAX));
    channels = static_cast<int32_t>(std::min<DWORD>(info.chans, INT32_MAX));
    typeName = Utf8ToUtf16(EngineTypeName(info.codec, info.codecname, info.formatname));
  }
  console::WriteLine(HeaderFirstLine(number, path, tags, total, count));
  console::WriteLine(HeaderSecondLine(bitrate, channels, typeName));
}

int64_t BufferedBytes(HSTREAM stream) {
  const QWORD download = BASS_StreamGetFilePosition(stream, BASS_FILEPOS_DOWNLOAD);
  const QWORD current = BASS_StreamGetFilePosition(stream, BASS_FILEPOS_CURRENT);
  return static_cast<int64_t>(Count(download)) - static_cast<int64_t>(Count(current));
}

}  // namespace

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

uint32_t PrepareTrack(const std::string& path, HSTREAM stream, const TrackDisplay& display,
                      const PlayerSettings& settings, TrackMemory& memory) {
  SetEqualizerBands(stream);
  const QWORD length = Count(BASS_ChannelGetLength(stream, BASS_POS_BYTE));
  if (length != 0) {
    memory.Total = WholeSeconds(stream, length);
    SetVolume(stream, settings);
    WriteHeader(path, stream, display.Number, memory.Total, display.Count);
  } else {
    console::WriteLine();
  }
  return memory.Total;
}

StatusValues PollStatus(HSTREAM stream, uint32_t state, uint32_t total) {
  StatusValues values;
  values.State = state;
  values.Total = total;
  const DWORD level = BASS_ChannelGetLevel(stream);
  values.Level = level == static_cast<DWORD>(-1) ? 0 : level;
  values.Elapsed = WholeSeconds(stream, Count(BASS_ChannelGetPosition(stream, BASS_POS_BYTE)));
  if (state == BASS_ACTIVE_STALLED) values.Buffered = BufferedBytes(stream);
  values.Cpu = BASS_GetCPU();
  return values;
}

TrackDisplay SingleFileDisplay() {
  TrackDisplay d;
  d.Number = 1;
  d.SetVolumeEveryTick = true;
  d.SpaceBarStops = true;
  d.StopAtTotal = true;
  d.FreeEngineAfter = true;
  return d;
}

TrackDisplay ListEntryDisplay(int number, int count) {
  TrackDisplay d;
  d.Number = number;
  d.Count = count;
  return d;
}

void TrackPlayback(const std::string& path, HSTREAM stream, const TrackDisplay& display, const PlayerSettings& settings,
                   TrackMemory& memory) {
  const uint32_t total = PrepareTrack(path, stream, display, settings, memory);

  BASS_ChannelPlay(stream, FALSE);
  DWORD state = BASS_ChannelIsActive(stream);
  while (!(display.SpaceBarStops && StopKeyPressed()) && state != BASS_ACTIVE_STOPPED) {
    ExitIfOutputLost();
    const StatusValues values = PollStatus(stream, state, total);
    if (display.SetVolumeEveryTick) SetVolume(stream, settings);
    StatusLine(values);
    ::usleep(kTickMicroseconds);
    // A total of 0 (a track under one second) would stop at the first tick.
    if (display.StopAtTotal && total > 0 && values.Elapsed == total) break;
    state = BASS_ChannelIsActive(stream);
  }

  WindDown(stream, [](unsigned microseconds) { ::usleep(microseconds); });
  BASS_StreamFree(stream);
  if (display.FreeEngineAfter) BASS_Free();
}
