// The engine fuzz target's driver, shared with the regression tests that
// replay its findings (tests/engine/EngineFuzzRegressionTest.cpp).
//
// An input is one of two things, chosen by the low bit of its first byte:
//
//  - Calls (bit 0 clear): the remaining bytes are a program of engine calls
//    on a few short sources - open (played or decode-only), equaliser bands
//    with parameters inside, at and beyond their ranges, any number of them,
//    volume, rate, slides, decode-only reads of odd sizes, positions,
//    levels, play/pause/stop, free - each call's answer checked against
//    what bass.h promises.
//  - A file (bit 0 set): the second byte chooses an extension, the rest is
//    the file, which is opened decode-only and decoded to its end.
//
// Every check that fails returns its description; "" means the input ran
// clean. The caller has initialised the engine (any device).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "bass.h"

namespace enginecalls {

// The operations of the calls mode: an input byte modulo kOpCount picks one
// (the numbers not named repeat the one before them, which makes reads and
// figures more frequent).
enum Op : uint8_t {
  kOpen = 0,
  kFree = 1,
  kAddBand = 2,
  kSetBand = 3,
  kRemoveBand = 4,
  kGetBand = 5,
  kSetAttribute = 6,
  kSlide = 7,
  kRead = 8,
  kReadToEnd = 10,
  kFigures = 11,
  kSeconds = 13,
  kPlay = 14,
  kPause = 15,
  kStop = 16,
  kStates = 17,
  kManyBands = 18,
  kOddArguments = 19,
  kOpCount = 20,
};

// The sources the calls play: a stereo and a mono WAV built here, and
// (when ffmpeg is installed) a FLAC and an MP3 encoded from them. Written
// into dir (which must exist); returns the paths.
inline std::vector<std::string> WriteSources(const std::string& dir) {
  auto wav = [](int rate, int channels, int frames, double hz) {
    std::string data;
    for (int f = 0; f < frames; ++f)
      for (int c = 0; c < channels; ++c) {
        const auto v =
            static_cast<int16_t>(std::lround(12000.0 * std::sin(6.283185307179586 * hz * (f + c * 7) / rate)));
        data += static_cast<char>(v & 0xFF);
        data += static_cast<char>((v >> 8) & 0xFF);
      }
    auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    const auto size = static_cast<uint32_t>(data.size());
    return "RIFF" + u32(36 + size) + "WAVEfmt " + u32(16) + u16(1) + u16(static_cast<uint16_t>(channels)) +
           u32(static_cast<uint32_t>(rate)) + u32(static_cast<uint32_t>(rate * channels * 2)) +
           u16(static_cast<uint16_t>(channels * 2)) + u16(16) + "data" + u32(size) + data;
  };
  auto write = [](const std::string& path, const std::string& bytes) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
  };
  std::vector<std::string> paths = {dir + "/stereo.wav", dir + "/mono.wav"};
  write(paths[0], wav(44100, 2, 6000, 440));
  write(paths[1], wav(22050, 1, 2500, 1000));
  for (const char* name : {"stereo.flac", "stereo.mp3"}) {
    const std::string out = dir + "/" + name;
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y -i '" + paths[0] + "' '" + out +
                                "' </dev/null >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0) paths.push_back(out);
  }
  return paths;
}

// Extensions the file mode chooses from: the player's formats and others
// the decoders read.
inline constexpr const char* kExtensions[] = {".mp3", ".ogg", ".flac", ".wav", ".wma",  ".m4a", ".opus",
                                              ".wv",  ".ape", ".mpc",  ".tta", ".aiff", ".mka", ".dsf",
                                              ".mp2", ".ac3", ".oga",  ".mp4", ".caf",  ".au"};

