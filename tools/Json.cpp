#include "Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "TextUtils.h"

void JsonWriter::Separate() {
  if (fAfterKey) {
    fAfterKey = false;
    return;
  }
  if (!fFirst.empty()) {
    if (!fFirst.back()) fOut.push_back(',');
    fFirst.back() = false;
  }
}

JsonWriter& JsonWriter::BeginObject() {
  Separate();
  fOut.push_back('{');
  fFirst.push_back(true);
  return *this;
}
JsonWriter& JsonWriter::EndObject() {
  fOut.push_back('}');
  fFirst.pop_back();
  return *this;
}
JsonWriter& JsonWriter::BeginArray() {
  Separate();
  fOut.push_back('[');
  fFirst.push_back(true);
  return *this;
}
JsonWriter& JsonWriter::EndArray() {
  fOut.push_back(']');
  fFirst.pop_back();
  return *this;
}
JsonWriter& JsonWriter::Key(std::string_view key) {
  Utf8(key);
  fOut.push_back(':');
  fAfterKey = true;
  return *this;
}

void JsonWriter::AppendCodePoint(uint32_t cp) {
  switch (cp) {
    case '"': fOut += "\\\""; return;
    case '\\': fOut += "\\\\"; return;
    case '\n': fOut += "\\n"; return;
    case '\r': fOut += "\\r"; return;
    case '\t': fOut += "\\t"; return;
    default: break;
  }
  if (cp < 0x20 || cp == 0x7F) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04x", cp);
    fOut += buf;
  } else {
    AppendUtf8(fOut, cp);
  }
}

JsonWriter& JsonWriter::String(std::u16string_view text) {
  Separate();
  fOut.push_back('"');
  for (size_t i = 0; i < text.size(); ++i) AppendCodePoint(NextCodePoint(text, i));
  fOut.push_back('"');
  return *this;
}

JsonWriter& JsonWriter::Bytes(std::string_view bytes) {
  Separate();
  fOut.push_back('"');
  for (char c : bytes) AppendCodePoint(static_cast<uint8_t>(c));
  fOut.push_back('"');
  return *this;
}

JsonWriter& JsonWriter::Utf8(std::string_view text) {
  // Our own strings are valid UTF-8; only escaping is needed.
  Separate();
  fOut.push_back('"');
  for (char c : text) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      AppendCodePoint(b);
    } else {
      fOut.push_back(c);
    }
  }
  fOut.push_back('"');
  return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
  Separate();
  fOut += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Unsigned(uint64_t value) {
  Separate();
  fOut += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Double(double value) {
  Separate();
  if (!std::isfinite(value)) {
    fOut += "null";
    return *this;
  }
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  fOut.append(buf, res.ptr);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  Separate();
  fOut += value ? "true" : "false";
  return *this;
}
