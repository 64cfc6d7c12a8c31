// Code pages on Windows: the system's ANSI page is CP_ACP, and the system
// converts. UTF-8 and Windows-1252 keep the conversion of every platform,
// so the same bytes give the same text everywhere.
#include <windows.h>

#include "TextUtils.h"

namespace {

constexpr uint32_t kWindows1252 = 1252;
constexpr uint32_t kUtf8 = 65001;

// Some pages (Windows-1258 among them) hold combining accents, which the
// system's conversion leaves apart from their letters: composed here, so a
// page gives the same text as on other platforms.
std::u16string Precomposed(const std::u16string& text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT32_MAX / 2)) return text;
  const auto* source = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  int room = ::NormalizeString(NormalizationC, source, length, nullptr, 0);
  // The first answer is an estimate; the second call says when it was short.
  for (int attempt = 0; attempt < 3 && room > 0; ++attempt) {
    std::u16string composed(static_cast<size_t>(room), u'\0');
    const int got =
        ::NormalizeString(NormalizationC, source, length, reinterpret_cast<wchar_t*>(composed.data()), room);
    if (got > 0) {
      composed.resize(static_cast<size_t>(got));
      return composed;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    room = -got;
  }
  return text;
}

}  // namespace

uint32_t SystemAnsiCodePage() { return ::GetACP(); }

std::u16string CodePageToUtf16(std::string_view bytes, uint32_t codePage) {
  if (bytes.empty()) return {};
  if (codePage == 0) codePage = SystemAnsiCodePage();
  if (codePage == kUtf8) return Utf8ToUtf16(bytes);
  if (codePage == kWindows1252) return Windows1252ToUtf16(bytes);
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) return {};
  // Precomposed characters (the default); bytes the page does not define
  // become its replacement character.
  const int length = static_cast<int>(bytes.size());
  const int needed = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::u16string text(static_cast<size_t>(needed), u'\0');
  const int got =
      ::MultiByteToWideChar(codePage, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(text.data()), needed);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return Precomposed(text);
}

std::u16string AnsiToUtf16(std::string_view bytes) { return CodePageToUtf16(bytes, 0); }

std::string Utf16ToAnsi(std::u16string_view text) {
  const uint32_t page = SystemAnsiCodePage();
  if (page == kWindows1252) return Utf16ToWindows1252(text);
  if (text.empty() || text.size() > static_cast<size_t>(INT32_MAX)) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int needed = ::WideCharToMultiByte(page, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string bytes(static_cast<size_t>(needed), '\0');
  const int got = ::WideCharToMultiByte(page, 0, wide, length, bytes.data(), needed, nullptr, nullptr);
  bytes.resize(static_cast<size_t>(got > 0 ? got : 0));
  return bytes;
}
