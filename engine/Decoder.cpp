#include "Decoder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "NativeFiles.h"
#include "StreamLength.h"

namespace quav {

namespace {

// Demuxers that read further files or URLs named inside the input, or that
// turn arbitrary text into pictures; none of them is an audio file.
constexpr std::array<std::string_view, 6> kRefusedDemuxers = {"hls", "dash", "concat", "ffmetadata", "tty", "lavfi"};

// Packets tried while looking for the first decodable audio frame.
constexpr int kMaxProbePackets = 200;
// Damaged packets in a row after which a file is taken to have ended.
constexpr int kMaxConsecutiveErrors = 64;

bool Refused(const char* names) {
  // A demuxer's name may list several comma-separated names.
  std::string_view all(names ? names : "");
  while (!all.empty()) {
    const size_t comma = all.find(',');
    const std::string_view one = all.substr(0, comma);
    if (std::find(kRefusedDemuxers.begin(), kRefusedDemuxers.end(), one) != kRefusedDemuxers.end()) return true;
    if (comma == std::string_view::npos) break;
    all.remove_prefix(comma + 1);
  }
  return false;
}

// Packets looked at by the length scan of a file of unknown length.
constexpr int64_t kMaxScanPackets = 100'000'000;

// The file again, read on its own, for the length walkers.
class FileBytes {
 public:
  explicit FileBytes(const std::string& url) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    if (avio_open2(&fIo, url.c_str(), AVIO_FLAG_READ, nullptr, &options) < 0) fIo = nullptr;
    av_dict_free(&options);
  }
  ~FileBytes() { avio_closep(&fIo); }
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;

  std::optional<ByteReader> Reader() {
    if (!fIo) return std::nullopt;
    return ByteReader(
        [this](int64_t offset, uint8_t* out, size_t bytes) -> size_t {
          if (avio_seek(fIo, offset, SEEK_SET) < 0) return 0;
          const int got = avio_read(fIo, out, static_cast<int>(bytes));
          return got > 0 ? static_cast<size_t>(got) : 0;
        },
        avio_size(fIo));
  }

 private:
  AVIOContext* fIo = nullptr;
};

// Length of the stream from a demuxer of its own that reads every packet:
// the sum of their durations, or the span of their timestamps where some
// have none. 0 when nothing came out.
int64_t ScanPackets(const AVInputFormat* format, const std::string& url, int streamIndex, int rate) {
  AVFormatContext* ctx = nullptr;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  const int rc = avformat_open_input(&ctx, url.c_str(), format, &options);
  av_dict_free(&options);
  if (rc < 0) return 0;
  int64_t result = 0;
  AVPacket* packet = av_packet_alloc();
  // Raw streams learn their rate, and so their packet durations, here.
  if (packet && avformat_find_stream_info(ctx, nullptr) >= 0 && streamIndex < static_cast<int>(ctx->nb_streams)) {
    for (unsigned i = 0; i < ctx->nb_streams; ++i)
      if (static_cast<int>(i) != streamIndex) ctx->streams[i]->discard = AVDISCARD_ALL;
    const AVRational base = ctx->streams[streamIndex]->time_base;
    int64_t sum = 0, first = AV_NOPTS_VALUE, end = AV_NOPTS_VALUE;
    bool allTimed = true;
    for (int64_t n = 0; n < kMaxScanPackets && av_read_frame(ctx, packet) >= 0; ++n) {
      if (packet->stream_index == streamIndex) {
        if (packet->duration > 0)
          sum += packet->duration;
        else
          allTimed = false;
        if (packet->pts != AV_NOPTS_VALUE) {
          if (first == AV_NOPTS_VALUE || packet->pts < first) first = packet->pts;
          const int64_t stop = packet->pts + std::max<int64_t>(0, packet->duration);
          if (end == AV_NOPTS_VALUE || stop > end) end = stop;
        }
      }
      av_packet_unref(packet);
    }
    const int64_t ticks = allTimed ? sum : (first != AV_NOPTS_VALUE ? end - first : 0);
    if (ticks > 0 && base.num > 0 && base.den > 0) result = av_rescale_q(ticks, base, AVRational{1, rate});
  }
  av_packet_free(&packet);
  avformat_close_input(&ctx);
  return result;
}

// Frames the decoder will deliver. A count that the container states
// exactly (a WAV data size, a FLAC, WavPack or Monkey's Audio sample count,
// an MPEG Xing or VBRI frame count) is taken as it stands; MPEG audio
// without one, Ogg (whose links may be chained), Musepack SV8 and anything
// whose length is only estimated from the bitrate are measured by walking
// their frames, pages or packets once.
int64_t MeasureLength(const AVFormatContext& format, const AVStream& stream, int rate, const std::string& url) {
  const std::string_view name = format.iformat->name;
  const bool estimated = format.duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
  int64_t stated = 0;
  if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0)
    stated = av_rescale_q(stream.duration, stream.time_base, AVRational{1, rate});
  else if (format.duration != AV_NOPTS_VALUE && format.duration > 0)
    stated = av_rescale(format.duration, rate, AV_TIME_BASE);