namespace detail {

// Reads the program; past its end every read gives zeros.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : fData(data), fSize(size) {}
  bool Done() const { return fAt >= fSize; }
  uint8_t U8() { return fAt < fSize ? fData[fAt++] : 0; }
  // (Each read in a statement of its own: the order in which the operands
  // of one expression are evaluated is the compiler's choice.)
  uint16_t U16() {
    const uint16_t low = U8();
    return static_cast<uint16_t>(low | (U8() << 8));
  }
  uint32_t U32() {
    const uint32_t low = U16();
    return low | (static_cast<uint32_t>(U16()) << 16);
  }
  // A value near the edges of the documented ranges, or any float at all.
  float Float() {
    static constexpr float kEdges[] = {0.0f,      -0.0f,     1.0f,      -1.0f,    0.5f,    10.0f,    10.5f,    80.0f,
                                       79.9f,     100.0f,    99.9f,     1000.0f,  8000.0f, 14700.0f, 14701.0f, 16000.0f,
                                       16001.0f,  36.0f,     36.5f,     15.0f,    15.01f,  -15.0f,   -15.01f,  12.0f,
                                       705600.0f, 705601.0f, 352800.0f, 44100.0f, 1e30f,   -1e30f,   1e-30f,   3.0f};
    const uint8_t pick = U8();
    if (pick < 2 * std::size(kEdges)) return kEdges[pick % std::size(kEdges)];
    if (pick < 0xF0) return static_cast<float>(U16()) * (pick & 1 ? 1.0f : 0.25f);
    switch (pick & 3) {
      case 0: return std::numeric_limits<float>::quiet_NaN();
      case 1: return std::numeric_limits<float>::infinity();
      case 2: return -std::numeric_limits<float>::infinity();
      default: {
        const uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
      }
    }
  }

 private:
  const uint8_t* fData;
  size_t fSize;
  size_t fAt = 0;
};

inline std::string Fail(const std::string& what) {
  return what + " (error " + std::to_string(BASS_ErrorGetCode()) + ")";
}

// A failed call must leave one of the codes the interface documents.
inline bool Documented(int code) {
  switch (code) {
    case BASS_ERROR_HANDLE:
    case BASS_ERROR_ILLTYPE:
    case BASS_ERROR_ILLPARAM:
    case BASS_ERROR_NOPLAY:
    case BASS_ERROR_NOTAVAIL:
    case BASS_ERROR_DECODE:
    case BASS_ERROR_ENDED:
    case BASS_ERROR_FILEFORM:
    case BASS_ERROR_FILEOPEN:
    case BASS_ERROR_MEM: return true;
    default: return false;
  }
}

constexpr QWORD kBadQword = ~QWORD{0};
constexpr DWORD kBadDword = ~DWORD{0};

}  // namespace detail

// What one input may do at most. Opening a source (FFmpeg probing it) is
// the dearest call, so opens are counted, not only the streams open at
// once; the bands allowed reach past two chains of 64.
struct Limits {
  size_t maxStreams = 4;
  size_t maxOpens = 8;
  size_t maxBands = 160;
  size_t maxSteps = 1000;
  // Bytes that all reads of one input may ask for together (one read of
  // the largest size fits).
  uint64_t readBudget = 5u << 18;
};

