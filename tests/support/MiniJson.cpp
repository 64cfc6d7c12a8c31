#include "MiniJson.h"

#include <cstdlib>
#include <stdexcept>

#include "TextUtils.h"

namespace testsupport {

bool JsonValue::has(const std::string& key) const {
  for (const auto& n : names)
    if (n == key) return true;
  return false;
}

const JsonValue& JsonValue::operator[](const std::string& key) const {
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == key) return items[i];
  throw std::out_of_range("no JSON member " + key);
}

namespace {

struct Parser {
  const std::string& s;
  size_t i = 0;

  [[noreturn]] void fail(const char* what) {
    throw std::runtime_error(std::string("JSON: ") + what + " at " + std::to_string(i));
  }
  void ws() {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
  }
  bool lit(const char* word) {
    const std::string w(word);
    if (s.compare(i, w.size(), w) == 0) {
      i += w.size();
      return true;
    }
    return false;
  }
  uint32_t hex4() {
    if (i + 4 > s.size()) fail("short escape");
    const uint32_t v = static_cast<uint32_t>(std::stoul(s.substr(i, 4), nullptr, 16));
    i += 4;
    return v;
  }
  std::string str() {
    if (s[i] != '"') fail("expected string");
    ++i;
    std::string out;
    while (true) {
      if (i >= s.size()) fail("unterminated string");
      const char c = s[i++];
      if (c == '"') break;
      if (static_cast<uint8_t>(c) < 0x20) fail("control character in string");
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (i >= s.size()) fail("bad escape");
      const char e = s[i++];
      switch (e) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
          uint32_t cp = hex4();
          if (cp >= 0xD800 && cp <= 0xDBFF && lit("\\u")) {
            const uint32_t lo = hex4();
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
          }
          AppendUtf8(out, cp);
          break;
        }
        default: fail("bad escape");
      }
    }
    return out;
  }
  JsonValue value() {
    ws();
    if (i >= s.size()) fail("unexpected end");
    JsonValue v;
    const char c = s[i];
    if (c == '{') {
      v.kind = JsonValue::Object;
      ++i;
      ws();
      if (s[i] == '}') {
        ++i;
        return v;
      }
      while (true) {
        ws();
        std::string k = str();
        ws();
        if (s[i++] != ':') fail("expected ':'");
        v.names.push_back(k);
        v.items.push_back(value());
        ws();
        if (s[i] == ',') {
          ++i;
          continue;
        }
        if (s[i] == '}') {
          ++i;
          break;
        }
        fail("expected ',' or '}'");
      }
    } else if (c == '[') {
      v.kind = JsonValue::Array;
      ++i;
      ws();
      if (s[i] == ']') {
        ++i;
        return v;
      }
      while (true) {
        v.items.push_back(value());
        ws();
        if (s[i] == ',') {
          ++i;
          continue;
        }
        if (s[i] == ']') {
          ++i;
          break;
        }
        fail("expected ',' or ']'");
      }
    } else if (c == '"') {
      v.kind = JsonValue::String;
      v.string = str();
    } else if (lit("true")) {
      v.kind = JsonValue::Bool;
      v.boolean = true;
    } else if (lit("false")) {
      v.kind = JsonValue::Bool;
    } else if (lit("null")) {
      v.kind = JsonValue::Null;
    } else {
      v.kind = JsonValue::Number;
      char* end = nullptr;
      v.number = std::strtod(s.c_str() + i, &end);
      if (end == s.c_str() + i) fail("bad value");
      i = static_cast<size_t>(end - s.c_str());
    }
    return v;
  }
};

}  // namespace

JsonValue ParseJson(const std::string& text) {
  Parser p{text};
  JsonValue v = p.value();
  p.ws();
  if (p.i != text.size()) p.fail("trailing characters");
  return v;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

}  // namespace testsupport