  // Opened only where a walker reads it.
  std::optional<FileBytes> file;
  auto reader = [&]() -> std::optional<ByteReader> { return file.emplace(url).Reader(); };
  if (name == "mp3") {
    if (!estimated && stated > 0) {
      // The encoder delay that the decoder drops comes off the frame count.
      const int64_t skip = stream.start_time != AV_NOPTS_VALUE && stream.start_time > 0
                               ? av_rescale_q(stream.start_time, stream.time_base, AVRational{1, rate})
                               : 0;
      return std::max<int64_t>(0, stated - skip);
    }
    if (auto bytes = reader())
      if (const auto samples = CountMpegSamples(*bytes)) return *samples;
  } else if (name == "ogg") {
    const AVCodecDescriptor* codec = avcodec_descriptor_get(stream.codecpar->codec_id);
    if (auto bytes = codec ? reader() : std::nullopt)
      if (const auto samples = CountOggSamples(*bytes, codec->name, rate)) return *samples;
    return stated;
  } else if (name == "mpc8") {
    if (auto bytes = reader())
      if (const auto samples = CountMusepackSv8Samples(*bytes)) return *samples;
  }
  if (!estimated && stated > 0 && name != "mpc8") return stated;
  const int64_t scanned = ScanPackets(format.iformat, url, stream.index, rate);
  return scanned > 0 ? scanned : stated;
}

}  // namespace

void QuietFFmpeg() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

uint32_t AvformatVersion() { return avformat_version(); }
uint32_t AvcodecVersion() { return avcodec_version(); }

struct Decoder::Impl {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwrContext* swr = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  int streamIndex = -1;
  bool inputEnded = false;  // no more packets; the decoder has been drained
  bool decoderEnded = false;
  int errors = 0;  // consecutive decoding errors
  int64_t lastStart = -1;  // the frame the last decoded frame starts at, when its timestamp says
  // Parameters the converter was set up for.
  int swrFormat = -1;
  int swrRate = 0;
  AVChannelLayout swrLayout{};
  int outChannels = 0;
  AVChannelLayout plainLayout{};  // the default layout of outChannels

  ~Impl() {
    av_channel_layout_uninit(&plainLayout);
    av_channel_layout_uninit(&swrLayout);
    swr_free(&swr);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  }