// Runs an input of the calls mode (its first byte already taken off).
inline std::string RunCalls(const uint8_t* data, size_t size, const std::vector<std::string>& sources,
                            const Limits& limits = {}) {
  using namespace detail;
  Bytes in(data, size);
  std::vector<HSTREAM> streams;
  std::vector<HFX> bands;
  uint64_t budget = limits.readBudget;
  size_t opens = 0, bandsAdded = 0;
  std::vector<uint8_t> buffer;
  std::string failure;

  auto pick = [&]() -> DWORD {
    const uint8_t k = in.U8();
    if (k == 0xFF) return in.U32();  // any handle at all
    return streams.empty() ? 0 : streams[k % streams.size()];
  };
  auto pickBand = [&]() -> HFX {
    const uint8_t k = in.U8();
    if (k == 0xFF) return in.U32();
    return bands.empty() ? 0 : bands[k % bands.size()];
  };
  auto check = [&](bool ok, const char* what) {
    if (!ok && failure.empty()) failure = Fail(what);
    return ok;
  };
  auto failedAsDocumented = [&](const char* what) { return check(Documented(BASS_ErrorGetCode()), what); };
  // Reads length bytes (flags included) once; checks the answer.
  auto read = [&](DWORD h, DWORD length) -> DWORD {
    const DWORD bytes = length & ~BASS_DATA_FLOAT;
    if (bytes > budget) return kBadDword;
    budget -= bytes;
    buffer.assign(bytes, 0xA5);  // exactly the size asked for: a longer write is an overflow
    const DWORD got = BASS_ChannelGetData(h, bytes ? buffer.data() : nullptr, length);
    if (got == kBadDword) {
      failedAsDocumented("BASS_ChannelGetData failed");
      return got;
    }
    BASS_CHANNELINFO info{};
    const DWORD frameBytes =
        (length & BASS_DATA_FLOAT ? 4 : 2) * (BASS_ChannelGetInfo(h, &info) && info.chans == 1 ? 1 : 2);
    check(got <= bytes, "BASS_ChannelGetData wrote more than asked");
    check(got % frameBytes == 0, "BASS_ChannelGetData gave a partial frame");
    return got;
  };
  auto readToEnd = [&](DWORD h) {
    for (int i = 0; i < 100000; ++i) {
      const DWORD got = read(h, 16384 | BASS_DATA_FLOAT);
      if (got == kBadDword || got == 0) break;
    }
  };
  auto checkFigures = [&](DWORD h) {
    const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
    const QWORD position = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
    if (length == kBadQword || position == kBadQword) {
      failedAsDocumented("length or position failed");
      return;
    }
    const DWORD level = BASS_ChannelGetLevel(h);
    if (level != kBadDword) check((level & 0xFFFF) <= 32768 && (level >> 16) <= 32768, "level beyond 32768");
    const double seconds = BASS_ChannelBytes2Seconds(h, position);
    check(seconds >= 0 && std::isfinite(seconds), "position in seconds not a time");
    float value = -1;
    if (BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &value)) check(value >= 0 && value <= 10, "volume out of range");
    if (BASS_ChannelGetAttribute(h, BASS_ATTRIB_FREQ, &value))
      check(value >= 100 && value <= 16 * 384000.0f, "rate out of range");
    BASS_CHANNELINFO info{};
    if (BASS_ChannelGetInfo(h, &info)) {
      check(std::strlen(info.codec) + std::strlen(info.codecname) + std::strlen(info.format) +
                    std::strlen(info.formatname) <
                4096,
            "info texts");
    }
    if (const char* tags = BASS_ChannelGetTags(h)) {
      size_t n = 0;
      while (*tags && n < 1000) {
        tags += std::strlen(tags) + 1;
        ++n;
      }
    }
    // A decode-only stream read to its end stands at its length.
    if (BASS_ChannelIsActive(h) == BASS_ACTIVE_STOPPED && BASS_ChannelGetData(h, nullptr, 0) == kBadDword &&
        BASS_ErrorGetCode() == BASS_ERROR_ENDED)
      check(position == length, "a stream read to its end is not at its length");
  };

  for (size_t step = 0; step < limits.maxSteps && !in.Done() && failure.empty(); ++step) {
    switch (in.U8() % kOpCount) {
      case kOpen: {
        const std::string& path = sources[in.U8() % sources.size()];
        const DWORD flags = (in.U8() & 1) ? BASS_STREAM_DECODE : 0;
        if (streams.size() >= limits.maxStreams || opens == limits.maxOpens) break;
        ++opens;
        const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, flags);
        if (check(h != 0, "a source does not open")) streams.push_back(h);
        break;
      }
      case kFree: {
        const DWORD h = pick();
        if (BASS_StreamFree(h)) {
          std::erase(streams, h);
        } else {
          failedAsDocumented("BASS_StreamFree failed");
        }
        break;
      }
      case kAddBand: {
        const DWORD type = in.U8() % 8 == 0 ? in.U8() : BASS_FX_DX8_PARAMEQ;
        const DWORD h = pick();
        const int priority = static_cast<int8_t>(in.U8());
        if (bandsAdded == limits.maxBands) break;
        ++bandsAdded;
        const HFX fx = BASS_ChannelSetFX(h, type, priority);
        if (fx != 0) {
          bands.push_back(fx);
        } else {
          failedAsDocumented("BASS_ChannelSetFX failed");
        }
        break;
      }
      case kSetBand: {
        const BASS_DX8_PARAMEQ eq{in.Float(), in.Float(), in.Float()};
        const HFX fx = pickBand();
        if (!BASS_FXSetParameters(fx, &eq)) failedAsDocumented("BASS_FXSetParameters failed");
        break;
      }
      case kRemoveBand: {
        const DWORD h = pick();
        const HFX fx = pickBand();
        if (BASS_ChannelRemoveFX(h, fx)) {
          std::erase(bands, fx);
        } else {
          failedAsDocumented("BASS_ChannelRemoveFX failed");
        }
        break;
      }
      case kGetBand: {
        BASS_DX8_PARAMEQ eq{-1, -1, -1};
        if (BASS_FXGetParameters(pickBand(), &eq)) {
          check(eq.fCenter >= 80 && eq.fCenter <= 16000 && eq.fBandwidth >= 1 && eq.fBandwidth <= 36 &&
                    eq.fGain >= -15 && eq.fGain <= 15,
                "a band holds parameters out of range");
        } else {
          failedAsDocumented("BASS_FXGetParameters failed");
        }
        break;
      }
      case kSetAttribute: {
        const DWORD attrib = in.U8() % 4;
        const DWORD h = pick();
        const float value = in.Float();
        if (!BASS_ChannelSetAttribute(h, attrib, value)) failedAsDocumented("BASS_ChannelSetAttribute failed");
        break;
      }
      case kSlide: {
        const DWORD attrib = in.U8() % 4;
        const DWORD h = pick();
        const float value = in.Float();
        const DWORD time = in.U16();
        if (!BASS_ChannelSlideAttribute(h, attrib, value, time))
          failedAsDocumented("BASS_ChannelSlideAttribute failed");
        break;
      }
      case kRead:
      case kRead + 1: {
        // Odd sizes, up to a little over 1 MB, 16-bit or float.
        const DWORD low = in.U16();
        const DWORD bytes = low | (static_cast<DWORD>(in.U8() & 0x0F) << 16);
        const DWORD flags = in.U8() & 1 ? BASS_DATA_FLOAT : 0;
        read(pick(), bytes | flags);
        break;
      }
      case kReadToEnd: readToEnd(pick()); break;
      case kFigures:
      case kFigures + 1: checkFigures(pick()); break;
      case kSeconds: {
        const DWORD h = pick();
        const uint32_t raw = in.U32();
        const double seconds = (in.U8() & 1) ? static_cast<double>(in.Float()) : static_cast<double>(raw) / 1000.0;
        const QWORD bytes = BASS_ChannelSeconds2Bytes(h, seconds);
        if (bytes != detail::kBadQword) {
          const double back = BASS_ChannelBytes2Seconds(h, bytes);
          check(back <= seconds + 1e-6 && back > seconds - 1.0, "seconds and bytes do not convert back");
        }
        const QWORD high = in.U32();
        const QWORD anyBytes = (high << 16) | in.U16();
        const double anySeconds = BASS_ChannelBytes2Seconds(h, anyBytes);
        check(anySeconds == -1.0 || anySeconds >= 0.0, "negative seconds");
        break;
      }
      case kPlay: {
        const DWORD h = pick();
        if (!BASS_ChannelPlay(h, in.U8() & 1)) failedAsDocumented("BASS_ChannelPlay failed");
        break;
      }
      case kPause:
        if (!BASS_ChannelPause(pick())) failedAsDocumented("BASS_ChannelPause failed");
        break;
      case kStop:
        if (!BASS_ChannelStop(pick())) failedAsDocumented("BASS_ChannelStop failed");
        break;
      case kStates: {
        const DWORD h = pick();
        BASS_ChannelIsActive(h);
        BASS_ChannelIsSliding(h, in.U8() % 4);
        const QWORD at = BASS_StreamGetFilePosition(h, in.U8() % 5);
        const QWORD end = BASS_StreamGetFilePosition(h, BASS_FILEPOS_END);
        if (at != detail::kBadQword && end != detail::kBadQword) check(at <= end, "a file position past the end");
        check(BASS_GetCPU() >= 0.0f, "negative load");
        break;
      }
      case kManyBands: {
        // Several bands at once, each with parameters.
        const DWORD h = pick();
        const int count = in.U8() % 40;
        for (int i = 0; i < count && bandsAdded < limits.maxBands; ++i, ++bandsAdded) {
          const HFX fx = BASS_ChannelSetFX(h, BASS_FX_DX8_PARAMEQ, 0);
          if (fx == 0) break;
          bands.push_back(fx);
          const BASS_DX8_PARAMEQ eq{in.Float(), in.Float(), in.Float()};
          BASS_FXSetParameters(fx, &eq);
        }
        break;
      }
      default: {
        // Null and odd arguments.
        const DWORD h = pick();
        const HFX fx = pickBand();
        check(!BASS_FXSetParameters(fx, nullptr), "null parameters accepted");
        check(!BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, nullptr), "null attribute target accepted");
        check(!BASS_ChannelGetInfo(h, nullptr), "null info accepted");
        const DWORD got = BASS_ChannelGetData(h, nullptr, in.U16());
        check(got == 0 || got == detail::kBadDword, "data written to a null buffer");
        break;
      }
    }
  }
  for (HSTREAM h : streams) BASS_StreamFree(h);
  return failure;
}

