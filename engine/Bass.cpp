// The C interface: handle tables, the device, and the engine thread that
// renders playing streams into the output ring.
//
// Threads: any number of callers; the engine thread (MixerLoop), which
// renders playing streams into the ring; the output's consumer (PortAudio
// callback or silent clock), which only reads the ring. Who writes what is
// written beside each field of Engine. Locks, always taken in this order:
// E.lifecycle (held through the whole of BASS_Init and BASS_Free, so that
// one device comes up only after the last one is wholly down), E.mutex,
// then a stream's locks (Stream.h). Anything that needs the engine (the
// heard frame, the time until new audio is heard) is asked before a stream
// is touched. E.wakeMutex is a leaf, held only to signal the engine thread.
#include "bass.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Decoder.h"
#include "FrameRing.h"
#include "Output.h"
#include "Stream.h"
#include "TextUtils.h"

namespace {

using quav::Stream;

thread_local int tLastError = BASS_OK;

template <class T>
T Fail(int code, T result) {
  tLastError = code;
  return result;
}
BOOL Fail(int code) { return Fail(code, FALSE); }
template <class T>
T Ok(T result) {
  tLastError = BASS_OK;
  return result;
}

// Nothing may leave through the C interface as an exception: running out
// of memory and other failures deep inside become error codes.
template <class T, class Fn>
T Guarded(T failure, Fn&& fn) {
  try {
    return fn();
  } catch (const std::bad_alloc&) {
    return Fail(BASS_ERROR_MEM, failure);
  } catch (...) {
    return Fail(BASS_ERROR_UNKNOWN, failure);
  }
}

constexpr QWORD kBadQword = ~QWORD{0};
constexpr DWORD kBadDword = ~DWORD{0};
// Output buffered ahead of the device (seconds); slides and volume changes
// are heard this much (plus the device latency) after they are made.
constexpr double kAheadSeconds = 0.1;
// How often the engine thread tops the ring up while streams play, and how
// long it sleeps when none does (it is woken when one starts; the long
// timeout keeps the load figure current).
constexpr auto kMixPeriod = std::chrono::milliseconds(40);
constexpr auto kIdlePeriod = std::chrono::milliseconds(100);
constexpr size_t kMixBlockFrames = 1024;
constexpr DWORD kMaxDeviceBufferMs = 5000;

double NowSeconds() {
  static const auto epoch = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - epoch).count();
}

struct Engine {
  // Serialises BASS_Init and BASS_Free; never held by anything else.
  std::mutex lifecycle;

  std::mutex mutex;
  // ---- Under mutex (written by BASS_Init, BASS_Free and the handle calls,
  // read by any caller) ----
  bool initialised = false;
  int device = -1;
  std::unique_ptr<quav::Output> output;
  std::map<DWORD, std::shared_ptr<Stream>> streams;
  std::map<DWORD, DWORD> effects;  // effect -> stream
  std::map<std::string, DWORD> plugins;
  std::map<DWORD, DWORD> config{{BASS_CONFIG_NET_PLAYLIST, 0}, {BASS_CONFIG_MF_VIDEO, 1}, {BASS_CONFIG_DEV_BUFFER, 0}};
  DWORD nextHandle = 1;
  // Counts the devices brought up, so that a stream opened for one device
  // is never handed to the next.
  uint64_t generation = 0;

  // ---- The device's figures and ring: written under mutex by BASS_Init
  // before the engine thread starts, and the ring freed by BASS_Free only
  // after that thread has been joined, so the engine thread reads them
  // without the lock; callers read them under mutex. The ring's two
  // counters are its own (FrameRing.h). ----
  int rate = 44100;
  std::unique_ptr<quav::FrameRing> ring;
  double latencyFrames = 0;
  size_t targetFrames = 0;

  // Started by BASS_Init, joined by BASS_Free (under lifecycle only).
  std::thread mixer;
  std::mutex wakeMutex;
  std::condition_variable wake;
  bool stopMixer = false;  // under wakeMutex
  bool wakeUp = false;     // under wakeMutex: a stream started

  // Written by the engine thread (and reset by BASS_Free), read by anyone.
  std::atomic<float> cpu{0.0f};

