#include "Console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace console {

void Write(std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void WriteLine(std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
  std::fwrite(kLineEnd.data(), 1, kLineEnd.size(), stdout);
  std::fflush(stdout);
}

void Flush() { std::fflush(stdout); }

}  // namespace console

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (needed > 0) {
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    out.assign(buffer.data(), static_cast<size_t>(needed));
  }
  va_end(args);
  return out;
}

std::string CannotOpenMessage(const std::string& path, int error) {
  std::error_code ec;
  auto full = std::filesystem::absolute(path, ec);
  const std::string shown = ec ? path : full.lexically_normal().string();
  return "Cannot open file \"" + shown + "\". " + std::strerror(error);
}