  // Sets up (again) the converter to packed float, mono or stereo.
  bool PrepareConverter(const AVFrame* f) {
    AVChannelLayout inLayout{};
    if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || f->ch_layout.nb_channels <= 0) {
      av_channel_layout_default(&inLayout, std::max(1, f->ch_layout.nb_channels));
    } else if (av_channel_layout_copy(&inLayout, &f->ch_layout) < 0) {
      return false;
    }
    if (swr && swrFormat == f->format && swrRate == f->sample_rate &&
        av_channel_layout_compare(&swrLayout, &inLayout) == 0) {
      av_channel_layout_uninit(&inLayout);
      return true;
    }
    AVChannelLayout outLayout{};
    av_channel_layout_default(&outLayout, outChannels);
    swr_free(&swr);
    // The output keeps the input's rate: the stream's rate is fixed when it
    // opens and rate changes are the pipeline's business.
    const int rc = swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_FLT, f->sample_rate, &inLayout,
                                       static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&outLayout);
    if (rc < 0 || swr_init(swr) < 0) {
      av_channel_layout_uninit(&inLayout);
      swr_free(&swr);
      return false;
    }
    av_channel_layout_uninit(&swrLayout);
    swrLayout = inLayout;
    swrFormat = f->format;
    swrRate = f->sample_rate;
    return true;
  }

  // Float samples already laid out as we give them (mono, or left and
  // right) need no converter: planar ones are interleaved, packed ones
  // copied. False when the frame is of another kind.
  bool CopyFloat(const AVFrame* f, Samples& out) {
    if (f->format != AV_SAMPLE_FMT_FLTP && f->format != AV_SAMPLE_FMT_FLT) return false;
    if (f->ch_layout.nb_channels != outChannels) return false;
    if (f->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC) {
      if (plainLayout.nb_channels != outChannels) {
        av_channel_layout_uninit(&plainLayout);
        av_channel_layout_default(&plainLayout, outChannels);
      }
      if (av_channel_layout_compare(&f->ch_layout, &plainLayout) != 0) return false;
    }
    const auto frames = static_cast<size_t>(f->nb_samples);
    const size_t start = out.size();
    out.resize(start + frames * static_cast<size_t>(outChannels));
    float* dst = out.data() + start;
    const auto* first = reinterpret_cast<const float*>(f->extended_data[0]);
    if (f->format == AV_SAMPLE_FMT_FLT || outChannels == 1)
      std::memcpy(dst, first, frames * static_cast<size_t>(outChannels) * sizeof(float));
    else
      InterleaveStereo(first, reinterpret_cast<const float*>(f->extended_data[1]), dst, frames);
    return true;
  }

  bool Convert(const AVFrame* f, Samples& out) {
    if (f->nb_samples <= 0) return true;
    if (CopyFloat(f, out)) return true;
    if (!PrepareConverter(f)) return false;
    const size_t start = out.size();
    const int capacity = swr_get_out_samples(swr, f->nb_samples);
    if (capacity <= 0) return true;
    out.resize(start + static_cast<size_t>(capacity) * outChannels);
    uint8_t* dst = reinterpret_cast<uint8_t*>(out.data() + start);
    const int got = swr_convert(swr, &dst, capacity, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
    out.resize(start + static_cast<size_t>(std::max(got, 0)) * outChannels);
    return got >= 0;
  }
};

Decoder::Decoder(std::unique_ptr<Impl> impl) : fImpl(std::move(impl)) {}
Decoder::~Decoder() = default;