  DWORD NewHandle() {
    DWORD h = nextHandle++;
    if (nextHandle == 0) nextHandle = 1;
    return h;
  }

  // Output frame being heard now (the output's clock, which runs on while
  // the device plays silence).
  uint64_t HeardFrame() { return output ? output->HeardFrames() : 0; }
  // Seconds from now until a frame written now is heard.
  double AheadSeconds() const {
    return (static_cast<double>(ring->Available()) + latencyFrames) / rate;
  }
};

// Deliberately never destroyed: the output's threads may still run while
// the process exits without BASS_Free.
Engine& E = *new Engine;

std::shared_ptr<Stream> FindStream(DWORD handle) {
  std::lock_guard<std::mutex> lock(E.mutex);
  const auto it = E.streams.find(handle);
  return it == E.streams.end() ? nullptr : it->second;
}

// The stream an effect belongs to.
std::shared_ptr<Stream> FindEffectStream(HFX fx) {
  std::lock_guard<std::mutex> lock(E.mutex);
  const auto it = E.effects.find(fx);
  if (it == E.effects.end()) return nullptr;
  const auto s = E.streams.find(it->second);
  return s == E.streams.end() ? nullptr : s->second;
}

void WakeMixer() {
  {
    std::lock_guard<std::mutex> lock(E.wakeMutex);
    E.wakeUp = true;
  }
  E.wake.notify_all();
}

// Wall time when audio rendered from now on is heard.
double HeardChangeTime() {
  std::lock_guard<std::mutex> lock(E.mutex);
  return NowSeconds() + (E.ring ? E.AheadSeconds() : 0.0);
}
uint64_t HeardFrame() {
  std::lock_guard<std::mutex> lock(E.mutex);
  return E.HeardFrame();
}
// Output frames written to the ring so far.
uint64_t WrittenFrames() {
  std::lock_guard<std::mutex> lock(E.mutex);
  return E.ring ? E.ring->WriteCount() : 0;
}

// Processor time of the calling thread: the load figure counts work done,
// not time spent waiting for a busy machine.
double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Renders every playing stream into the ring until it holds the target.
// The output outlives the thread.
void MixerLoop(quav::Output* output) {
  std::vector<float> mix, part;
  double busy = 0, produced = 0, lastProduced = NowSeconds();
  bool idle = false;
  for (;;) {
    {
      // Idle, it sleeps until a stream starts (with a long timeout for the
      // load figure); busy, it tops the ring up every few milliseconds.
      std::unique_lock<std::mutex> lock(E.wakeMutex);
      E.wake.wait_for(lock, idle ? kIdlePeriod : kMixPeriod, [] { return E.stopMixer || E.wakeUp; });
      if (E.stopMixer) return;
      E.wakeUp = false;
    }
    idle = false;
    for (;;) {
      output->Advance();
      const size_t available = E.ring->Available();
      if (available >= E.targetFrames) break;
      const size_t frames = std::min(kMixBlockFrames, E.targetFrames - available);
      std::vector<std::shared_ptr<Stream>> playing;
      {
        std::lock_guard<std::mutex> lock(E.mutex);
        for (auto& [h, s] : E.streams)
          if (s->WantsMixing()) playing.push_back(s);
      }
      if (playing.empty()) {
        idle = true;
        break;
      }
      const double started = ThreadCpuSeconds();
      const uint64_t outFrame = E.ring->WriteCount();
      const double clock = NowSeconds() + (static_cast<double>(available) + E.latencyFrames) / E.rate;
      mix.assign(frames * 2, 0.0f);
      size_t longest = 0;
      for (auto& s : playing) {
        const int ch = s->Channels();
        if (part.size() < frames * ch) part.resize(kMixBlockFrames * 2);
        const size_t got = s->MixInto(part.data(), frames, outFrame, clock);
        for (size_t i = 0; i < got; ++i) {
          mix[2 * i] += part[i * ch];
          mix[2 * i + 1] += part[i * ch + (ch - 1)];
        }
        longest = std::max(longest, got);
      }
      for (float& v : mix) v = std::clamp(v, -1.0f, 1.0f);
      output->Advance();  // what played while this block was rendered came before it
      E.ring->Write(mix.data(), longest);
      busy += ThreadCpuSeconds() - started;
      produced += static_cast<double>(longest) / E.rate;
      if (produced >= 0.5) {
        E.cpu.store(static_cast<float>(100.0 * busy / produced), std::memory_order_relaxed);
        busy = produced = 0;
        lastProduced = NowSeconds();
      }
      if (longest == 0) break;
    }
    if (NowSeconds() - lastProduced > 1.0) {
      E.cpu.store(produced > 0 ? static_cast<float>(100.0 * busy / produced) : 0.0f, std::memory_order_relaxed);
      busy = produced = 0;
      lastProduced = NowSeconds();
    }
  }
}

