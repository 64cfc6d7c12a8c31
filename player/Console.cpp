#include "Console.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "NativeFiles.h"
#include "TextUtils.h"

namespace console {

namespace {

void FlushOrEnd() {
  errno = 0;
  if (std::fflush(stdout) != 0 && errno == EPIPE) EndForClosedOutput();
}

}  // namespace

void Write(std::string_view text) {
  WriteText(stdout, text);
  FlushOrEnd();
}

void WriteLine(std::string_view text) {
  WriteText(stdout, text);
  WriteText(stdout, kLineEnd);
  FlushOrEnd();
}

void Flush() { std::fflush(stdout); }

void WriteErrorLine(std::string_view text) {
  std::fflush(stdout);
  WriteText(stderr, text);
  WriteText(stderr, kLineEnd);
  std::fflush(stderr);
}

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

namespace {

constexpr bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

std::string ConsoleText(std::u16string_view text) {
  std::u16string shown;
  shown.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == 0) {
      while (i < text.size() && text[i] == 0) ++i;
      if (!shown.empty() && i < text.size()) shown += u" / ";
      continue;
    }
    shown += IsControl(text[i]) ? u'\uFFFD' : text[i];
    ++i;
  }
  return Utf16ToUtf8(shown);
}

std::string ConsoleName(std::string_view utf8) { return ConsoleText(Utf8ToUtf16(utf8)); }
