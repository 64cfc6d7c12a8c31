#include "EngineState.h"

#include <algorithm>
#include <chrono>

#include "Decoder.h"
#include "Devices.h"

namespace quav::bass {

using quav::Stream;

namespace {
// Beyond the audio still on its way: the device clock moves a period at a
// time, and a busy machine runs the callback late.
constexpr double kDrainSlackSeconds = 0.25;
}  // namespace

double NowSeconds() {
  static const auto epoch = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - epoch).count();
}

Engine& E = *new Engine;

// ---- Options ----

int Engine::SetConfig(DWORD option, DWORD value) {
  std::lock_guard<std::mutex> lock(fMutex);
  const auto it = fConfig.find(option);
  if (it == fConfig.end()) return BASS_ERROR_ILLTYPE;
  if (option == BASS_CONFIG_DEV_BUFFER && value > kMaxDeviceBufferMs) return BASS_ERROR_ILLPARAM;
  it->second = value;
  return BASS_OK;
}

std::optional<DWORD> Engine::Config(DWORD option) {
  std::lock_guard<std::mutex> lock(fMutex);
  const auto it = fConfig.find(option);
  if (it == fConfig.end()) return std::nullopt;
  return it->second;
}

// ---- The device ----

int Engine::StartUp(int device, int rate) {
  std::lock_guard<std::mutex> lifecycle(fLifecycle);
  {
    std::lock_guard<std::mutex> lock(fMutex);
    if (fInitialised) return BASS_ERROR_ALREADY;
  }
  quav::QuietFFmpeg();
  // The silent device needs no look at the sound system. The default
  // device is the one flagged default, and a server's sink opened as the
  // default follows the server's default from then on.
  const bool followDefault = device == -1;
  if (device == -1 && (device = quav::DefaultSystemDevice()) == 0) return BASS_ERROR_DEVICE;
  const quav::SystemDevice* system = device == 0 ? nullptr : quav::SystemDeviceAt(device);
  if (device != 0 && system == nullptr) return BASS_ERROR_DEVICE;
  const double bufferSeconds = Config(BASS_CONFIG_DEV_BUFFER).value_or(0) / 1000.0;
  // A device takes at most half of what the engine thread keeps ahead at
  // once, so one take never leaves the ring empty.
  std::unique_ptr<quav::Output> output =
      system == nullptr ? quav::MakeSilentOutput(rate, bufferSeconds)
                        : quav::MakeSystemOutput(*system, followDefault, rate, bufferSeconds, kAheadSeconds / 2);
  if (!output) return BASS_ERROR_DRIVER;

  std::lock_guard<std::mutex> lock(fMutex);
  if (fInitialised) return BASS_ERROR_ALREADY;
  fRate = rate;
  const auto targetFrames = static_cast<size_t>(kAheadSeconds * rate);
  fRing = std::make_unique<quav::FrameRing>(std::max<size_t>(16384, 2 * targetFrames), 2);
  if (!output->Start(*fRing)) {
    fRing.reset();
    return BASS_ERROR_START;
  }
  fOutput = std::move(output);
  fDevice = device;
  fInitialised = true;
  ++fGeneration;
  {
    std::lock_guard<std::mutex> wakeLock(fWakeMutex);
    fStopMixer = false;
    fWakeUp = false;
  }
  fMixer = std::thread(&Engine::MixLoop, this, MixTarget{fOutput.get(), fRing.get(), fRate, targetFrames});
  return BASS_OK;
}

int Engine::ShutDown() {
  std::lock_guard<std::mutex> lifecycle(fLifecycle);
  std::unique_ptr<quav::Output> output;
  std::thread mixer;
  std::map<DWORD, std::shared_ptr<Stream>> streams;
  {
    std::lock_guard<std::mutex> lock(fMutex);
    if (!fInitialised) return BASS_ERROR_INIT;
    output = std::move(fOutput);
    mixer = std::move(fMixer);
    streams.swap(fStreams);
    fEffects.clear();
    for (auto& [h, s] : streams) s->Retire();
    fInitialised = false;
    fDevice = -1;
  }
  {
    std::lock_guard<std::mutex> lock(fWakeMutex);
    fStopMixer = true;
  }
  fWake.notify_all();
  if (mixer.joinable()) mixer.join();
  if (output) {
    // What was mixed is heard to its end (the fade that comes before the
    // engine is freed) before the device stops: at most what the ring and
    // the device hold now, and some slack.
    double ahead;
    {
      std::lock_guard<std::mutex> lock(fMutex);
      ahead = output->AheadFrames(*fRing) / fRate;
    }
    output->Drain(ahead + kDrainSlackSeconds);
    output->Stop();
  }
  output.reset();
  streams.clear();
  std::lock_guard<std::mutex> lock(fMutex);
  fRing.reset();
  fCpu = 0.0f;
  return BASS_OK;
}

int Engine::Device() {
  std::lock_guard<std::mutex> lock(fMutex);
  return fInitialised ? fDevice : -1;
}

DeviceState Engine::State() {
  std::lock_guard<std::mutex> lock(fMutex);
  if (!fInitialised) return DeviceState::Down;
  return fOutput->Lost() ? DeviceState::Lost : DeviceState::Running;
}

ClockSnapshot Engine::ClockLocked() {
  ClockSnapshot clock;
  clock.written = fRing ? fRing->WriteCount() : 0;
  clock.heard = fOutput ? fOutput->HeardFrames() : 0;
  clock.lost = fOutput && fOutput->Lost();
  return clock;
}

