// The C interface (bass.h): every entry point checks and translates its
// arguments and runs in Guarded; the engine's state and handle tables are
// in EngineState, the mixing in Mixer.cpp.
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

std::string NameArgument(const void* name, DWORD flags) {
  if (flags & BASS_UNICODE) return Utf16ToUtf8(std::u16string_view(static_cast<const char16_t*>(name)));
  return static_cast<const char*>(name);
}

bool ValidFreq(float value, int rate) {
  return value == 0.0f || (value >= 100.0f && value <= 16.0f * static_cast<float>(rate));
}

DWORD ActiveState(Stream& s) {
  const uint64_t written = WrittenFrames();  // before the heard frame: never below it
  const Stream::Activity activity = s.ActivityAt(HeardFrame(), written);
  if (activity == Stream::Activity::Stopped) return BASS_ACTIVE_STOPPED;
  if (activity == Stream::Activity::Paused) return BASS_ACTIVE_PAUSED;
  // A played stream stands still once its device has gone; it never ends.
  if (!s.DecodeOnly() && OutputLost()) return BASS_ACTIVE_PAUSED_DEVICE;
  return activity == Stream::Activity::Stalled ? BASS_ACTIVE_STALLED : BASS_ACTIVE_PLAYING;
}

// No stream starts `s` when it ends any more.
void DropJoinsTo(const Stream& s) {
  std::lock_guard<std::mutex> lock(E.mutex);
  for (auto& [h, other] : E.streams) other->DropFollower(&s);
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
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    std::lock_guard<std::mutex> lock(E.mutex);
    const auto it = E.config.find(option);
    if (it == E.config.end()) return Fail(BASS_ERROR_ILLTYPE);
    if (option == BASS_CONFIG_DEV_BUFFER && value > kMaxDeviceBufferMs) return Fail(BASS_ERROR_ILLPARAM);
    it->second = value;
    return Ok(TRUE);
  });
}

DWORD BASS_GetConfig(DWORD option) {
  return Guarded(kBadDword, [&]() -> DWORD {
    std::lock_guard<std::mutex> lock(E.mutex);
    const auto it = E.config.find(option);
    if (it == E.config.end()) return Fail(BASS_ERROR_ILLTYPE, kBadDword);
    return Ok(it->second);
  });
}

BOOL BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    if (info == nullptr) return Fail(BASS_ERROR_ILLPARAM);
    int current;
    {
      std::lock_guard<std::mutex> lock(E.mutex);
      current = E.initialised ? E.device : -1;
    }
    const DWORD init = static_cast<int>(device) == current ? BASS_DEVICE_INIT : 0;
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
    std::lock_guard<std::mutex> lifecycle(E.lifecycle);
    if (freq == 0) freq = 44100;
    if (freq < 8000 || freq > 384000) return Fail(BASS_ERROR_ILLPARAM);
    {
      std::lock_guard<std::mutex> lock(E.mutex);
      if (E.initialised) return Fail(BASS_ERROR_ALREADY);
    }
    quav::QuietFFmpeg();
    // The silent device needs no look at the sound system. The default
    // device is the one flagged default, and a server's sink opened as the
    // default follows the server's default from then on.
    const bool followDefault = device == -1;
    if (device == -1 && (device = quav::DefaultSystemDevice()) == 0) return Fail(BASS_ERROR_DEVICE);
    const quav::SystemDevice* system = device == 0 ? nullptr : quav::SystemDeviceAt(device);
    if (device != 0 && system == nullptr) return Fail(BASS_ERROR_DEVICE);
    const int rate = static_cast<int>(freq);
    double bufferSeconds;
    {
      std::lock_guard<std::mutex> lock(E.mutex);
      bufferSeconds = E.config[BASS_CONFIG_DEV_BUFFER] / 1000.0;
    }
    // A device takes at most half of what the engine thread keeps ahead at
    // once, so one take never leaves the ring empty.
    std::unique_ptr<quav::Output> output =
        system == nullptr ? quav::MakeSilentOutput(rate, bufferSeconds)
                          : quav::MakeSystemOutput(*system, followDefault, rate, bufferSeconds, kAheadSeconds / 2);
    if (!output) return Fail(BASS_ERROR_DRIVER);

    std::lock_guard<std::mutex> lock(E.mutex);
    if (E.initialised) return Fail(BASS_ERROR_ALREADY);
    E.rate = rate;
    E.targetFrames = static_cast<size_t>(kAheadSeconds * rate);
    E.ring = std::make_unique<quav::FrameRing>(std::max<size_t>(16384, 2 * E.targetFrames), 2);
    if (!output->Start(*E.ring)) {
      E.ring.reset();
      return Fail(BASS_ERROR_START);
    }
    E.output = std::move(output);
    E.device = device;
    E.initialised = true;
    ++E.generation;
    {
      std::lock_guard<std::mutex> wakeLock(E.wakeMutex);
      E.stopMixer = false;
      E.wakeUp = false;
    }
    E.mixer = std::thread(MixerLoop, E.output.get());
    return Ok(TRUE);
  });
}

