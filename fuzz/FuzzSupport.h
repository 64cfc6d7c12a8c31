// Helpers for the fuzz targets: the readers read files, so each input is
// written to a private temporary file with the extension the target needs.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace fuzzsupport {

// Writes the input to a per-process file ending in `extension` and returns
// its path; the same name is used for every input.
inline std::string WriteInput(const uint8_t* data, size_t size, const std::string& extension) {
  const std::string path = "/tmp/quavfuzz-" + std::to_string(::getpid()) + extension;
  // Removed first: a file truncated and rewritten in place is flushed to
  // the disk when it closes, which costs more than the read under test.
  std::remove(path.c_str());
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  return path;
}

}  // namespace fuzzsupport