std::unique_ptr<Decoder> Decoder::Open(const std::string& path, OpenError& error) {
  QuietFFmpeg();
  error = OpenError::None;
  // Missing, unreadable and non-regular files are open errors, not format
  // errors. A container that the first bytes name is opened as such, without
  // asking every demuxer FFmpeg has (a third of the first open's time).
  const AVInputFormat* named = nullptr;
  {
    TNativeFile file;
    std::string reason;
    if (!file.Open(path, reason)) {
      error = OpenError::FileOpen;
      return nullptr;
    }
    ByteReader head(
        [&](int64_t offset, uint8_t* out, size_t bytes) -> size_t {
          std::string ignored;
          return static_cast<size_t>(
              std::max<int64_t>(0, file.ReadAt(offset, out, static_cast<int64_t>(bytes), ignored)));
        },
        file.Size());
    const std::string_view demuxer = DemuxerNamedBy(head);
    if (!demuxer.empty()) named = av_find_input_format(std::string(demuxer).c_str());
  }

  auto impl = std::make_unique<Impl>();
  // "file:" keeps a colon in the name from being read as a protocol.
  const std::string url = "file:" + path;
  auto open = [&](const AVInputFormat* format) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int rc = avformat_open_input(&impl->format, url.c_str(), format, &options);
    av_dict_free(&options);
    return rc;
  };
  int openRc = named ? open(named) : -1;
  // Damage the named demuxer refuses is left to the one probing finds.
  if (openRc < 0) openRc = open(nullptr);
  if (openRc < 0) {
    error = openRc == AVERROR(ENOMEM)                                  ? OpenError::Memory
            : (openRc == AVERROR(ENOENT) || openRc == AVERROR(EACCES)) ? OpenError::FileOpen
                                                                       : OpenError::Format;
    return nullptr;
  }
  error = OpenError::Format;
  if (Refused(impl->format->iformat->name)) return nullptr;
  if (avformat_find_stream_info(impl->format, nullptr) < 0) return nullptr;
  const AVCodec* codec = nullptr;
  impl->streamIndex = av_find_best_stream(impl->format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (impl->streamIndex < 0 || codec == nullptr) return nullptr;
  AVStream* stream = impl->format->streams[impl->streamIndex];
  for (unsigned i = 0; i < impl->format->nb_streams; ++i)
    if (static_cast<int>(i) != impl->streamIndex) impl->format->streams[i]->discard = AVDISCARD_ALL;

  impl->codec = avcodec_alloc_context3(codec);
  if (!impl->codec || avcodec_parameters_to_context(impl->codec, stream->codecpar) < 0) return nullptr;
  impl->codec->thread_count = 1;
  if (avcodec_open2(impl->codec, codec, nullptr) < 0) return nullptr;
  impl->packet = av_packet_alloc();
  impl->frame = av_frame_alloc();
  if (!impl->packet || !impl->frame) {
    error = OpenError::Memory;
    return nullptr;
  }
  const int rate = impl->codec->sample_rate;
  const int channels = impl->codec->ch_layout.nb_channels;
  // Rates outside what any audio format uses are damage (and would make
  // rate conversion to the device allocate without bound).
  if (rate < 1000 || rate > 1'536'000 || channels <= 0) return nullptr;
  impl->outChannels = channels == 1 ? 1 : 2;
  const int64_t dataStart = impl->format->pb ? avio_tell(impl->format->pb) : 0;

  std::unique_ptr<Decoder> decoder(new Decoder(std::move(impl)));
  decoder->fRate = rate;
  decoder->fChannels = decoder->fImpl->outChannels;
  decoder->fDataStart = std::max<int64_t>(0, dataStart);
  decoder->fLengthFrames = MeasureLength(*decoder->fImpl->format, *stream, rate, url);

  // Accept the file only once real audio came out of it.
  int packets = 0;
  while (decoder->fPending.empty()) {
    if (decoder->fImpl->decoderEnded || packets++ > kMaxProbePackets) return nullptr;
    if (!decoder->Receive(decoder->fPending) && decoder->fImpl->decoderEnded && decoder->fPending.empty())
      return nullptr;
  }
  // The WMA decoders keep the first frame to prime their overlap and deliver
  // one frame less than the header's play time holds.
  const AVCodecID id = decoder->fImpl->codec->codec_id;
  if ((id == AV_CODEC_ID_WMAV1 || id == AV_CODEC_ID_WMAV2) && decoder->fLengthFrames > 0)
    decoder->fLengthFrames = std::max<int64_t>(
        0, decoder->fLengthFrames - static_cast<int64_t>(decoder->fPending.size()) / decoder->fChannels);
  error = OpenError::None;
  return decoder;
}

