#include "TextUtils.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 maps 0x80..0x9F to these characters; the rest of the upper
// half is Latin-1. The five bytes the page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for the C1 controls of the same number, as the
// Windows conversion has them, so no byte is lost and text converts back.
constexpr char16_t kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf16(std::u16string& out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

// Decodes one UTF-8 sequence at s[i]; returns false for a malformed one,
// advancing i past the maximal invalid prefix (at least one byte).
bool DecodeUtf8(std::string_view s, size_t& i, uint32_t& cp) {
  const auto b0 = static_cast<uint8_t>(s[i]);
  if (b0 < 0x80) {
    cp = b0;
    ++i;
    return true;
  }
  int len;
  uint32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    ++i;
    return false;
  }
  size_t j = i + 1;
  for (int k = 1; k < len; ++k, ++j) {
    if (j >= s.size() || (static_cast<uint8_t>(s[j]) & 0xC0) != 0x80) {
      i = j;
      return false;
    }
    cp = (cp << 6) | (static_cast<uint8_t>(s[j]) & 0x3F);
  }
  i = j;
  return cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

template <typename Char>
bool ParseInt(std::basic_string_view<Char> s, int32_t& value) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
    negative = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return false;
  uint64_t acc = 0;
  for (; i < s.size(); ++i) {
    const auto c = static_cast<uint32_t>(s[i]);
    uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    acc = acc * (hex ? 16 : 10) + digit;
    if (acc > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    // Hexadecimal digits give the 32-bit pattern; a sign negates it.
    const auto bits = static_cast<int32_t>(static_cast<uint32_t>(acc));
    value = negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(bits)) : bits;
    return true;
  }
  if (negative ? acc > 0x80000000ull : acc > 0x7FFFFFFFull) return false;
  value = negative ? static_cast<int32_t>(-static_cast<int64_t>(acc)) : static_cast<int32_t>(acc);
  return true;
}

template <typename Char>
size_t TrimStart(std::basic_string_view<Char> s) {
  size_t i = 0;
  while (i < s.size() && static_cast<uint32_t>(s[i]) <= 32) ++i;
  return i;
}
template <typename Char>
size_t TrimEnd(std::basic_string_view<Char> s, size_t start) {
  size_t e = s.size();
  while (e > start && static_cast<uint32_t>(s[e - 1]) <= 32) --e;
  return e;
}

template <typename Char>
Char AsciiLower(Char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c + 32) : c;
}
template <typename Char>
Char AsciiUpper(Char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<Char>(c - 32) : c;
}

template <typename Char>
bool SameTextImpl(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    uint32_t cp;
    if (DecodeUtf8(utf8, i, cp)) {
      AppendUtf16(out, cp);
    } else {
      out.push_back(kReplacement);
    }
  }
  return out;
}

bool TryUtf8ToUtf16(std::string_view utf8, std::u16string& out) {
  out.clear();
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    uint32_t cp;
    if (!DecodeUtf8(utf8, i, cp)) return false;
    AppendUtf16(out, cp);
  }
  return true;
}

char32_t NextCodePoint(std::u16string_view utf16, size_t& i) {
  const char32_t unit = utf16[i];
  if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
    ++i;
    return 0x10000 + ((unit - 0xD800) << 10) + (utf16[i] - 0xDC00);
  }
  return unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) AppendUtf8(out, NextCodePoint(utf16, i));
  return out;
}

std::u16string Windows1252ToUtf16(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<uint8_t>(bytes[i]);
    out[i] = (b >= 0x80 && b <= 0x9F) ? kWindows1252High[b - 0x80] : static_cast<char16_t>(b);
  }
  return out;
}

std::string Utf16ToWindows1252(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char mapped = '?';
    for (int k = 0; k < 32; ++k)
      if (kWindows1252High[k] == c) mapped = static_cast<char>(0x80 + k);
    out.push_back(mapped);
  }
  return out;
}

std::u16string BytesToUtf16(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<uint8_t>(bytes[i]);
  return out;
}

std::string Utf16ToBytes(std::u16string_view text) {
  std::string out(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = text[i] < 0x100 ? static_cast<char>(text[i]) : '?';
  return out;
}

std::u16string AsciiToUtf16(std::string_view ascii) { return BytesToUtf16(ascii); }

std::u16string Trim(std::u16string_view text) {
  const size_t s = TrimStart(text);
  return std::u16string(text.substr(s, TrimEnd(text, s) - s));
}
std::u16string TrimLeft(std::u16string_view text) { return std::u16string(text.substr(TrimStart(text))); }
std::u16string TrimRight(std::u16string_view text) { return std::u16string(text.substr(0, TrimEnd(text, 0))); }
std::string TrimBytes(std::string_view bytes) {
  const size_t s = TrimStart(bytes);
  return std::string(bytes.substr(s, TrimEnd(bytes, s) - s));
}

bool SameText(std::u16string_view a, std::u16string_view b) { return SameTextImpl(a, b); }
bool SameText(std::string_view a, std::string_view b) { return SameTextImpl(a, b); }

std::u16string UpperCase(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = AsciiUpper(c);
  return out;
}
std::u16string LowerCase(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) c = AsciiLower(c);
  return out;
}
std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (auto& c : out) c = AsciiLower(c);
  return out;
}

bool TryStrToInt(std::u16string_view text, int32_t& value) { return ParseInt(text, value); }
bool TryStrToInt(std::string_view text, int32_t& value) { return ParseInt(text, value); }

int32_t StrToInt(std::u16string_view text) {
  int32_t v;
  if (!ParseInt(text, v)) throw EConvertError("'" + Utf16ToUtf8(text) + "' is not a valid integer value");
  return v;
}
int32_t StrToInt(std::string_view text) {
  int32_t v;
  if (!ParseInt(text, v)) throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  return v;
}

std::u16string IntToStr(int64_t value) { return AsciiToUtf16(std::to_string(value)); }

double RoundHalfEven(double value) { return std::nearbyint(value); }

int32_t RoundToInt32(double value) { return TruncToInt32(RoundHalfEven(value)); }

int32_t TruncToInt32(double value) {
  if (!std::isfinite(value)) return 0;
  const double t = std::trunc(value);
  if (t < -2147483648.0 || t > 2147483647.0) return 0;
  return static_cast<int32_t>(t);
}

int64_t RoundToInt64(double value) { return TruncToInt64(RoundHalfEven(value)); }

int64_t TruncToInt64(double value) {
  if (!std::isfinite(value)) return 0;
  const double t = std::trunc(value);
  if (t < -9223372036854775808.0 || t >= 9223372036854775808.0) return 0;
  return static_cast<int64_t>(t);
}
