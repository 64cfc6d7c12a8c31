#include "Stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quav {

namespace {

// Frames per processing block: slides and the frequency move in steps of
// this size, and the record keeps one entry per block.
constexpr size_t kBlockFrames = 256;
// Record entries kept: several seconds at common rates, far more than the
// output buffer and the level window need.
constexpr size_t kMaxRecord = 2048;
// Consumed source frames kept before compacting the source buffer: few,
// so that the buffer stays small enough to stay in the processor's cache
// (with 16384 the MP3 pipeline ran 2-3 % slower).
constexpr int64_t kCompactFrames = 2048;

inline float Hermite(float xm1, float x0, float x1, float x2, float t) {
  const float c1 = 0.5f * (x1 - xm1);
  const float c2 = xm1 - 2.5f * x0 + 2.0f * x1 - 0.5f * x2;
  const float c3 = 0.5f * (x2 - xm1) + 1.5f * (x0 - x1);
  return ((c3 * t + c2) * t + c1) * t + x0;
}

}  // namespace

Stream::Stream(std::unique_ptr<Decoder> decoder, bool decodeOnly, int outRate)
    : fDecodeOnly(decodeOnly),
      fRate(decoder->Rate()),
      fChannels(decoder->Channels()),
      fOutRate(outRate),
      fSourceRate(fRate),
      fFileSize(decoder->FileSize()),
      fDataStart(decoder->DataStart()),
      fInfo(&decoder->Info()),
      fDecoder(std::move(decoder)),
      fRecord(kMaxRecord) {
  fFreq.Set(static_cast<float>(fRate));
  if (!decodeOnly && outRate != fRate) {
    auto converter = std::make_unique<RateConverter>(fChannels, fRate, outRate);
    if (converter->Valid()) {
      fConverter = std::move(converter);
      fSourceRate = outRate;
    }
  }
  fLengthNow = fDecoder->LengthFrames();
  fFilePositionNow = fDecoder->FilePosition();
}

// ---- Render side -------------------------------------------------------------

void Stream::FillSource(int64_t needEnd) {
  const int64_t consumed = static_cast<int64_t>(std::floor(fPos)) - 2 - fSourceBase;
  // Only once the consumed part outweighs the rest, so that a decoder
  // yielding long frames is not moved again for every few frames taken.
  if (consumed > kCompactFrames && consumed >= SourceEnd() - fSourceBase - consumed) {
    fSource.erase(fSource.begin(), fSource.begin() + consumed * fChannels);
    fSourceBase += consumed;
  }
  while (SourceEnd() < needEnd && !fSourceEnded) {
    Samples& target = fConverter ? fDecoded : fSource;
    if (fConverter) fDecoded.clear();
    const size_t before = target.size();
    if (!fDecoder->Decode(target)) {
      if (fConverter) fConverter->Flush(fSource);
      fSourceEnded = true;
      break;
    }
    const size_t frames = (target.size() - before) / fChannels;
    // The bands run in chains of up to 64, in running order, over the
    // frames just decoded.
    float* decoded = target.data() + before;
    PeakingBand* chain[64];
    size_t count = 0;
    for (Band& band : fBands) {
      if (count == std::size(chain)) {
        ProcessBands(chain, count, decoded, frames, fChannels);
        count = 0;
      }
      chain[count++] = &band.filter;
    }
    ProcessBands(chain, count, decoded, frames, fChannels);
    fDecodedFrames += static_cast<int64_t>(frames);
    if (fConverter) fConverter->Convert(fDecoded.data(), frames, fSource);
  }
}

size_t Stream::Resample(float* out, size_t frames, double step) {
  const int ch = fChannels;
  size_t i = 0;
  while (i < frames) {
    const auto ip = static_cast<int64_t>(std::floor(fPos));
    if (ip + 3 > SourceEnd() && !fSourceEnded)
      FillSource(ip + 3 + static_cast<int64_t>(std::ceil((frames - i) * step)));
    const int64_t end = SourceEnd();
    if (ip >= end) {
      if (fSourceEnded) break;
      continue;  // the converter may need more input before it yields
    }
    const double frac = fPos - static_cast<double>(ip);
    if (frac == 0.0 && step == 1.0) {
      // Same rate, on a frame boundary: a straight copy.
      const size_t k = std::min<size_t>(frames - i, static_cast<size_t>(end - ip));
      std::memcpy(out + i * ch, &fSource[static_cast<size_t>(ip - fSourceBase) * ch], k * ch * sizeof(float));
      i += k;
      fPos += static_cast<double>(k);
      continue;
    }
    auto at = [&](int64_t f, int c) -> float {
      if (f < fSourceBase) f = fSourceBase;
      if (f >= end) return 0.0f;
      return fSource[static_cast<size_t>(f - fSourceBase) * ch + c];
    };
    const auto t = static_cast<float>(frac);
    for (int c = 0; c < ch; ++c) out[i * ch + c] = Hermite(at(ip - 1, c), at(ip, c), at(ip + 1, c), at(ip + 2, c), t);
    ++i;
    fPos += step;
  }
  return i;
}

