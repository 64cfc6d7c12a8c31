// The player's own file access and the errors it raises, which travel to
// the top of the program and end the run with the error report on standard
// error and exit code 1. EConvertError (TextUtils.h) is the fourth kind.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

class EFOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EEncodingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The message "Cannot open file "%s". %s" for a path (shown in full) and
// the system's reason.
std::string CannotOpenMessage(const std::string& path, const std::string& reason);

// Up to limit bytes from the start of a file (the whole file by default).
// Raises EFOpenError when it cannot be opened or read, a directory
// included.
std::string ReadFileBytes(const std::string& path, size_t limit = static_cast<size_t>(-1));
