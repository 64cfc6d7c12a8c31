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
// Consumed source frames kept before compacting the source buffer.
constexpr int64_t kCompactFrames = 16384;

inline float Hermite(float xm1, float x0, float x1, float x2, float t) {
  const float c1 = 0.5f * (x1 - xm1);
  const float c2 = xm1 - 2.5f * x0 + 2.0f * x1 - 0.5f * x2;
  const float c3 = 0.5f * (x2 - xm1) + 1.5f * (x0 - x1);
  return ((c3 * t + c2) * t + c1) * t + x0;
}

}  // namespace

Stream::Stream(std::unique_ptr<Decoder> decoder, bool decodeOnly, int outRate)
    : fDecoder(std::move(decoder)),
      fDecodeOnly(decodeOnly),
      fRate(fDecoder->Rate()),
      fChannels(fDecoder->Channels()),
      fOutRate(outRate) {
  fFreq.Set(static_cast<float>(fRate));
}

void Stream::FillSource(int64_t needEnd) {
  const int64_t consumed = static_cast<int64_t>(std::floor(fPos)) - 2 - fSourceBase;
  if (consumed > kCompactFrames) {
    fSource.erase(fSource.begin(), fSource.begin() + consumed * fChannels);
    fSourceBase += consumed;
  }
  while (SourceEnd() < needEnd && !fSourceEnded) {
    const size_t before = fSource.size();
    if (!fDecoder->Decode(fSource)) {
      fSourceEnded = true;
      break;
    }
    const size_t frames = (fSource.size() - before) / fChannels;
    PeakingBand* chain[64];
    size_t count = 0;
    for (Band& band : fBands) {
      if (count == std::size(chain)) {
        ProcessBands(chain, count, fSource.data() + before, frames, fChannels);
        count = 0;
      }
      chain[count++] = &band.filter;
    }
    ProcessBands(chain, count, fSource.data() + before, frames, fChannels);
    fDecodedFrames += static_cast<int64_t>(frames);
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
      continue;
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

size_t Stream::Render(float* out, size_t frames, uint64_t outFrame, double clockStart) {
  const double secondsPerFrame = 1.0 / fOutRate;
  size_t done = 0;
  while (done < frames) {
    const size_t n = std::min(kBlockFrames, frames - done);
    const double t0 = clockStart + static_cast<double>(done) * secondsPerFrame;
    const double t1 = t0 + static_cast<double>(n) * secondsPerFrame;
    const double step = static_cast<double>(fFreq.At(t0)) / fOutRate;
    const float v0 = fVolume.At(t0);
    const float v1 = fVolume.At(t1);
    const double srcStart = fPos;
    float* block = out + done * fChannels;
    const size_t got = Resample(block, n, step);
    if (got == 0) break;
    if (v0 != 1.0f || v1 != 1.0f) {
      const float dv = (v1 - v0) / static_cast<float>(n);
      for (size_t i = 0; i < got; ++i) {
        const float v = v0 + dv * static_cast<float>(i);
        for (int c = 0; c < fChannels; ++c) block[i * fChannels + c] *= v;
      }
    }
    float left = 0, right = 0;
    MeasurePeaks(block, got, fChannels, left, right);
    double srcEnd = fPos;
    if (fSourceEnded) srcEnd = std::min(srcEnd, static_cast<double>(SourceEnd()));
    fRecord.push_back({outFrame + done, outFrame + done + got, srcStart, srcEnd, left, right});
    if (fRecord.size() > kMaxRecord) fRecord.pop_front();
    done += got;
    fRendered += got;
    if (got < n) break;
  }
  fRenderedSincePlay = true;
  return done;
}

bool Stream::Rewind() {
  if (!fDecoder->Rewind()) return false;
  fSource.clear();
  fSourceBase = 0;
  fPos = 0.0;
  fSourceEnded = false;
  fDecodedFrames = 0;
  fRecord.clear();
  for (Band& band : fBands) band.filter.Reset();
  return true;
}

int64_t Stream::DeliveredFrames() const {
  auto pos = static_cast<int64_t>(std::floor(fPos));
  if (fSourceEnded) pos = std::min(pos, SourceEnd());
  return pos;
}

int64_t Stream::PositionAt(uint64_t heard) const {
  if (fRecord.empty()) return DeliveredFrames();
  // The last block that started at or before the heard frame.
  auto it = std::upper_bound(fRecord.begin(), fRecord.end(), heard,
                             [](uint64_t h, const Block& b) { return h < b.outStart; });
  if (it == fRecord.begin()) return static_cast<int64_t>(std::floor(fRecord.front().srcStart));
  const Block& b = *std::prev(it);
  if (heard >= b.outEnd) return static_cast<int64_t>(std::floor(b.srcEnd));
  const double k = static_cast<double>(heard - b.outStart) / static_cast<double>(b.outEnd - b.outStart);
  return static_cast<int64_t>(std::floor(b.srcStart + (b.srcEnd - b.srcStart) * k));
}

uint32_t Stream::LevelAt(uint64_t heard) const {
  const auto window = static_cast<uint64_t>(fOutRate / 50);  // 20 ms
  const uint64_t from = heard > window ? heard - window : 0;
  float left = 0, right = 0;
  for (auto it = fRecord.rbegin(); it != fRecord.rend() && it->outEnd > from; ++it) {
    if (it->outStart >= heard) continue;
    left = std::max(left, it->peakLeft);
    right = std::max(right, it->peakRight);
  }
  return PeakToLevel(left) | (PeakToLevel(right) << 16);
}

void Stream::AddBand(uint32_t handle, int priority) {
  Band band{handle, priority, fBandOrder++, PeakingParams{}, PeakingBand{}};
  band.filter.Configure(band.params, fRate);
  fBands.push_back(band);
  std::stable_sort(fBands.begin(), fBands.end(), [](const Band& a, const Band& b) {
    return a.priority != b.priority ? a.priority > b.priority : a.order < b.order;
  });
}

bool Stream::RemoveBand(uint32_t handle) {
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

bool Stream::SetBand(uint32_t handle, const PeakingParams& params) {
  Band* band = FindBand(handle);
  if (band == nullptr || !PeakingParamsValid(params, fRate)) return false;
  band->params = params;
  band->filter.Configure(params, fRate);
  return true;
}

}  // namespace quav