void Stream::Publish() {
  double pos = fPos;
  if (fSourceEnded) pos = std::min(pos, static_cast<double>(SourceEnd()));
  const int64_t delivered = ToFileFrames(pos);
  fDeliveredNow = fSourceEnded ? std::min(delivered, fDecodedFrames) : delivered;
  fEndedNow = fSourceEnded && fPos >= static_cast<double>(SourceEnd());
  fSourceEndedNow = fSourceEnded;
  fDecodedFramesNow = fDecodedFrames;
  fLengthNow = fSourceEnded ? fDecodedFrames : fDecoder->LengthFrames();
  fFilePositionNow = fDecoder->FilePosition();
}

size_t Stream::Render(float* out, size_t frames, uint64_t outFrame, double clockStart) {
  const double secondsPerFrame = 1.0 / fOutRate;
  size_t done = 0;
  while (done < frames) {
    const size_t n = std::min(kBlockFrames, frames - done);
    const double t0 = clockStart + static_cast<double>(done) * secondsPerFrame;
    const double t1 = t0 + static_cast<double>(n) * secondsPerFrame;
    double step;
    float v0, v1;
    {
      std::lock_guard<std::mutex> lock(fStateMutex);
      // Source frames per output frame: the rate asked for, over the output
      // rate, in the units of the source buffer.
      step = static_cast<double>(fFreq.At(t0)) * fSourceRate / fRate / fOutRate;
      v0 = fVolume.At(t0);
      v1 = fVolume.At(t1);
    }
    const double srcStart = fPos;
    float* block = out + done * fChannels;
    const size_t got = Resample(block, n, step);
    if (got == 0) break;
    float left = 0, right = 0;
    if (v0 == v1) {
      ScaleAndMeasurePeaks(block, got, fChannels, v0, left, right);
    } else {
      const float dv = (v1 - v0) / static_cast<float>(n);
      for (size_t i = 0; i < got; ++i) {
        const float v = v0 + dv * static_cast<float>(i);
        for (int c = 0; c < fChannels; ++c) block[i * fChannels + c] *= v;
      }
      MeasurePeaks(block, got, fChannels, left, right);
    }
    double srcEnd = fPos;
    if (fSourceEnded) srcEnd = std::min(srcEnd, static_cast<double>(SourceEnd()));
    {
      std::lock_guard<std::mutex> lock(fStateMutex);
      fRecord.push_back({outFrame + done, outFrame + done + got, srcStart, srcEnd, left, right});
      fRendered += got;
      if (!fRenderedSincePlay) fFirstFrameSincePlay = outFrame;
      fRenderedSincePlay = true;
      Publish();
    }
    done += got;
    if (got < n) break;
  }
  std::lock_guard<std::mutex> lock(fStateMutex);
  Publish();
  return done;
}

bool Stream::Rewind() {
  if (!fDecoder->Rewind()) return false;
  if (fConverter) fConverter->Reset();
  fSource.clear();
  fSourceBase = 0;
  fPos = 0.0;
  fSourceEnded = false;
  fDecodedFrames = 0;
  for (Band& band : fBands) band.filter.Reset();
  std::lock_guard<std::mutex> lock(fStateMutex);
  fRecord.clear();
  Publish();
  return true;
}

bool Stream::SetPosition(int64_t frame) {
  std::lock_guard<std::mutex> lock(fRenderMutex);
  {
    std::lock_guard<std::mutex> state(fStateMutex);
    if (fLengthNow > 0) frame = std::min(frame, fLengthNow);
  }
  const int64_t landed = fDecoder->SeekTo(std::max<int64_t>(0, frame));
  if (landed < 0) return false;
  if (fConverter) fConverter->Reset();
  fSource.clear();
  // Source-buffer frames count at the converted rate.
  fSourceBase = fSourceRate == fRate ? landed : landed * fSourceRate / fRate;
  fPos = static_cast<double>(fSourceBase);
  fSourceEnded = false;
  fDecodedFrames = landed;
  for (Band& band : fBands) band.filter.Reset();
  std::lock_guard<std::mutex> state(fStateMutex);
  Publish();
  // A stream whose end was rendered but not yet heard has more to render.
  if (fState == Activity::Playing) fMixing.store(true, std::memory_order_release);
  return true;
}