ClockSnapshot Engine::Clock() {
  std::lock_guard<std::mutex> lock(fMutex);
  return ClockLocked();
}

double Engine::HeardChangeTime() {
  std::lock_guard<std::mutex> lock(fMutex);
  return NowSeconds() + (fRing && fOutput ? fOutput->AheadFrames(*fRing) / fRate : 0.0);
}

// ---- Handles ----

DWORD Engine::NewHandle() {
  DWORD h = fNextHandle++;
  if (fNextHandle == 0) fNextHandle = 1;
  return h;
}

MadeHandle Engine::AddPlugin(const std::string& name) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (fPlugins.count(name)) return {0, BASS_ERROR_ALREADY};
  const DWORD h = NewHandle();
  fPlugins[name] = h;
  return {h};
}

std::optional<OpeningFor> Engine::Opening() {
  std::lock_guard<std::mutex> lock(fMutex);
  if (!fInitialised) return std::nullopt;
  return OpeningFor{fGeneration, fRate};
}

MadeHandle Engine::AddStream(const OpeningFor& opening, std::shared_ptr<Stream> stream) {
  std::lock_guard<std::mutex> lock(fMutex);
  if (!fInitialised || fGeneration != opening.generation) return {0, BASS_ERROR_INIT};
  const DWORD h = NewHandle();
  fStreams[h] = std::move(stream);
  return {h};
}

int Engine::FreeStream(DWORD handle) {
  std::shared_ptr<Stream> doomed;
  {
    std::lock_guard<std::mutex> lock(fMutex);
    const auto it = fStreams.find(handle);
    if (it == fStreams.end()) return BASS_ERROR_HANDLE;
    doomed = std::move(it->second);
    fStreams.erase(it);
    std::erase_if(fEffects, [&](const auto& fx) { return fx.second == handle; });
    DropJoinsTo(*doomed);
  }
  doomed->Retire();
  return BASS_OK;
}

std::shared_ptr<Stream> Engine::FindStream(DWORD handle) {
  std::lock_guard<std::mutex> lock(fMutex);
  const auto it = fStreams.find(handle);
  return it == fStreams.end() ? nullptr : it->second;
}

std::shared_ptr<Stream> Engine::FindEffectStream(HFX fx) {
  std::lock_guard<std::mutex> lock(fMutex);
  const auto it = fEffects.find(fx);
  if (it == fEffects.end()) return nullptr;
  const auto s = fStreams.find(it->second);
  return s == fStreams.end() ? nullptr : s->second;
}

MadeHandle Engine::AddEffect(Stream& s, DWORD stream, int priority) {
  DWORD fx;
  {
    std::lock_guard<std::mutex> lock(fMutex);
    if (!fStreams.count(stream)) return {0, BASS_ERROR_HANDLE};
    fx = NewHandle();
    fEffects[fx] = stream;
  }
  s.AddBand(fx, priority);
  return {fx};
}

int Engine::RemoveEffect(Stream& s, DWORD stream, HFX fx) {
  {
    std::lock_guard<std::mutex> lock(fMutex);
    const auto it = fEffects.find(fx);
    if (it == fEffects.end() || it->second != stream) return BASS_ERROR_HANDLE;
    fEffects.erase(it);
  }
  s.RemoveBand(fx);
  return BASS_OK;
}

// ---- Playing ----

// No stream starts s when it ends any more.
void Engine::DropJoinsTo(const Stream& s) {
  for (auto& [h, other] : fStreams) other->DropFollower(&s);
}

void Engine::WakeMixer() {
  {
    std::lock_guard<std::mutex> lock(fWakeMutex);
    fWakeUp = true;
  }
  fWake.notify_all();
}

int Engine::Play(const std::shared_ptr<Stream>& s, bool restart) {
  {
    std::lock_guard<std::mutex> lock(fMutex);
    if (fOutput && fOutput->Lost()) return BASS_ERROR_REINIT;
    DropJoinsTo(*s);
  }
  if (!s->Play(restart)) return BASS_ERROR_NOTAVAIL;
  WakeMixer();
  return BASS_OK;
}

int Engine::Join(const std::shared_ptr<Stream>& s, DWORD previous) {
  std::shared_ptr<Stream> p;
  ClockSnapshot clock;
  {
    std::lock_guard<std::mutex> lock(fMutex);
    DropJoinsTo(*s);
    if (previous == 0) return BASS_OK;
    if (fOutput && fOutput->Lost()) return BASS_ERROR_REINIT;
    const auto it = fStreams.find(previous);
    if (it != fStreams.end()) p = it->second;
    clock = ClockLocked();
  }
  if (!p || p == s) return BASS_ERROR_HANDLE;
  if (p->DecodeOnly()) return BASS_ERROR_DECODE;
  if (s->ActivityAt(clock.heard, clock.written) != Stream::Activity::Stopped) return BASS_ERROR_ALREADY;
  if (p->SetFollower(s)) return BASS_OK;
  if (!s->Play(false)) return BASS_ERROR_NOTAVAIL;
  WakeMixer();
  return BASS_OK;
}

int Engine::Seek(Stream& s, int64_t frame) {
  if (!s.SetPosition(frame)) return BASS_ERROR_NOTAVAIL;
  WakeMixer();
  return BASS_OK;
}

}  // namespace quav::bass
