// The engine thread: tops the output ring up with the mix of every playing
// stream, and measures the processor load that rendering costs.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "EngineState.h"

namespace quav::bass {

using quav::Stream;

namespace {

// How often the engine thread tops the ring up while streams play, and how
// long it sleeps when none does (it is woken when one starts; the long
// timeout keeps the load figure current).
constexpr auto kMixPeriod = std::chrono::milliseconds(50);
constexpr auto kIdlePeriod = std::chrono::milliseconds(100);
// Frames rendered per block, at most.
constexpr size_t kMixBlockFrames = 1024;
// The least it tops up at once. The output takes frames out while it
// renders, so "until the ring holds the target" alone could go on in
// blocks of a few frames, each a record entry of its own in every stream,
// for as long as a pass takes longer than a frame lasts.
constexpr size_t kMixLeastFrames = 256;
// Streams that may follow one another within one block.
constexpr int kMostJoinsPerBlock = 8;
// The load figure is the processor time spent per second of audio over at
// least this much audio...
constexpr double kLoadWindowSeconds = 0.5;
// ...and is brought up to date when no block came for this long.
constexpr double kLoadStaleSeconds = 1.0;

// Processor time of the calling thread: the load figure counts work done,
// not time spent waiting for a busy machine.
double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

bool Engine::WaitForRound(bool idle) {
  std::unique_lock<std::mutex> lock(fWakeMutex);
  fWake.wait_for(lock, idle ? kIdlePeriod : kMixPeriod, [this] { return fStopMixer || fWakeUp; });
  if (fStopMixer) return false;
  fWakeUp = false;
  return true;
}

std::vector<std::shared_ptr<Stream>> Engine::PlayingStreams() {
  std::vector<std::shared_ptr<Stream>> playing;
  std::lock_guard<std::mutex> lock(fMutex);
  for (auto& [h, s] : fStreams)
    if (s->WantsMixing()) playing.push_back(s);
  return playing;
}

void Engine::MixLoop(MixTarget target) {
  quav::Output* const output = target.output;
  quav::FrameRing& ring = *target.ring;
  std::vector<float> mix, part;
  double busy = 0, produced = 0, lastProduced = NowSeconds();
  bool idle = false;
  // Idle, it sleeps until a stream starts (with a long timeout for the load
  // figure); busy, it tops the ring up every 50 ms.
  while (WaitForRound(idle)) {
    idle = false;
    for (;;) {
      output->Advance();
      const size_t available = ring.Available();
      if (available + kMixLeastFrames > target.targetFrames) break;
      const size_t frames = std::min(kMixBlockFrames, target.targetFrames - available);
      const std::vector<std::shared_ptr<Stream>> playing = PlayingStreams();
      if (playing.empty()) {
        idle = true;
        break;
      }
      const double started = ThreadCpuSeconds();
      const uint64_t outFrame = ring.WriteCount();
      const double clock = NowSeconds() + output->AheadFrames(ring) / target.rate;
      mix.assign(frames * 2, 0.0f);
      size_t longest = 0;
      if (part.size() < frames * 2) part.resize(kMixBlockFrames * 2);
      for (auto& s : playing) {
        // A stream that ends within the block hands the rest of it to the
        // stream that follows it (a bounded chain of very short ones).
        size_t done = 0;
        std::shared_ptr<Stream> current = s;
        for (int link = 0; link < kMostJoinsPerBlock; ++link) {
          const int ch = current->Channels();
          const size_t want = frames - done;
          const size_t got = current->MixInto(part.data(), want, outFrame + done,
                                              clock + static_cast<double>(done) / target.rate);
          for (size_t i = 0; i < got; ++i) {
            mix[2 * (done + i)] += part[i * ch];
            mix[2 * (done + i) + 1] += part[i * ch + (ch - 1)];
          }
          done += got;
          if (got == want) break;
          current = current->TakeFollower();
          if (!current || !current->Play(false)) break;
        }
        longest = std::max(longest, done);
      }
      for (float& v : mix) v = std::clamp(v, -1.0f, 1.0f);
      output->Advance();  // what played while this block was rendered came before it
      ring.Write(mix.data(), longest);
      busy += ThreadCpuSeconds() - started;
      produced += static_cast<double>(longest) / target.rate;
      if (produced >= kLoadWindowSeconds) {
        fCpu.store(static_cast<float>(100.0 * busy / produced), std::memory_order_relaxed);
        busy = produced = 0;
        lastProduced = NowSeconds();
      }
      if (longest == 0) break;
    }
    if (NowSeconds() - lastProduced > kLoadStaleSeconds) {
      fCpu.store(produced > 0 ? static_cast<float>(100.0 * busy / produced) : 0.0f, std::memory_order_relaxed);
      busy = produced = 0;
      lastProduced = NowSeconds();
    }
  }
}

}  // namespace quav::bass