size_t Stream::MixInto(float* out, size_t frames, uint64_t outFrame, double clockStart) {
  std::lock_guard<std::mutex> lock(fRenderMutex);
  {
    std::lock_guard<std::mutex> state(fStateMutex);
    if (fState != Activity::Playing) return 0;
  }
  size_t got = 0;
  try {
    got = Render(out, frames, outFrame, clockStart);
  } catch (...) {
    // Out of memory while decoding: the stream ends here.
    std::lock_guard<std::mutex> state(fStateMutex);
    fState = Activity::Stopped;
  }
  if (got < frames) fMixing.store(false, std::memory_order_release);
  return got;
}

size_t Stream::Read(float* out, size_t frames) {
  std::lock_guard<std::mutex> lock(fRenderMutex);
  double clock;
  uint64_t at;
  {
    std::lock_guard<std::mutex> state(fStateMutex);
    if (fEndedNow) return 0;
    at = fRendered;
    clock = ClockNow(0.0);
  }
  return Render(out, frames, at, clock);
}

// ---- Playing -------------------------------------------------------------------

bool Stream::Play(bool restart) {
  std::lock_guard<std::mutex> lock(fRenderMutex);
  bool ended;
  {
    std::lock_guard<std::mutex> state(fStateMutex);
    ended = fEndedNow;
  }
  if ((restart || ended) && !Rewind()) return false;
  std::lock_guard<std::mutex> state(fStateMutex);
  if (fRetired) return false;
  fState = Activity::Playing;
  fRenderedSincePlay = false;
  fMixing.store(true, std::memory_order_release);
  return true;
}

void Stream::Stop() {
  std::shared_ptr<Stream> dropped;  // released after the lock
  std::lock_guard<std::mutex> state(fStateMutex);
  fState = Activity::Stopped;
  fMixing.store(false, std::memory_order_release);
  dropped = std::move(fFollower);
}

void Stream::Retire() {
  std::shared_ptr<Stream> dropped;
  std::lock_guard<std::mutex> state(fStateMutex);
  fRetired = true;
  fMixing.store(false, std::memory_order_release);
  dropped = std::move(fFollower);
}

bool Stream::SetFollower(std::shared_ptr<Stream> next) {
  std::lock_guard<std::mutex> state(fStateMutex);
  const bool endToCome = !fRetired && !fEndedNow && (fState == Activity::Playing || fState == Activity::Paused);
  if (!endToCome || next.get() == this) return false;
  fFollower = std::move(next);
  return true;
}

void Stream::DropFollower(const Stream* next) {
  std::shared_ptr<Stream> dropped;
  std::lock_guard<std::mutex> state(fStateMutex);
  if (next == nullptr || fFollower.get() == next) dropped = std::move(fFollower);
}

std::shared_ptr<Stream> Stream::TakeFollower() {
  std::lock_guard<std::mutex> state(fStateMutex);
  // Paused (or stopped) between the engine thread's look and its render:
  // no end yet. A render that failed stops the stream, which is an end.
  if (fState == Activity::Paused || (fState == Activity::Playing && !fEndedNow)) return nullptr;
  return std::move(fFollower);
}

bool Stream::Pause() {
  std::lock_guard<std::mutex> state(fStateMutex);
  if (fState != Activity::Playing) return false;
  fState = Activity::Paused;
  fMixing.store(false, std::memory_order_release);
  return true;
}

bool Stream::Ended() const {
  std::lock_guard<std::mutex> state(fStateMutex);
  return fEndedNow;
}

Stream::Activity Stream::ActivityAt(uint64_t heard, uint64_t written) {
  std::lock_guard<std::mutex> state(fStateMutex);
  if (fDecodeOnly) return fEndedNow ? Activity::Stopped : Activity::Playing;
  if (fState != Activity::Playing) return fState;
  if (fEndedNow && heard >= (fRecord.empty() ? 0 : fRecord.back().outEnd)) {
    fState = Activity::Stopped;
    fMixing.store(false, std::memory_order_release);
    return Activity::Stopped;
  }
  // Everything the output was given has been heard while this stream is
  // still being decoded: the device is playing silence, waiting for it.
  if (fRenderedSincePlay && written > fFirstFrameSincePlay && heard >= written) return Activity::Stalled;
  return Activity::Playing;
}

// ---- Figures ---------------------------------------------------------------------

int64_t Stream::ToFileFrames(double pos) const {
  if (fSourceRate == fRate) return static_cast<int64_t>(std::floor(pos));
  return static_cast<int64_t>(std::floor(pos * fRate / fSourceRate));
}

int64_t Stream::LengthFrames() const {
  std::lock_guard<std::mutex> state(fStateMutex);
  return fLengthNow;
}

