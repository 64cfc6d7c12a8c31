#include "EngineState.h"

#include <chrono>

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

bool OutputLost() {
  std::lock_guard<std::mutex> lock(E.mutex);
  return E.output && E.output->Lost();
}

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
  if (output) {
    // What was mixed is heard to its end (the fade that comes before the
    // engine is freed) before the device stops.
    double ahead = 0;
    {
      std::lock_guard<std::mutex> lock(E.mutex);
      if (E.ring) ahead = E.AheadSeconds();
    }
    output->Drain(ahead + kDrainSlackSeconds);
    output->Stop();
  }
  output.reset();
  streams.clear();
  std::lock_guard<std::mutex> lock(E.mutex);
  E.ring.reset();
  E.cpu = 0.0f;
}

}  // namespace quav::bass
