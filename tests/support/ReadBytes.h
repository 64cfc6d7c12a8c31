// Reading builder bytes with a reader from memory, with the results that
// ReadFromFile gives for a file holding the same bytes.
#pragma once

#include <memory>
#include <string>

#include "AudioFileBasics.h"

namespace testsupport {

inline TAudioError ReadFromBytes(TBaseAudioFile& reader, const std::string& bytes) {
  TMemoryStream stream(bytes);
  return reader.ReadFromOpenStream(stream);
}

// A reader with the result of its last read from bytes.
template <typename Reader>
struct BytesRead {
  Reader file;
  TAudioError result = FileErr_None;
};

template <typename Reader>
void ReadBytes(BytesRead<Reader>& r, const std::string& bytes) {
  r.result = ReadFromBytes(r.file, bytes);
}

// A new reader that has read a stream start padded with audio bytes to
// `size`, then `tail` (the tags at the end).
template <typename Reader>
std::unique_ptr<Reader> ReadPadded(std::string bytes, size_t size = 0, const std::string& tail = {}) {
  if (bytes.size() < size) bytes.resize(size, '\x33');
  auto reader = std::make_unique<Reader>();
  ReadFromBytes(*reader, bytes + tail);
  return reader;
}

}  // namespace testsupport