BOOL BASS_Free(void) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    std::lock_guard<std::mutex> lifecycle(E.lifecycle);
    {
      std::lock_guard<std::mutex> lock(E.mutex);
      if (!E.initialised) return Fail(BASS_ERROR_INIT);
    }
    ShutDown();
    return Ok(TRUE);
  });
}

DWORD BASS_IsStarted(void) {
  return Guarded(DWORD{BASS_ACTIVE_STOPPED}, [&]() -> DWORD {
    std::lock_guard<std::mutex> lock(E.mutex);
    if (!E.initialised) return Ok(DWORD{BASS_ACTIVE_STOPPED});
    return Ok(static_cast<DWORD>(E.output->Lost() ? BASS_ACTIVE_PAUSED_DEVICE : BASS_ACTIVE_PLAYING));
  });
}

DWORD BASS_GetDevice(void) {
  return Guarded(kBadDword, [&]() -> DWORD {
    std::lock_guard<std::mutex> lock(E.mutex);
    if (!E.initialised) return Fail(BASS_ERROR_INIT, kBadDword);
    return Ok(static_cast<DWORD>(E.device));
  });
}

HPLUGIN BASS_PluginLoad(const void* file, DWORD flags) {
  return Guarded(HPLUGIN{0}, [&]() -> HPLUGIN {
    if (file == nullptr) return Fail(BASS_ERROR_FILEOPEN, HPLUGIN{0});
    std::string name = NameArgument(file, flags);
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    static constexpr std::string_view kBuiltIn[] = {"bassflac.dll", "basshls.dll", "bassdsd.dll", "bassalac.dll",
                                                    "bassopus.dll"};
    if (std::find(std::begin(kBuiltIn), std::end(kBuiltIn), name) == std::end(kBuiltIn))
      return Fail(BASS_ERROR_FILEOPEN, HPLUGIN{0});
    std::lock_guard<std::mutex> lock(E.mutex);
    if (E.plugins.count(name)) return Fail(BASS_ERROR_ALREADY, HPLUGIN{0});
    const DWORD h = E.NewHandle();
    E.plugins[name] = h;
    return Ok(h);
  });
}

float BASS_GetCPU(void) { return E.cpu.load(std::memory_order_relaxed); }

int BASS_ErrorGetCode(void) { return tLastError; }

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
  return Guarded(HSTREAM{0}, [&]() -> HSTREAM {
    int rate;
    uint64_t generation;
    {
      std::lock_guard<std::mutex> lock(E.mutex);
      if (!E.initialised) return Fail(BASS_ERROR_INIT, HSTREAM{0});
      rate = E.rate;
      generation = E.generation;
    }
    if (mem || offset != 0 || length != 0) return Fail(BASS_ERROR_ILLPARAM, HSTREAM{0});
    if (file == nullptr) return Fail(BASS_ERROR_FILEOPEN, HSTREAM{0});
    quav::Decoder::OpenError error;
    auto decoder = quav::Decoder::Open(NameArgument(file, flags), error);
    if (!decoder) {
      switch (error) {
        case quav::Decoder::OpenError::FileOpen: return Fail(BASS_ERROR_FILEOPEN, HSTREAM{0});
        case quav::Decoder::OpenError::Memory: return Fail(BASS_ERROR_MEM, HSTREAM{0});
        default: return Fail(BASS_ERROR_FILEFORM, HSTREAM{0});
      }
    }
    const bool decodeOnly = (flags & BASS_STREAM_DECODE) != 0;
    const int outRate = decodeOnly ? decoder->Rate() : rate;
    auto stream = std::make_shared<Stream>(std::move(decoder), decodeOnly, outRate);
    std::lock_guard<std::mutex> lock(E.mutex);
    // The device it was opened for went away meanwhile (and another, maybe
    // at another rate, may have come up).
    if (!E.initialised || E.generation != generation) return Fail(BASS_ERROR_INIT, HSTREAM{0});
    const DWORD h = E.NewHandle();
    E.streams[h] = std::move(stream);
    return Ok(h);
  });
}

