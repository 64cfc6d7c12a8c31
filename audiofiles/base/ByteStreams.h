// Seekable byte streams with 64-bit sizes and positions.
//
// Read() returns what is available (fewer bytes at the end, no error);
// ReadBuffer() and the typed readers raise EReadError when short. Seeking
// past the end is allowed; a later read there simply returns nothing.
// Every size taken from a file should be checked against Remaining() before
// it is used to allocate or to read; ReadBytes() does that itself.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "NativeFiles.h"

class EReadError : public std::runtime_error {
 public:
  EReadError() : std::runtime_error("Stream read error") {}
  explicit EReadError(const std::string& what) : std::runtime_error(what) {}
};

class TStream {
 public:
  virtual ~TStream() = default;

  virtual int64_t Size() const = 0;
  int64_t Position() const { return fPosition; }
  // Any non-negative position is accepted, also beyond the end.
  void Seek(int64_t position);
  void Skip(int64_t count) { Seek(fPosition + count); }
  // Bytes between the position and the end, 0 when past the end.
  int64_t Remaining() const;

  // Reads up to count bytes; returns how many were read.
  int64_t Read(void* buffer, int64_t count);
  // Reads exactly count bytes or raises EReadError (position then undefined).
  void ReadBuffer(void* buffer, int64_t count);
  // Exactly count bytes as a string; checks Remaining() before allocating.
  std::string ReadBytes(int64_t count);
  // Up to count bytes: what the stream still holds.
  std::string ReadAtMost(int64_t count);

  uint8_t ReadU8();
  uint16_t ReadU16LE();
  uint16_t ReadU16BE();
  uint32_t ReadU24BE();
  uint32_t ReadU32LE();
  uint32_t ReadU32BE();
  uint64_t ReadU64LE();
  int32_t ReadI32LE() { return static_cast<int32_t>(ReadU32LE()); }
  int64_t ReadI64LE() { return static_cast<int64_t>(ReadU64LE()); }

 protected:
  virtual int64_t DoRead(void* buffer, int64_t count) = 0;  // at fPosition
  int64_t fPosition = 0;
};

// A file opened read-only (others may read and write it); nothing can be
// written through it. Raises EReadError when the file cannot be opened.
//
// Reads are served from one block of the file held in memory: a read
// outside it loads the 4 KiB from there on (or the last 4 KiB, near the
// end, where tags are looked for backwards), so the many small reads of a
// header walk cost one system call per block; a read of up to 16 KiB (a
// header and what follows it, the end of an Ogg stream) loads as much at
// once. A larger read goes straight into the caller's buffer, and the same
// system call loads the block that follows it, where a tag's next item or
// frame stands. Cached files cost little more than the bytes copied, so
// the blocks are small. What a read returns is exactly what reading the
// file there returns (as it was when the block was loaded: a reader opens,
// reads and closes).
class TFileStream final : public TStream {
 public:
  explicit TFileStream(const std::string& filename);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Size() const override { return fFile.Size(); }

  static constexpr int64_t kBlockSize = 4 * 1024;
  static constexpr int64_t kBlockCapacity = 16 * 1024;

 protected:
  int64_t DoRead(void* buffer, int64_t count) override;

 private:
  TNativeFile fFile;
  std::array<char, kBlockCapacity> fBlock;  // the file's bytes from fBlockStart on
  int64_t fBlockStart = 0;
  int64_t fBlockLength = 0;
};

// Bytes held in memory: tag bodies, picture data, test fixtures.
class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : fData(std::move(bytes)) {}

  int64_t Size() const override { return static_cast<int64_t>(fData.size()); }
  const std::string& Data() const { return fData; }
  void Clear() {
    fData.clear();
    fPosition = 0;
  }
  // Appends count bytes read exactly from source (EReadError when short),
  // leaving this stream's position after them.
  void CopyFrom(TStream& source, int64_t count);
  // Appends bytes at the end and moves the position after them.
  void Append(std::string_view bytes);

 protected:
  int64_t DoRead(void* buffer, int64_t count) override;

 private:
  std::string fData;
};

// A stretch of another stream as a stream of its own: the source's bytes
// from start on, length of them, at positions from 0. Nothing is copied;
// reads move the source's position. The source must outlive it.
class TSubStream final : public TStream {
 public:
  TSubStream(TStream& source, int64_t start, int64_t length) : fSource(source), fStart(start), fLength(length) {}

  int64_t Size() const override { return fLength; }

 protected:
  int64_t DoRead(void* buffer, int64_t count) override;

 private:
  TStream& fSource;
  const int64_t fStart;
  const int64_t fLength;
};

// Little- and big-endian decoding of bytes already in memory.
inline uint16_t GetU16LE(const void* p) {
  auto b = static_cast<const uint8_t*>(p);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
inline uint16_t GetU16BE(const void* p) {
  auto b = static_cast<const uint8_t*>(p);
  return static_cast<uint16_t>((b[0] << 8) | b[1]);
}
inline uint32_t GetU32LE(const void* p) {
  auto b = static_cast<const uint8_t*>(p);
  return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}
inline uint32_t GetU32BE(const void* p) {
  auto b = static_cast<const uint8_t*>(p);
  return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
}
inline uint64_t GetU64LE(const void* p) {
  auto b = static_cast<const uint8_t*>(p);
  return uint64_t(GetU32LE(b)) | (uint64_t(GetU32LE(b + 4)) << 32);
}
