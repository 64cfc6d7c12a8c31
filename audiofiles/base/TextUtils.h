// Text helpers shared by every reader. Library text is UTF-16
// (std::u16string); an absent value is the empty string. File names are the
// platform's native byte strings (UTF-8 here).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// Raised by StrToInt for text that is not a valid integer value.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// UTF-8 to UTF-16; every malformed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Strict variant: false when the bytes are not valid UTF-8.
bool TryUtf8ToUtf16(std::string_view utf8, std::u16string& out);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);
// The code point that starts at utf16[i] (i < size), i moved to its last
// unit: a surrogate pair gives one code point, an unpaired surrogate U+FFFD.
char32_t NextCodePoint(std::u16string_view utf16, size_t& i);
// Appends the UTF-8 bytes of one code point (below 0x110000), as they
// stand: surrogates are not checked here.
void AppendUtf8(std::string& out, char32_t cp);

// The system's 8-bit (ANSI) code page: the one Windows names, and
// Windows-1252 standing in for it elsewhere.
uint32_t SystemAnsiCodePage();

// Decodes 8-bit text in Windows code page `codePage` (0 = the system ANSI
// code page). Returns the empty string when the page is unknown here or
// the bytes do not convert; callers fall back as their format requires.
// UTF-8 (65001) and Windows-1252 are converted here on every platform;
// other pages by the system (iconv, or Windows' own tables).
std::u16string CodePageToUtf16(std::string_view bytes, uint32_t codePage);
// Decodes with the system ANSI code page.
std::u16string AnsiToUtf16(std::string_view bytes);
// Encodes to the system ANSI code page; characters it lacks become '?'.
std::string Utf16ToAnsi(std::u16string_view text);
// Windows-1252 both ways. The five bytes the page leaves undefined stand
// for the C1 controls of the same number; characters the page lacks become
// '?'.
std::u16string Windows1252ToUtf16(std::string_view bytes);
std::string Utf16ToWindows1252(std::u16string_view text);
// Bytes as the characters U+0000 to U+00FF, one for one.
std::u16string BytesToUtf16(std::string_view bytes);
// Characters below U+0100 as one byte each; others become '?'.
std::string Utf16ToBytes(std::u16string_view text);
// ASCII text literal to UTF-16 (for constants built at run time).
std::u16string AsciiToUtf16(std::string_view ascii);

// Removes leading and trailing characters with codes of 32 or less.
std::u16string Trim(std::u16string_view text);
std::u16string TrimLeft(std::u16string_view text);
std::u16string TrimRight(std::u16string_view text);
std::string TrimBytes(std::string_view bytes);

// Case-insensitive comparison and case mapping for ASCII letters only.
bool SameText(std::u16string_view a, std::u16string_view b);
bool SameText(std::string_view a, std::string_view b);
std::u16string UpperCase(std::u16string_view text);
std::u16string LowerCase(std::u16string_view text);
std::string LowerCase(std::string_view text);

// Integer conversion: leading blanks, one sign, "$", "x", "X", "0x" or "0X"
// for hexadecimal, nothing after the digits, within 32 bits.
bool TryStrToInt(std::u16string_view text, int32_t& value);
bool TryStrToInt(std::string_view text, int32_t& value);
// As TryStrToInt; raises EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(std::u16string_view text);
int32_t StrToInt(std::string_view text);

// Decimal text of a number.
std::u16string IntToStr(int64_t value);

// Rounds to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double value);
// Conversions of a double into a 32-bit field: a NaN, an infinity or a value
// out of range gives 0.
int32_t RoundToInt32(double value);
int32_t TruncToInt32(double value);
int64_t RoundToInt64(double value);
int64_t TruncToInt64(double value);
