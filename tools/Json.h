// A small streaming JSON writer for quavtag's one-line objects.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);

  // Library text (UTF-16): every code unit kept, an unpaired surrogate
  // written as U+FFFD.
  JsonWriter& String(std::u16string_view text);
  // Raw 8-bit bytes shown one for one as U+0000..U+00FF.
  JsonWriter& Bytes(std::string_view bytes);
  // ASCII/UTF-8 text of our own (names of enumeration values, file names).
  JsonWriter& Utf8(std::string_view text);
  JsonWriter& Number(int64_t value);
  JsonWriter& Unsigned(uint64_t value);
  // Shortest round-trip form; a NaN or infinity is written as null.
  JsonWriter& Double(double value);
  JsonWriter& Bool(bool value);

  const std::string& str() const { return fOut; }

 private:
  void Separate();
  void AppendCodePoint(uint32_t cp);
  std::string fOut;
  std::vector<bool> fFirst;  // per open container: nothing written yet
  bool fAfterKey = false;
};
