// The C interface (bass.h): every entry point checks and translates its
// arguments, runs in Guarded, calls one operation of the engine state
// (EngineState.h) and turns its error code into the C result; the mixing is
// in Mixer.cpp.
#include "bass.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Decoder.h"
#include "Devices.h"
#include "EngineState.h"
#include "TextUtils.h"

namespace {

using namespace quav::bass;
using quav::Stream;
using StreamRef = const std::shared_ptr<Stream>&;

std::string NameArgument(const void* name, DWORD flags) {
  if (flags & BASS_UNICODE) return Utf16ToUtf8(std::u16string_view(static_cast<const char16_t*>(name)));
  return static_cast<const char*>(name);
}

bool ValidFreq(float value, int rate) {
  return value == 0.0f || (value >= 100.0f && value <= 16.0f * static_cast<float>(rate));
}

// The C result of an engine operation.
BOOL Done(int error) { return error == BASS_OK ? Ok(TRUE) : Fail(error); }
DWORD Done(MadeHandle made) { return made.error == BASS_OK ? Ok(made.handle) : Fail(made.error, DWORD{0}); }

DWORD ActiveState(Stream& s, const ClockSnapshot& clock) {
  const Stream::Activity activity = s.ActivityAt(clock.heard, clock.written);
  if (activity == Stream::Activity::Stopped) return BASS_ACTIVE_STOPPED;
  if (activity == Stream::Activity::Paused) return BASS_ACTIVE_PAUSED;
  // A played stream stands still once its device has gone; it never ends.
  if (!s.DecodeOnly() && clock.lost) return BASS_ACTIVE_PAUSED_DEVICE;
  return activity == Stream::Activity::Stalled ? BASS_ACTIVE_STALLED : BASS_ACTIVE_PLAYING;
}

std::optional<Stream::Attribute> AttributeOf(DWORD attrib) {
  switch (attrib) {
    case BASS_ATTRIB_VOL: return Stream::Attribute::Volume;
    case BASS_ATTRIB_FREQ: return Stream::Attribute::Frequency;
    default: return std::nullopt;
  }
}

}  // namespace

extern "C" {

// Three entry points only read a value and cannot fail; every other one
// runs in Guarded.
DWORD BASS_GetVersion(void) { return DWORD{BASSVERSION} << 16; }

DWORD BASS_GetLibraryVersion(DWORD library) {
  return Guarded(DWORD{0}, [&]() -> DWORD {
    switch (library) {
      case BASS_LIBRARY_AVFORMAT: return Ok(DWORD{quav::AvformatVersion()});
      case BASS_LIBRARY_AVCODEC: return Ok(DWORD{quav::AvcodecVersion()});
      case BASS_LIBRARY_PORTAUDIO: return Ok(DWORD{quav::PortAudioVersion()});
      default: return Fail(BASS_ERROR_ILLTYPE, DWORD{0});
    }
  });
}

BOOL BASS_SetConfig(DWORD option, DWORD value) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL { return Done(E.SetConfig(option, value)); });
}

DWORD BASS_GetConfig(DWORD option) {
  return Guarded(kBadDword, [&]() -> DWORD {
    const std::optional<DWORD> value = E.Config(option);
    return value ? Ok(*value) : Fail(BASS_ERROR_ILLTYPE, kBadDword);
  });
}

BOOL BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    if (info == nullptr) return Fail(BASS_ERROR_ILLPARAM);
    const DWORD init = static_cast<int>(device) == E.Device() ? BASS_DEVICE_INIT : 0;
    if (device == 0) {
      info->name = "No sound";
      info->driver = "";
      info->flags = BASS_DEVICE_ENABLED | init;
      return Ok(TRUE);
    }
    const quav::SystemDevice* d = device > 0x7fffffff ? nullptr : quav::SystemDeviceAt(static_cast<int>(device));
    if (d == nullptr) return Fail(BASS_ERROR_DEVICE);
    info->name = d->name.c_str();
    info->driver = d->driver.c_str();
    info->flags = BASS_DEVICE_ENABLED | (d->isDefault ? BASS_DEVICE_DEFAULT : 0) | init | d->type;
    return Ok(TRUE);
  });
}

BOOL BASS_Init(int device, DWORD freq, DWORD, void*, const void*) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    if (freq == 0) freq = 44100;
    if (freq < 8000 || freq > 384000) return Fail(BASS_ERROR_ILLPARAM);
    return Done(E.StartUp(device, static_cast<int>(freq)));
  });
}

BOOL BASS_Free(void) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL { return Done(E.ShutDown()); });
}

