// A minimal JSON reader for black-box tests of quavtag's output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct JsonValue {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  bool boolean = false;
  double number = 0;
  std::string string;              // UTF-8
  std::vector<JsonValue> items;    // of an array; of an object, its values
  std::vector<std::string> names;  // of an object, in file order

  bool has(const std::string& key) const;
  // The member's value; throws std::out_of_range when missing.
  const JsonValue& operator[](const std::string& key) const;
  const JsonValue& operator[](size_t index) const { return items.at(index); }
  const std::vector<std::string>& keys() const { return names; }
};

// Parses one JSON text; throws std::runtime_error on malformed input.
JsonValue ParseJson(const std::string& text);

// Splits text into lines (without their '\n').
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace testsupport