std::string NameArgument(const void* name, DWORD flags) {
  if (flags & BASS_UNICODE) return Utf16ToUtf8(std::u16string_view(static_cast<const char16_t*>(name)));
  return static_cast<const char*>(name);
}

bool ValidFreq(float value, int rate) {
  return value == 0.0f || (value >= 100.0f && value <= 16.0f * static_cast<float>(rate));
}

DWORD ActiveState(Stream& s) {
  const uint64_t written = WrittenFrames();  // before the heard frame: never below it
  switch (s.ActivityAt(HeardFrame(), written)) {
    case Stream::Activity::Stopped:
      return BASS_ACTIVE_STOPPED;
    case Stream::Activity::Paused:
      return BASS_ACTIVE_PAUSED;
    case Stream::Activity::Stalled:
      return BASS_ACTIVE_STALLED;
    case Stream::Activity::Playing:
      break;
  }
  return BASS_ACTIVE_PLAYING;
}

std::optional<Stream::Attribute> AttributeOf(DWORD attrib) {
  switch (attrib) {
    case BASS_ATTRIB_VOL:
      return Stream::Attribute::Volume;
    case BASS_ATTRIB_FREQ:
      return Stream::Attribute::Frequency;
    default:
      return std::nullopt;
  }
}

// Brings the device down; E.lifecycle held.
void ShutDown() {
  std::unique_ptr<quav::Output> output;
  std::thread mixer;
  std::map<DWORD, std::shared_ptr<Stream>> streams;
  {
    std::lock_guard<std::mutex> lock(E.mutex);
    output = std::move(E.output);
    mixer = std::move(E.mixer);
    streams.swap(E.streams);
    E.effects.clear();
    for (auto& [h, s] : streams) s->Retire();
    E.initialised = false;
    E.device = -1;
  }
  {
    std::lock_guard<std::mutex> lock(E.wakeMutex);
    E.stopMixer = true;
  }
  E.wake.notify_all();
  if (mixer.joinable()) mixer.join();
  if (output) output->Stop();
  output.reset();
  streams.clear();
  std::lock_guard<std::mutex> lock(E.mutex);
  E.ring.reset();
  E.cpu = 0.0f;
}

}  // namespace