DWORD BASS_IsStarted(void) {
  return Guarded(DWORD{BASS_ACTIVE_STOPPED}, [&]() -> DWORD {
    switch (E.State()) {
      case DeviceState::Down: return Ok(DWORD{BASS_ACTIVE_STOPPED});
      case DeviceState::Lost: return Ok(DWORD{BASS_ACTIVE_PAUSED_DEVICE});
      default: return Ok(DWORD{BASS_ACTIVE_PLAYING});
    }
  });
}

DWORD BASS_GetDevice(void) {
  return Guarded(kBadDword, [&]() -> DWORD {
    const int device = E.Device();
    return device < 0 ? Fail(BASS_ERROR_INIT, kBadDword) : Ok(static_cast<DWORD>(device));
  });
}

HPLUGIN BASS_PluginLoad(const void* file, DWORD flags) {
  return Guarded(HPLUGIN{0}, [&]() -> HPLUGIN {
    if (file == nullptr) return Fail(BASS_ERROR_FILEOPEN, HPLUGIN{0});
    std::string name = NameArgument(file, flags);
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    static constexpr std::string_view kBuiltIn[] = {BASS_PLUGIN_NAMES("")};
    if (std::find(std::begin(kBuiltIn), std::end(kBuiltIn), name) == std::end(kBuiltIn))
      return Fail(BASS_ERROR_FILEOPEN, HPLUGIN{0});
    return Done(E.AddPlugin(name));
  });
}

float BASS_GetCPU(void) { return E.Cpu(); }

int BASS_ErrorGetCode(void) { return tLastError; }

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
  return Guarded(HSTREAM{0}, [&]() -> HSTREAM {
    const std::optional<OpeningFor> opening = E.Opening();
    if (!opening) return Fail(BASS_ERROR_INIT, HSTREAM{0});
    if (mem || offset != 0 || length != 0) return Fail(BASS_ERROR_ILLPARAM, HSTREAM{0});
    if (file == nullptr) return Fail(BASS_ERROR_FILEOPEN, HSTREAM{0});
    quav::Decoder::OpenError openError;
    auto decoder = quav::Decoder::Open(NameArgument(file, flags), openError);
    if (!decoder) {
      switch (openError) {
        case quav::Decoder::OpenError::FileOpen: return Fail(BASS_ERROR_FILEOPEN, HSTREAM{0});
        case quav::Decoder::OpenError::Memory: return Fail(BASS_ERROR_MEM, HSTREAM{0});
        default: return Fail(BASS_ERROR_FILEFORM, HSTREAM{0});
      }
    }
    const bool decodeOnly = (flags & BASS_STREAM_DECODE) != 0;
    const int outRate = decodeOnly ? decoder->Rate() : opening->rate;
    return Done(E.AddStream(*opening, std::make_shared<Stream>(std::move(decoder), decodeOnly, outRate)));
  });
}

BOOL BASS_StreamFree(HSTREAM handle) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL { return Done(E.FreeStream(handle)); });
}

QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode) {
  return WithStream(handle, kBadQword, [&](StreamRef s) -> QWORD {
    switch (mode) {
      case BASS_FILEPOS_CURRENT: return Ok(static_cast<QWORD>(s->FilePosition()));
      case BASS_FILEPOS_DOWNLOAD:
      case BASS_FILEPOS_END: return Ok(static_cast<QWORD>(s->FileSize()));
      case BASS_FILEPOS_START: return Ok(static_cast<QWORD>(s->DataStart()));
      default: return Fail(BASS_ERROR_ILLTYPE, kBadQword);
    }
  });
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
  return WithStream(handle, BOOL{FALSE}, [&](StreamRef s) -> BOOL {
    if (s->DecodeOnly()) return Fail(BASS_ERROR_DECODE);
    return Done(E.Play(s, restart != FALSE));
  });
}

BOOL BASS_ChannelPlayAfter(DWORD handle, DWORD previous) {
  return WithStream(handle, BOOL{FALSE}, [&](StreamRef s) -> BOOL {
    if (s->DecodeOnly()) return Fail(BASS_ERROR_DECODE);
    return Done(E.Join(s, previous));
  });
}

BOOL BASS_ChannelStop(DWORD handle) {
  return WithStream(handle, BOOL{FALSE}, [&](StreamRef s) -> BOOL {
    if (s->DecodeOnly()) return Fail(BASS_ERROR_DECODE);
    s->Stop();
    return Ok(TRUE);
  });
}

BOOL BASS_ChannelPause(DWORD handle) {
  return WithStream(handle, BOOL{FALSE}, [&](StreamRef s) -> BOOL {
    if (s->DecodeOnly()) return Fail(BASS_ERROR_DECODE);
    if (!s->Pause()) return Fail(BASS_ERROR_NOPLAY);
    return Ok(TRUE);
  });
}

