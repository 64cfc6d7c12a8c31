#include "ByteStreams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

void TStream::Seek(int64_t position) {
  if (position < 0) throw EReadError("Invalid stream position");
  fPosition = position;
}

int64_t TStream::Remaining() const { return std::max<int64_t>(0, Size() - fPosition); }

int64_t TStream::Read(void* buffer, int64_t count) {
  // Nothing to do at or past the end: DoRead is never asked to read there
  // (a memory stream would form a pointer beyond its data).
  const int64_t available = std::min(count, Remaining());
  if (available <= 0) return 0;
  const int64_t n = DoRead(buffer, available);
  fPosition += n;
  return n;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0 || Read(buffer, count) != count) throw EReadError();
}

std::string TStream::ReadBytes(int64_t count) {
  if (count < 0 || count > Remaining()) throw EReadError();
  std::string bytes(static_cast<size_t>(count), '\0');
  ReadBuffer(bytes.data(), count);
  return bytes;
}

std::string TStream::ReadAtMost(int64_t count) {
  std::string bytes(static_cast<size_t>(std::clamp<int64_t>(count, 0, Remaining())), '\0');
  bytes.resize(static_cast<size_t>(Read(bytes.data(), static_cast<int64_t>(bytes.size()))));
  return bytes;
}

uint8_t TStream::ReadU8() {
  uint8_t b;
  ReadBuffer(&b, 1);
  return b;
}
uint16_t TStream::ReadU16LE() {
  uint8_t b[2];
  ReadBuffer(b, 2);
  return GetU16LE(b);
}
uint16_t TStream::ReadU16BE() {
  uint8_t b[2];
  ReadBuffer(b, 2);
  return GetU16BE(b);
}
uint32_t TStream::ReadU24BE() {
  uint8_t b[3];
  ReadBuffer(b, 3);
  return (uint32_t(b[0]) << 16) | (uint32_t(b[1]) << 8) | b[2];
}
uint32_t TStream::ReadU32LE() {
  uint8_t b[4];
  ReadBuffer(b, 4);
  return GetU32LE(b);
}
uint32_t TStream::ReadU32BE() {
  uint8_t b[4];
  ReadBuffer(b, 4);
  return GetU32BE(b);
}
uint64_t TStream::ReadU64LE() {
  uint8_t b[8];
  ReadBuffer(b, 8);
  return GetU64LE(b);
}

TFileStream::TFileStream(const std::string& filename) {
  std::string reason;
  if (!fFile.Open(filename, reason)) throw EReadError("Cannot open file \"" + filename + "\". " + reason);
}

TFileStream::~TFileStream() = default;

int64_t TFileStream::DoRead(void* buffer, int64_t count) {
  auto out = static_cast<char*>(buffer);
  std::string reason;
  // Never more than the file held when it was opened: asking for bytes
  // past its end would cost one more system call that returns nothing.
  auto held = [this](int64_t from, int64_t size) { return std::clamp<int64_t>(Size() - from, 0, size); };
  auto fromBlock = [&](int64_t at, char* to, int64_t most) {
    const int64_t n = at < fBlockStart ? 0 : std::clamp<int64_t>(fBlockStart + fBlockLength - at, 0, most);
    if (n > 0) std::memcpy(to, fBlock.data() + (at - fBlockStart), static_cast<size_t>(n));
    return n;
  };
  auto check = [&](int64_t n) {
    if (n < 0) throw EReadError("Read error: " + reason);
    return n;
  };

  if (count <= kBlockCapacity) {
    if (fPosition < fBlockStart || fPosition + count > fBlockStart + fBlockLength) {
      // A block that holds the whole read; near the end the file's last
      // one, so that tags read backwards from the end share it.
      const int64_t size = std::max(count, kBlockSize);
      fBlockStart = std::max<int64_t>(0, std::min(fPosition, Size() - size));
      fBlockLength = 0;  // stays empty should the read fail
      fBlockLength = check(fFile.ReadAt(fBlockStart, fBlock.data(), held(fBlockStart, size), reason));
    }
    return fromBlock(fPosition, out, count);  // short where the file shrank
  }
  // Larger: what the block holds of its start, the rest straight from the
  // file, with the block after it loaded by the same call.
  const int64_t done = fromBlock(fPosition, out, count);
  const int64_t at = fPosition + done;
  const int64_t left = count - done;
  fBlockStart = at + left;
  fBlockLength = 0;
  const int64_t n = check(fFile.ReadAt(at, out + done, left, fBlock.data(), held(fBlockStart, kBlockSize), reason));
  fBlockLength = std::max<int64_t>(0, n - left);
  return done + std::min(n, left);
}

int64_t TMemoryStream::DoRead(void* buffer, int64_t count) {
  std::memcpy(buffer, fData.data() + fPosition, static_cast<size_t>(count));
  return count;
}

void TMemoryStream::CopyFrom(TStream& source, int64_t count) { Append(source.ReadBytes(count)); }

void TMemoryStream::Append(std::string_view bytes) {
  fData.append(bytes);
  fPosition = Size();
}

int64_t TSubStream::DoRead(void* buffer, int64_t count) {
  fSource.Seek(fStart + fPosition);
  return fSource.Read(buffer, count);
}