extern "C" {

DWORD BASS_GetVersion(void) { return DWORD{BASSVERSION} << 16; }

DWORD BASS_GetLibraryVersion(DWORD library) {
  switch (library) {
    case BASS_LIBRARY_AVFORMAT:
      return Ok(DWORD{quav::AvformatVersion()});
    case BASS_LIBRARY_AVCODEC:
      return Ok(DWORD{quav::AvcodecVersion()});
    case BASS_LIBRARY_PORTAUDIO:
      return Ok(DWORD{quav::PortAudioVersion()});
    default:
      return Fail(BASS_ERROR_ILLTYPE, DWORD{0});
  }
}

BOOL BASS_SetConfig(DWORD option, DWORD value) {
  std::lock_guard<std::mutex> lock(E.mutex);
  const auto it = E.config.find(option);
  if (it == E.config.end()) return Fail(BASS_ERROR_ILLTYPE);
  if (option == BASS_CONFIG_DEV_BUFFER && value > kMaxDeviceBufferMs) return Fail(BASS_ERROR_ILLPARAM);
  it->second = value;
  return Ok(TRUE);
}

DWORD BASS_GetConfig(DWORD option) {
  std::lock_guard<std::mutex> lock(E.mutex);
  const auto it = E.config.find(option);
  if (it == E.config.end()) return Fail(BASS_ERROR_ILLTYPE, kBadDword);
  return Ok(it->second);
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
    const auto& devices = quav::SystemDevices();
    if (device > devices.size()) return Fail(BASS_ERROR_DEVICE);
    const quav::SystemDevice& d = devices[device - 1];
    info->name = d.name.c_str();
    info->driver = d.driver.c_str();
    info->flags = BASS_DEVICE_ENABLED | (d.isDefault ? BASS_DEVICE_DEFAULT : 0) | init | d.type;
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
    // The silent device needs no look at the sound system.
    static const std::vector<quav::SystemDevice> kNone;
    const auto& devices = device == 0 ? kNone : quav::SystemDevices();
    if (device == -1) {
      const auto it = std::find_if(devices.begin(), devices.end(), [](const auto& d) { return d.isDefault; });
      if (it == devices.end()) return Fail(BASS_ERROR_DEVICE);
      device = static_cast<int>(it - devices.begin()) + 1;
    }
    if (device < 0 || device > static_cast<int>(devices.size())) return Fail(BASS_ERROR_DEVICE);
    const int rate = static_cast<int>(freq);
    double bufferSeconds;
    {
      std::lock_guard<std::mutex> lock(E.mutex);
      bufferSeconds = E.config[BASS_CONFIG_DEV_BUFFER] / 1000.0;
    }
    std::unique_ptr<quav::Output> output = device == 0
                                               ? quav::MakeSilentOutput(rate, bufferSeconds)
                                               : quav::MakeSystemOutput(devices[device - 1], rate, bufferSeconds);
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
    E.latencyFrames = output->LatencySeconds() * rate;
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

DWORD BASS_GetDevice(void) {
  std::lock_guard<std::mutex> lock(E.mutex);
  if (!E.initialised) return Fail(BASS_ERROR_INIT, kBadDword);
  return Ok(static_cast<DWORD>(E.device));
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
        case quav::Decoder::OpenError::FileOpen:
          return Fail(BASS_ERROR_FILEOPEN, HSTREAM{0});
        case quav::Decoder::OpenError::Memory:
          return Fail(BASS_ERROR_MEM, HSTREAM{0});
        default:
          return Fail(BASS_ERROR_FILEFORM, HSTREAM{0});
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
  std::shared_ptr<Stream> doomed;
  {
    std::lock_guard<std::mutex> lock(E.mutex);
    const auto it = E.streams.find(handle);
    if (it == E.streams.end()) return Fail(BASS_ERROR_HANDLE);
    doomed = std::move(it->second);
    E.streams.erase(it);
    std::erase_if(E.effects, [&](const auto& fx) { return fx.second == handle; });
  }
  doomed->Retire();
  return Ok(TRUE);
}

QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode) {
  auto s = FindStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE, kBadQword);
  switch (mode) {
    case BASS_FILEPOS_CURRENT:
      return Ok(static_cast<QWORD>(s->FilePosition()));
    case BASS_FILEPOS_DOWNLOAD:
    case BASS_FILEPOS_END:
      return Ok(static_cast<QWORD>(s->FileSize()));
    case BASS_FILEPOS_START:
      return Ok(static_cast<QWORD>(s->DataStart()));
    default:
      return Fail(BASS_ERROR_ILLTYPE, kBadQword);
  }
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto s = FindStream(handle);
    if (!s) return Fail(BASS_ERROR_HANDLE);
    if (s->DecodeOnly()) return Fail(BASS_ERROR_DECODE);
    if (!s->Play(restart != FALSE)) return Fail(BASS_ERROR_NOTAVAIL);
    WakeMixer();
    return Ok(TRUE);
  });
}

BOOL BASS_ChannelStop(DWORD handle) {
  auto s = FindStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE);
  if (s->DecodeOnly()) return Fail(BASS_ERROR_DECODE);
  s->Stop();
  return Ok(TRUE);
}

BOOL BASS_ChannelPause(DWORD handle) {
  auto s = FindStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE);
  if (s->DecodeOnly()) return Fail(BASS_ERROR_DECODE);
  if (!s->Pause()) return Fail(BASS_ERROR_NOPLAY);
  return Ok(TRUE);
}