BOOL BASS_StreamFree(HSTREAM handle) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    std::shared_ptr<Stream> doomed;
    {
      std::lock_guard<std::mutex> lock(E.mutex);
      const auto it = E.streams.find(handle);
      if (it == E.streams.end()) return Fail(BASS_ERROR_HANDLE);
      doomed = std::move(it->second);
      E.streams.erase(it);
      std::erase_if(E.effects, [&](const auto& fx) { return fx.second == handle; });
      for (auto& [h, other] : E.streams) other->DropFollower(doomed.get());
    }
    doomed->Retire();
    return Ok(TRUE);
  });
}

QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode) {
  return Guarded(kBadQword, [&]() -> QWORD {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE, kBadQword);
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
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
    if (s->DecodeOnly()) return Fail(BASS_ERROR_DECODE);
    if (OutputLost()) return Fail(BASS_ERROR_REINIT);
    DropJoinsTo(*s);
    if (!s->Play(restart != FALSE)) return Fail(BASS_ERROR_NOTAVAIL);
    WakeMixer();
    return Ok(TRUE);
  });
}

BOOL BASS_ChannelPlayAfter(DWORD handle, DWORD previous) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
    if (s->DecodeOnly()) return Fail(BASS_ERROR_DECODE);
    DropJoinsTo(*s);
    if (previous == 0) return Ok(TRUE);
    if (OutputLost()) return Fail(BASS_ERROR_REINIT);
    auto p = FindStream(previous);
    if (!p || p == s) return Fail(BASS_ERROR_HANDLE);
    if (p->DecodeOnly()) return Fail(BASS_ERROR_DECODE);
    if (ActiveState(*s) != BASS_ACTIVE_STOPPED) return Fail(BASS_ERROR_ALREADY);
    if (p->SetFollower(s)) return Ok(TRUE);
    if (!s->Play(false)) return Fail(BASS_ERROR_NOTAVAIL);
    WakeMixer();
    return Ok(TRUE);
  });
}

BOOL BASS_ChannelStop(DWORD handle) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
    if (s->DecodeOnly()) return Fail(BASS_ERROR_DECODE);
    s->Stop();
    return Ok(TRUE);
  });
}

BOOL BASS_ChannelPause(DWORD handle) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
    if (s->DecodeOnly()) return Fail(BASS_ERROR_DECODE);
    if (!s->Pause()) return Fail(BASS_ERROR_NOPLAY);
    return Ok(TRUE);
  });
}

DWORD BASS_ChannelIsActive(DWORD handle) {
  return Guarded(DWORD{BASS_ACTIVE_STOPPED}, [&]() -> DWORD {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE, DWORD{BASS_ACTIVE_STOPPED});
    return Ok(ActiveState(*s));
  });
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode) {
  return Guarded(kBadQword, [&]() -> QWORD {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE, kBadQword);
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_ILLTYPE, kBadQword);
    return Ok(static_cast<QWORD>(s->LengthFrames()) * s->Channels() * 2);
  });
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
  return Guarded(kBadQword, [&]() -> QWORD {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE, kBadQword);
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_ILLTYPE, kBadQword);
    const int64_t frames = s->PositionAt(HeardFrame());
    return Ok(static_cast<QWORD>(std::max<int64_t>(0, frames)) * s->Channels() * 2);
  });
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_ILLTYPE);
    const QWORD frameBytes = static_cast<QWORD>(s->Channels()) * 2;
    const QWORD frame = pos / frameBytes;
    const int64_t length = s->LengthFrames();
    if (length > 0 && frame > static_cast<QWORD>(length)) return Fail(BASS_ERROR_POSITION);
    if (!s->SetPosition(static_cast<int64_t>(frame))) return Fail(BASS_ERROR_NOTAVAIL);
    WakeMixer();
    return Ok(TRUE);
  });
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
  return Guarded(-1.0, [&]() -> double {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE, -1.0);
    return Ok(static_cast<double>(pos) / (2.0 * s->Channels() * s->Rate()));
  });
}

QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double pos) {
  return Guarded(kBadQword, [&]() -> QWORD {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE, kBadQword);
    if (!(pos >= 0.0) || pos > 1e9) return Fail(BASS_ERROR_ILLPARAM, kBadQword);
    return Ok(static_cast<QWORD>(std::floor(pos * s->Rate())) * s->Channels() * 2);
  });
}

DWORD BASS_ChannelGetLevel(DWORD handle) {
  return Guarded(kBadDword, [&]() -> DWORD {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE, kBadDword);
    if (s->DecodeOnly()) return Ok(s->LevelAt(0));
    if (ActiveState(*s) != BASS_ACTIVE_PLAYING) return Fail(BASS_ERROR_NOPLAY, DWORD{0});
    return Ok(s->LevelAt(HeardFrame()));
  });
}

BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
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
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
    if (value == nullptr) return Fail(BASS_ERROR_ILLPARAM);
    const auto attribute = AttributeOf(attrib);
    if (!attribute) return Fail(BASS_ERROR_ILLTYPE);
    *value = s->AttributeNow(*attribute, NowSeconds());
    return Ok(TRUE);
  });
}

BOOL BASS_ChannelSlideAttribute(DWORD handle, DWORD attrib, float value, DWORD time) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
    if (std::isnan(value)) return Fail(BASS_ERROR_ILLPARAM);
    // A slide starts where new audio is first heard: at once for a stream
    // that is not playing, after the buffered audio for one that is.
    const double heardStart = s->DecodeOnly() ? 0.0 : HeardChangeTime();
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
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
    const auto attribute = AttributeOf(attrib);
    if (attrib != 0 && !attribute) return Fail(BASS_ERROR_ILLTYPE);
    return Ok(s->SlidingNow(attribute, NowSeconds()) ? TRUE : FALSE);
  });
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
  return Guarded(kBadDword, [&]() -> DWORD {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE, kBadDword);
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
  return Guarded(HFX{0}, [&]() -> HFX {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE, HFX{0});
    if (type != BASS_FX_DX8_PARAMEQ) return Fail(BASS_ERROR_ILLTYPE, HFX{0});
    DWORD fx;
    {
      std::lock_guard<std::mutex> lock(E.mutex);
      if (!E.streams.count(handle)) return Fail(BASS_ERROR_HANDLE, HFX{0});
      fx = E.NewHandle();
      E.effects[fx] = handle;
    }
    s->AddBand(fx, priority);
    return Ok(fx);
  });
}

BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
    {
      std::lock_guard<std::mutex> lock(E.mutex);
      const auto it = E.effects.find(fx);
      if (it == E.effects.end() || it->second != handle) return Fail(BASS_ERROR_HANDLE);
      E.effects.erase(it);
    }
    s->RemoveBand(fx);
    return Ok(TRUE);
  });
}

BOOL BASS_FXSetParameters(HFX handle, const void* params) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindEffectStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
    if (params == nullptr) return Fail(BASS_ERROR_ILLPARAM);
    BASS_DX8_PARAMEQ eq;
    std::memcpy(&eq, params, sizeof eq);
    if (!s->BandParams(handle)) return Fail(BASS_ERROR_HANDLE);
    if (!s->SetBand(handle, quav::PeakingParams{eq.fCenter, eq.fBandwidth, eq.fGain})) return Fail(BASS_ERROR_ILLPARAM);
    return Ok(TRUE);
  });
}

BOOL BASS_FXGetParameters(HFX handle, void* params) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindEffectStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
    if (params == nullptr) return Fail(BASS_ERROR_ILLPARAM);
    const auto band = s->BandParams(handle);
    if (!band) return Fail(BASS_ERROR_HANDLE);
    const BASS_DX8_PARAMEQ eq{band->center, band->bandwidth, band->gain};
    std::memcpy(params, &eq, sizeof eq);
    return Ok(TRUE);
  });
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
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
  return Guarded(static_cast<const char*>(nullptr), [&]() -> const char* {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE, static_cast<const char*>(nullptr));
    return Ok(s->Info().tags.c_str());
  });
}

}  // extern "C"