int64_t Stream::FilePosition() const {
  std::lock_guard<std::mutex> state(fStateMutex);
  return fFilePositionNow;
}

int64_t Stream::PositionAt(uint64_t heard) const {
  std::lock_guard<std::mutex> state(fStateMutex);
  if (fDecodeOnly || fRecord.empty()) return fDeliveredNow;
  // The first block that starts after the heard frame...
  size_t low = 0, high = fRecord.size();
  while (low < high) {
    const size_t mid = low + (high - low) / 2;
    if (heard < fRecord[mid].outStart)
      high = mid;
    else
      low = mid + 1;
  }
  int64_t frames;
  if (low == 0) {
    frames = ToFileFrames(fRecord.front().srcStart);
  } else {
    const Block& b = fRecord[low - 1];  // ...and the one before it
    if (heard >= b.outEnd) {
      frames = ToFileFrames(b.srcEnd);
    } else {
      const double k = static_cast<double>(heard - b.outStart) / static_cast<double>(b.outEnd - b.outStart);
      frames = ToFileFrames(b.srcStart + (b.srcEnd - b.srcStart) * k);
    }
  }
  return fSourceEndedNow ? std::min(frames, fDecodedFramesNow) : frames;
}

uint32_t Stream::LevelAt(uint64_t heard) const {
  std::lock_guard<std::mutex> state(fStateMutex);
  if (fDecodeOnly) heard = fRendered;
  const auto window = static_cast<uint64_t>(fOutRate / 50);  // 20 ms
  const uint64_t from = heard > window ? heard - window : 0;
  float left = 0, right = 0;
  for (size_t i = fRecord.size(); i > 0 && fRecord[i - 1].outEnd > from; --i) {
    const Block& b = fRecord[i - 1];
    if (b.outStart >= heard) continue;
    left = std::max(left, b.peakLeft);
    right = std::max(right, b.peakRight);
  }
  return PeakToLevel(left) | (PeakToLevel(right) << 16);
}

// ---- Attributes --------------------------------------------------------------------

void Stream::SetAttribute(Attribute attribute, float value) {
  std::lock_guard<std::mutex> state(fStateMutex);
  Value(attribute).Set(value);
}

float Stream::AttributeNow(Attribute attribute, double wallNow) const {
  std::lock_guard<std::mutex> state(fStateMutex);
  return Value(attribute).At(ClockNow(wallNow));
}

void Stream::SlideAttribute(Attribute attribute, float target, double heardStart, double seconds, double wallNow) {
  std::lock_guard<std::mutex> state(fStateMutex);
  const bool playing = !fDecodeOnly && fState == Activity::Playing;
  Value(attribute).SlideTo(target, playing ? heardStart : ClockNow(wallNow), seconds);
}

bool Stream::SlidingNow(std::optional<Attribute> attribute, double wallNow) const {
  std::lock_guard<std::mutex> state(fStateMutex);
  const double now = ClockNow(wallNow);
  if (attribute) return Value(*attribute).SlidingAt(now);
  return fVolume.SlidingAt(now) || fFreq.SlidingAt(now);
}

// ---- Bands ------------------------------------------------------------------------------

void Stream::AddBand(uint32_t handle, int priority) {
  std::lock_guard<std::mutex> lock(fRenderMutex);
  Band band{handle, priority, fBandOrder++, PeakingParams{}, PeakingBand{}};
  band.filter.Configure(band.params, fRate);
  fBands.push_back(band);
  std::stable_sort(fBands.begin(), fBands.end(), [](const Band& a, const Band& b) {
    return a.priority != b.priority ? a.priority > b.priority : a.order < b.order;
  });
}

bool Stream::RemoveBand(uint32_t handle) {
  std::lock_guard<std::mutex> lock(fRenderMutex);
  const auto it = std::find_if(fBands.begin(), fBands.end(), [&](const Band& b) { return b.handle == handle; });
  if (it == fBands.end()) return false;
  fBands.erase(it);
  return true;
}

Stream::Band* Stream::FindBand(uint32_t handle) {
  for (Band& b : fBands)
    if (b.handle == handle) return &b;
  return nullptr;
}

std::optional<PeakingParams> Stream::BandParams(uint32_t handle) {
  std::lock_guard<std::mutex> lock(fRenderMutex);
  const Band* band = FindBand(handle);
  if (band == nullptr) return std::nullopt;
  return band->params;
}

bool Stream::SetBand(uint32_t handle, const PeakingParams& params) {
  std::lock_guard<std::mutex> lock(fRenderMutex);
  Band* band = FindBand(handle);
  if (band == nullptr || !PeakingParamsValid(params, fRate)) return false;
  band->params = params;
  band->filter.Configure(params, fRate);
  return true;
}

}  // namespace quav