// Runs the decoder until it yields a frame or needs another packet (which
// it then reads and sends). Damage is skipped: the decoder resynchronises
// on the next good packet. Returns false at the end or after an error.
bool Decoder::Receive(Samples& out) {
  Impl& d = *fImpl;
  if (d.decoderEnded) return false;
  const int rc = avcodec_receive_frame(d.codec, d.frame);
  if (rc == 0) {
    d.errors = 0;
    const AVStream* stream = d.format->streams[d.streamIndex];
    const int64_t pts = d.frame->best_effort_timestamp;
    const int64_t origin = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    d.lastStart = pts == AV_NOPTS_VALUE ? -1
                                        : std::max<int64_t>(0, av_rescale_q(pts - origin, stream->time_base,
                                                                            AVRational{1, d.codec->sample_rate}));
    const bool ok = d.Convert(d.frame, out);
    av_frame_unref(d.frame);
    return ok;
  }
  if (rc == AVERROR_EOF || (rc != AVERROR(EAGAIN) && ++d.errors > kMaxConsecutiveErrors) ||
      (rc == AVERROR(EAGAIN) && d.inputEnded)) {
    d.decoderEnded = true;
    return false;
  }
  if (d.inputEnded) return false;  // a decode error while draining: try the next frame
  // Feed the next packet of our stream.
  for (int attempt = 0;; ++attempt) {
    const int readRc = av_read_frame(d.format, d.packet);
    if (readRc < 0) {
      // Damaged container data is skipped a bounded number of times.
      if (readRc != AVERROR_EOF && attempt < kMaxConsecutiveErrors && !(d.format->pb && avio_feof(d.format->pb)))
        continue;
      d.inputEnded = true;
      avcodec_send_packet(d.codec, nullptr);
      return true;
    }
    const bool ours = d.packet->stream_index == d.streamIndex;
    const int sendRc = ours ? avcodec_send_packet(d.codec, d.packet) : 0;
    av_packet_unref(d.packet);
    if (!ours) continue;
    if (sendRc >= 0) return true;
    if (++d.errors > kMaxConsecutiveErrors) {
      d.decoderEnded = true;
      return false;
    }
  }
}

bool Decoder::Decode(Samples& out) {
  if (!fPending.empty()) {
    out.insert(out.end(), fPending.begin(), fPending.end());
    fPending.clear();
    return true;
  }
  const size_t before = out.size();
  // A few rounds: some packets only fill the decoder without output.
  for (int round = 0; round < 1024 && out.size() == before; ++round) {
    if (!Receive(out) && fImpl->decoderEnded) break;
  }
  return out.size() != before;
}