DWORD BASS_ChannelIsActive(DWORD handle) {
  return WithStream(handle, DWORD{BASS_ACTIVE_STOPPED},
                    [&](StreamRef s) -> DWORD { return Ok(ActiveState(*s, E.Clock())); });
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode) {
  return WithStream(handle, kBadQword, [&](StreamRef s) -> QWORD {
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_ILLTYPE, kBadQword);
    return Ok(static_cast<QWORD>(s->LengthFrames()) * s->Channels() * 2);
  });
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
  return WithStream(handle, kBadQword, [&](StreamRef s) -> QWORD {
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_ILLTYPE, kBadQword);
    const int64_t frames = s->PositionAt(E.Clock().heard);
    return Ok(static_cast<QWORD>(std::max<int64_t>(0, frames)) * s->Channels() * 2);
  });
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
  return WithStream(handle, BOOL{FALSE}, [&](StreamRef s) -> BOOL {
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_ILLTYPE);
    const QWORD frameBytes = static_cast<QWORD>(s->Channels()) * 2;
    const QWORD frame = pos / frameBytes;
    const int64_t length = s->LengthFrames();
    if (length > 0 && frame > static_cast<QWORD>(length)) return Fail(BASS_ERROR_POSITION);
    return Done(E.Seek(*s, static_cast<int64_t>(frame)));
  });
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
  return WithStream(handle, -1.0, [&](StreamRef s) -> double {
    return Ok(static_cast<double>(pos) / (2.0 * s->Channels() * s->Rate()));
  });
}

QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double pos) {
  return WithStream(handle, kBadQword, [&](StreamRef s) -> QWORD {
    if (!(pos >= 0.0) || pos > 1e9) return Fail(BASS_ERROR_ILLPARAM, kBadQword);
    return Ok(static_cast<QWORD>(std::floor(pos * s->Rate())) * s->Channels() * 2);
  });
}

DWORD BASS_ChannelGetLevel(DWORD handle) {
  return WithStream(handle, kBadDword, [&](StreamRef s) -> DWORD {
    if (s->DecodeOnly()) return Ok(s->LevelAt(0));
    const ClockSnapshot clock = E.Clock();
    if (ActiveState(*s, clock) != BASS_ACTIVE_PLAYING) return Fail(BASS_ERROR_NOPLAY, DWORD{0});
    return Ok(s->LevelAt(clock.heard));
  });
}

BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
  return WithStream(handle, BOOL{FALSE}, [&](StreamRef s) -> BOOL {
    if (std::isnan(value)) return Fail(BASS_ERROR_ILLPARAM);
    switch (attrib) {
      case BASS_ATTRIB_VOL: s->SetAttribute(Stream::Attribute::Volume, std::clamp(value, 0.0f, 10.0f)); return Ok(TRUE);
      case BASS_ATTRIB_FREQ:
        if (!ValidFreq(value, s->Rate())) return Fail(BASS_ERROR_ILLPARAM);
        s->SetAttribute(Stream::Attribute::Frequency, value == 0.0f ? static_cast<float>(s->Rate()) : value);
        return Ok(TRUE);
      default: return Fail(BASS_ERROR_ILLTYPE);
    }
  });
}

BOOL BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value) {
  return WithStream(handle, BOOL{FALSE}, [&](StreamRef s) -> BOOL {
    if (value == nullptr) return Fail(BASS_ERROR_ILLPARAM);
    const auto attribute = AttributeOf(attrib);
    if (!attribute) return Fail(BASS_ERROR_ILLTYPE);
    *value = s->AttributeNow(*attribute, NowSeconds());
    return Ok(TRUE);
  });
}

BOOL BASS_ChannelSlideAttribute(DWORD handle, DWORD attrib, float value, DWORD time) {
  return WithStream(handle, BOOL{FALSE}, [&](StreamRef s) -> BOOL {
    if (std::isnan(value)) return Fail(BASS_ERROR_ILLPARAM);
    // A slide starts where new audio is first heard: at once for a stream
    // that is not playing, after the buffered audio for one that is.
    const double heardStart = s->DecodeOnly() ? 0.0 : E.HeardChangeTime();
    const double seconds = time / 1000.0;
    switch (attrib) {
      case BASS_ATTRIB_VOL:
        s->SlideAttribute(Stream::Attribute::Volume, std::clamp(value, 0.0f, 10.0f), heardStart, seconds, NowSeconds());
        return Ok(TRUE);
      case BASS_ATTRIB_FREQ:
        if (!ValidFreq(value, s->Rate())) return Fail(BASS_ERROR_ILLPARAM);
        s->SlideAttribute(Stream::Attribute::Frequency, value == 0.0f ? static_cast<float>(s->Rate()) : value,
                          heardStart, seconds, NowSeconds());
        return Ok(TRUE);
      default: return Fail(BASS_ERROR_ILLTYPE);
    }
  });
}

