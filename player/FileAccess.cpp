#include "FileAccess.h"

#include "NativeFiles.h"

std::string CannotOpenMessage(const std::string& path, const std::string& reason) {
  return "Cannot open file \"" + FullPathName(path) + "\". " + reason;
}

std::string ReadFileBytes(const std::string& path, size_t limit) {
  std::string bytes, reason;
  if (!ReadFileStart(path, limit, bytes, reason)) throw EFOpenError(CannotOpenMessage(path, reason));
  return bytes;
}
