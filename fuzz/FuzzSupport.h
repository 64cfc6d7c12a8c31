// Helpers for the fuzz targets: each input is read by a reader from a
// memory stream, with the results a file of those bytes would give.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ByteStreams.h"

namespace fuzzsupport {

inline TMemoryStream InputStream(const uint8_t* data, size_t size) {
  return TMemoryStream(std::string(reinterpret_cast<const char*>(data), size));
}

}  // namespace fuzzsupport
