#include <windows.h>
#include <io.h>

#include <cstdlib>

#include "Console.h"
#include "TextUtils.h"

namespace console {

namespace {

// The code page a stream's text is written in: the console's own when the
// stream is a console, else the system's 8-bit page for standard output
// and the OEM page for standard error (where the error report goes).
UINT CodePageOf(std::FILE* stream) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode)) {
    const UINT page = ::GetConsoleOutputCP();
    if (page != 0) return page;
  }
  return stream == stderr ? CP_OEMCP : CP_ACP;
}

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

void WriteText(std::FILE* stream, std::string_view text) {
  if (text.empty()) return;
  if (IsAscii(text)) {
    std::fwrite(text.data(), 1, text.size(), stream);
    return;
  }
  const std::u16string utf16 = Utf8ToUtf16(text);
  const auto* wide = reinterpret_cast<const wchar_t*>(utf16.data());
  const int length = static_cast<int>(utf16.size());
  const UINT page = CodePageOf(stream);
  // Characters the page lacks become its default character.
  const int needed = ::WideCharToMultiByte(page, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return;
  std::string bytes(static_cast<size_t>(needed), '\0');
  const int got = ::WideCharToMultiByte(page, 0, wide, length, bytes.data(), needed, nullptr, nullptr);
  if (got > 0) std::fwrite(bytes.data(), 1, static_cast<size_t>(got), stream);
}

bool OutputIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

// A pipe's closed end shows only when written to.
bool OutputClosed() { return false; }

void EndForClosedOutput() { std::exit(1); }

int OutputColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

}  // namespace console