// Runs an input of the file mode (its first byte already taken off): the
// next byte chooses the extension, the rest is the file. dir must exist.
inline std::string RunFile(const uint8_t* data, size_t size, const std::string& dir, uint64_t maxSamples = 500'000) {
  if (size == 0) return "";
  const std::string path = dir + "/input" + kExtensions[data[0] % std::size(kExtensions)];
  // A new file each time (one rewritten in place is flushed when it closes).
  std::remove(path.c_str());
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
  }
  const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  if (h == 0) {
    const int code = BASS_ErrorGetCode();
    return code == BASS_ERROR_FILEFORM || code == BASS_ERROR_FILEOPEN || code == BASS_ERROR_MEM
               ? ""
               : detail::Fail("a file fails to open with an undocumented error");
  }
  std::string failure;
  BASS_CHANNELINFO info{};
  if (!BASS_ChannelGetInfo(h, &info)) failure = detail::Fail("no information on an open stream");
  const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
  std::vector<float> buffer(4096);
  uint64_t samples = 0;
  bool ended = false;
  while (failure.empty() && samples < maxSamples) {
    const DWORD got = BASS_ChannelGetData(h, buffer.data(), static_cast<DWORD>(buffer.size() * 4) | BASS_DATA_FLOAT);
    if (got == detail::kBadDword) {
      if (BASS_ErrorGetCode() != BASS_ERROR_ENDED) failure = detail::Fail("decoding failed before the end");
      ended = true;
      break;
    }
    if (got > buffer.size() * 4) failure = "more data than asked for";
    samples += got / 4;
  }
  if (failure.empty() && ended) {
    // Once decoded to the end, the length is what was decoded.
    const QWORD position = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
    const QWORD decoded = BASS_ChannelGetLength(h, BASS_POS_BYTE);
    if (position != decoded) failure = "the end of a decoded file is not at its length";
    if (length == detail::kBadQword) failure = "no length";
  }
  BASS_StreamFree(h);
  return failure;
}

// One input of either mode.
inline std::string Run(const uint8_t* data, size_t size, const std::vector<std::string>& sources,
                       const std::string& dir) {
  if (size == 0) return "";
  return (data[0] & 1) ? RunFile(data + 1, size - 1, dir) : RunCalls(data + 1, size - 1, sources);
}

}  // namespace enginecalls