BOOL BASS_ChannelIsSliding(DWORD handle, DWORD attrib) {
  return WithStream(handle, BOOL{FALSE}, [&](StreamRef s) -> BOOL {
    const auto attribute = AttributeOf(attrib);
    if (attrib != 0 && !attribute) return Fail(BASS_ERROR_ILLTYPE);
    return Ok(s->SlidingNow(attribute, NowSeconds()) ? TRUE : FALSE);
  });
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
  return WithStream(handle, kBadDword, [&](StreamRef s) -> DWORD {
    if (!s->DecodeOnly()) return Fail(BASS_ERROR_DECODE, kBadDword);
    const bool asFloat = (length & BASS_DATA_FLOAT) != 0;
    length &= ~BASS_DATA_FLOAT;
    if (buffer == nullptr && length != 0) return Fail(BASS_ERROR_ILLPARAM, kBadDword);
    const int ch = s->Channels();
    const size_t frameBytes = static_cast<size_t>(ch) * (asFloat ? 4 : 2);
    const size_t frames = length / frameBytes;
    if (s->Ended()) return Fail(BASS_ERROR_ENDED, kBadDword);
    if (frames == 0) return Ok(DWORD{0});
    size_t done;
    if (asFloat) {
      done = s->Read(static_cast<float*>(buffer), frames);
    } else {
      // Converted a block at a time, so that the scratch space stays small
      // whatever the caller asks for (it lives as long as the thread).
      constexpr size_t kBlock = 4096;
      thread_local std::vector<float> scratch(kBlock * 2);
      auto* out = static_cast<int16_t*>(buffer);
      done = 0;
      while (done < frames) {
        const size_t want = std::min(kBlock, frames - done);
        const size_t got = s->Read(scratch.data(), want);
        quav::FloatToS16(scratch.data(), out + done * ch, got * ch);
        done += got;
        if (got < want) break;
      }
    }
    if (done == 0) return Fail(BASS_ERROR_ENDED, kBadDword);
    return Ok(static_cast<DWORD>(done * frameBytes));
  });
}

HFX BASS_ChannelSetFX(DWORD handle, DWORD type, int priority) {
  return WithStream(handle, HFX{0}, [&](StreamRef s) -> HFX {
    if (type != BASS_FX_DX8_PARAMEQ) return Fail(BASS_ERROR_ILLTYPE, HFX{0});
    return Done(E.AddEffect(*s, handle, priority));
  });
}

BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx) {
  return WithStream(handle, BOOL{FALSE}, [&](StreamRef s) -> BOOL { return Done(E.RemoveEffect(*s, handle, fx)); });
}

BOOL BASS_FXSetParameters(HFX handle, const void* params) {
  return WithEffectStream(handle, BOOL{FALSE}, [&](StreamRef s) -> BOOL {
    if (params == nullptr) return Fail(BASS_ERROR_ILLPARAM);
    BASS_DX8_PARAMEQ eq;
    std::memcpy(&eq, params, sizeof eq);
    if (!s->BandParams(handle)) return Fail(BASS_ERROR_HANDLE);
    if (!s->SetBand(handle, quav::PeakingParams{eq.fCenter, eq.fBandwidth, eq.fGain})) return Fail(BASS_ERROR_ILLPARAM);
    return Ok(TRUE);
  });
}

BOOL BASS_FXGetParameters(HFX handle, void* params) {
  return WithEffectStream(handle, BOOL{FALSE}, [&](StreamRef s) -> BOOL {
    if (params == nullptr) return Fail(BASS_ERROR_ILLPARAM);
    const auto band = s->BandParams(handle);
    if (!band) return Fail(BASS_ERROR_HANDLE);
    const BASS_DX8_PARAMEQ eq{band->center, band->bandwidth, band->gain};
    std::memcpy(params, &eq, sizeof eq);
    return Ok(TRUE);
  });
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info) {
  return WithStream(handle, BOOL{FALSE}, [&](StreamRef s) -> BOOL {
    if (info == nullptr) return Fail(BASS_ERROR_ILLPARAM);
    const quav::Decoder::SourceInfo& source = s->Info();
    info->freq = static_cast<DWORD>(std::max(0, source.rate));
    info->chans = static_cast<DWORD>(std::max(0, source.channels));
    info->bitrate = static_cast<DWORD>(std::clamp<int64_t>(source.bitrate, 0, kBadDword));
    info->codec = source.codec.c_str();
    info->codecname = source.codecName.c_str();
    info->format = source.container.c_str();
    info->formatname = source.containerName.c_str();
    return Ok(TRUE);
  });
}

const char* BASS_ChannelGetTags(DWORD handle) {
  return WithStream(handle, static_cast<const char*>(nullptr),
                    [&](StreamRef s) -> const char* { return Ok(s->Info().tags.c_str()); });
}

}  // extern "C"
