// A minimal JSON reader for black-box tests of quavtag's output.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

struct JsonValue {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  bool boolean = false;
  double number = 0;
  std::string string;  // UTF-8
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;  // in file order

  bool has(const std::string& key) const;
  // The member's value; throws std::out_of_range when missing.
  const JsonValue& operator[](const std::string& key) const;
  const JsonValue& operator[](size_t index) const { return items.at(index); }
  std::vector<std::string> keys() const;
};

// Parses one JSON text; throws std::runtime_error on malformed input.
JsonValue ParseJson(const std::string& text);

// Splits text into lines (without their '\n').
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace testsupport