bool Decoder::Rewind() {
  Impl& d = *fImpl;
  if (av_seek_frame(d.format, d.streamIndex, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
      avformat_seek_file(d.format, -1, INT64_MIN, 0, 0, 0) < 0)
    return false;
  avcodec_flush_buffers(d.codec);
  d.inputEnded = false;
  d.decoderEnded = false;
  fPending.clear();
  return true;
}

bool Decoder::NextFrames(Samples& out, int64_t& start) {
  fImpl->lastStart = -1;
  for (int round = 0; round < 1024 && out.empty(); ++round)
    if (!Receive(out) && fImpl->decoderEnded) break;
  start = fImpl->lastStart;
  return !out.empty();
}

int64_t Decoder::SeekTo(int64_t target) {
  Impl& d = *fImpl;
  if (target <= 0) return Rewind() ? 0 : -1;
  const AVStream* stream = d.format->streams[d.streamIndex];
  const int64_t origin = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
  const int64_t ts = origin + av_rescale_q(target, AVRational{1, fRate}, stream->time_base);
  int64_t position = 0;  // where the next frames start, as far as counted
  if (av_seek_frame(d.format, d.streamIndex, ts, AVSEEK_FLAG_BACKWARD) >= 0) {
    avcodec_flush_buffers(d.codec);
    d.inputEnded = d.decoderEnded = false;
    d.errors = 0;
    fPending.clear();
    position = -1;
  } else if (!Rewind()) {
    return -1;
  }
  // Frames before the target are dropped; where a frame's start is not
  // known it is taken to be where counting says (or, first after a seek,
  // the target itself).
  Samples frames;
  for (int64_t dropped = 0; dropped < kMaxScanPackets; ++dropped) {
    frames.clear();
    int64_t start = -1;
    if (!NextFrames(frames, start)) return position >= 0 ? position : target;
    if (start < 0) start = position >= 0 ? position : target;
    const int64_t count = static_cast<int64_t>(frames.size()) / fChannels;
    if (start + count <= target) {
      position = start + count;
      continue;
    }
    const int64_t skip = std::clamp<int64_t>(target - start, 0, count);
    fPending.assign(frames.begin() + skip * fChannels, frames.end());
    return start + skip;
  }
  return target;
}

int64_t Decoder::FilePosition() const {
  return fImpl->format->pb ? std::max<int64_t>(0, avio_tell(fImpl->format->pb)) : 0;
}

int64_t Decoder::FileSize() const { return fImpl->format->pb ? std::max<int64_t>(0, avio_size(fImpl->format->pb)) : 0; }

RateConverter::RateConverter(int channels, int inRate, int outRate)
    : fChannels(channels), fInRate(inRate), fOutRate(outRate) {
  Reset();
}

RateConverter::~RateConverter() { swr_free(&fSwr); }

void RateConverter::Reset() {
  swr_free(&fSwr);
  AVChannelLayout layout{};
  av_channel_layout_default(&layout, fChannels);
  if (swr_alloc_set_opts2(&fSwr, &layout, AV_SAMPLE_FMT_FLT, fOutRate, &layout, AV_SAMPLE_FMT_FLT, fInRate, 0,
                          nullptr) < 0 ||
      swr_init(fSwr) < 0)
    swr_free(&fSwr);
  av_channel_layout_uninit(&layout);
}

void RateConverter::Convert(const float* in, size_t frames, Samples& out) {
  if (!fSwr) return;
  const int capacity = swr_get_out_samples(fSwr, static_cast<int>(frames));
  if (capacity <= 0) return;
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(capacity) * fChannels);
  uint8_t* dst = reinterpret_cast<uint8_t*>(out.data() + start);
  const uint8_t* src = reinterpret_cast<const uint8_t*>(in);
  const int got = swr_convert(fSwr, &dst, capacity, in ? &src : nullptr, static_cast<int>(frames));
  out.resize(start + static_cast<size_t>(std::max(got, 0)) * fChannels);
}

void RateConverter::Flush(Samples& out) { Convert(nullptr, 0, out); }

namespace {

// Appends every entry of a metadata dictionary as "name=value" and a NUL.
void AppendTags(const AVDictionary* tags, std::string& out) {
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = av_dict_get(tags, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
    const std::string_view name = entry->key ? entry->key : "";
    if (name.empty() || name.find('=') != std::string_view::npos) continue;
    out.append(name).append("=").append(entry->value ? entry->value : "").push_back('\0');
  }
}

}  // namespace

const Decoder::SourceInfo& Decoder::Info() {
  if (fInfo) return *fInfo;
  auto info = std::make_unique<SourceInfo>();
  const AVFormatContext* format = fImpl->format;
  const AVStream* stream = format->streams[fImpl->streamIndex];
  const AVCodecParameters* par = stream->codecpar;
  info->rate = par->sample_rate;
  info->channels = par->ch_layout.nb_channels;
  info->bitrate = par->bit_rate > 0 ? par->bit_rate : std::max<int64_t>(0, format->bit_rate);
  if (const AVCodecDescriptor* codec = avcodec_descriptor_get(par->codec_id)) {
    info->codec = codec->name ? codec->name : "";
    info->codecName = codec->long_name ? codec->long_name : info->codec;
  }
  if (format->iformat) {
    info->container = format->iformat->name ? format->iformat->name : "";
    info->containerName = format->iformat->long_name ? format->iformat->long_name : info->container;
  }
  AppendTags(format->metadata, info->tags);
  AppendTags(stream->metadata, info->tags);
  info->tags.push_back('\0');
  fInfo = std::move(info);
  return *fInfo;
}

}  // namespace quav
