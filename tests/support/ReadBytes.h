// Reading builder bytes with a reader from memory, with the results that
// ReadFromFile gives for a file holding the same bytes.
#pragma once

#include <string>

#include "AudioFileBasics.h"

namespace testsupport {

inline TAudioError ReadFromBytes(TBaseAudioFile& reader, const std::string& bytes) {
  TMemoryStream stream(bytes);
  return reader.ReadFromOpenStream(stream);
}

}  // namespace testsupport