DWORD BASS_ChannelIsActive(DWORD handle) {
  auto s = FindStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE, DWORD{BASS_ACTIVE_STOPPED});
  return Ok(ActiveState(*s));
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode) {
  auto s = FindStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE, kBadQword);
  if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_ILLTYPE, kBadQword);
  return Ok(static_cast<QWORD>(s->LengthFrames()) * s->Channels() * 2);
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
  auto s = FindStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE, kBadQword);
  if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_ILLTYPE, kBadQword);
  const int64_t frames = s->PositionAt(HeardFrame());
  return Ok(static_cast<QWORD>(std::max<int64_t>(0, frames)) * s->Channels() * 2);
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
  auto s = FindStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE, -1.0);
  return Ok(static_cast<double>(pos) / (2.0 * s->Channels() * s->Rate()));
}

QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double pos) {
  auto s = FindStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE, kBadQword);
  if (!(pos >= 0.0) || pos > 1e9) return Fail(BASS_ERROR_ILLPARAM, kBadQword);
  return Ok(static_cast<QWORD>(std::floor(pos * s->Rate())) * s->Channels() * 2);
}

DWORD BASS_ChannelGetLevel(DWORD handle) {
  auto s = FindStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE, kBadDword);
  if (s->DecodeOnly()) return Ok(s->LevelAt(0));
  if (ActiveState(*s) != BASS_ACTIVE_PLAYING) return Fail(BASS_ERROR_NOPLAY, DWORD{0});
  return Ok(s->LevelAt(HeardFrame()));
}

BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
  auto s = FindStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE);
  if (std::isnan(value)) return Fail(BASS_ERROR_ILLPARAM);
  switch (attrib) {
    case BASS_ATTRIB_VOL:
      s->SetAttribute(Stream::Attribute::Volume, std::clamp(value, 0.0f, 10.0f));
      return Ok(TRUE);
    case BASS_ATTRIB_FREQ:
      if (!ValidFreq(value, s->Rate())) return Fail(BASS_ERROR_ILLPARAM);
      s->SetAttribute(Stream::Attribute::Frequency, value == 0.0f ? static_cast<float>(s->Rate()) : value);
      return Ok(TRUE);
    default:
      return Fail(BASS_ERROR_ILLTYPE);
  }
}

BOOL BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value) {
  auto s = FindStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE);
  if (value == nullptr) return Fail(BASS_ERROR_ILLPARAM);
  const auto attribute = AttributeOf(attrib);
  if (!attribute) return Fail(BASS_ERROR_ILLTYPE);
  *value = s->AttributeNow(*attribute, NowSeconds());
  return Ok(TRUE);
}

BOOL BASS_ChannelSlideAttribute(DWORD handle, DWORD attrib, float value, DWORD time) {
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
    default:
      return Fail(BASS_ERROR_ILLTYPE);
  }
}

BOOL BASS_ChannelIsSliding(DWORD handle, DWORD attrib) {
  auto s = FindStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE);
  const auto attribute = AttributeOf(attrib);
  if (attrib != 0 && !attribute) return Fail(BASS_ERROR_ILLTYPE);
  return Ok(s->SlidingNow(attribute, NowSeconds()) ? TRUE : FALSE);
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
}

BOOL BASS_FXSetParameters(HFX handle, const void* params) {
  auto s = FindEffectStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE);
  if (params == nullptr) return Fail(BASS_ERROR_ILLPARAM);
  BASS_DX8_PARAMEQ eq;
  std::memcpy(&eq, params, sizeof eq);
  if (!s->BandParams(handle)) return Fail(BASS_ERROR_HANDLE);
  if (!s->SetBand(handle, quav::PeakingParams{eq.fCenter, eq.fBandwidth, eq.fGain})) return Fail(BASS_ERROR_ILLPARAM);
  return Ok(TRUE);
}

BOOL BASS_FXGetParameters(HFX handle, void* params) {
  auto s = FindEffectStream(handle);
  if (!s) return Fail(BASS_ERROR_HANDLE);
  if (params == nullptr) return Fail(BASS_ERROR_ILLPARAM);
  const auto band = s->BandParams(handle);
  if (!band) return Fail(BASS_ERROR_HANDLE);
  const BASS_DX8_PARAMEQ eq{band->center, band->bandwidth, band->gain};
  std::memcpy(params, &eq, sizeof eq);
  return Ok(TRUE);
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
