#include "Keys.h"

#include <optional>

namespace {

constexpr char kEscape = '\x1b';
// Longer than any sequence a terminal sends for a key.
constexpr size_t kMostSequenceBytes = 16;

std::optional<KeyPress::Kind> ArrowOf(char final) {
  switch (final) {
    case 'A': return KeyPress::Kind::Up;
    case 'B': return KeyPress::Kind::Down;
    case 'C': return KeyPress::Kind::Right;
    case 'D': return KeyPress::Kind::Left;
    default: return std::nullopt;
  }
}

// The length of the escape sequence at the start of s (which begins with
// ESC), 0 when it is not complete yet.
size_t SequenceLength(std::string_view s) {
  if (s.size() < 2) return 0;
  if (s[1] == 'O') return s.size() >= 3 ? 3 : 0;  // SS3: one final byte
  if (s[1] != '[') return 2;                      // ESC and a key: Alt and the key
  // CSI: parameter and intermediate bytes (0x20..0x3F), then a final one.
  for (size_t i = 2; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x40 && c <= 0x7E) return i + 1;
    if (c < 0x20 || c > 0x3F) return i;  // broken off: drop what came so far
  }
  return 0;
}

}  // namespace

std::vector<KeyPress> KeyDecoder::Feed(std::string_view bytes) {
  fPending.append(bytes);
  std::vector<KeyPress> keys;
  size_t i = 0;
  while (i < fPending.size()) {
    const char c = fPending[i];
    if (c != kEscape) {
      if (static_cast<unsigned char>(c) < 0x80) keys.push_back({KeyPress::Kind::Character, c});
      ++i;
      continue;
    }
    const std::string_view rest = std::string_view(fPending).substr(i);
    const size_t length = SequenceLength(rest);
    if (length == 0) {
      if (rest.size() > kMostSequenceBytes) {  // never finished: drop it
        i = fPending.size();
        break;
      }
      break;  // wait for the rest
    }
    if (length >= 3 && (rest[1] == '[' || rest[1] == 'O'))
      if (const auto arrow = ArrowOf(rest[length - 1])) keys.push_back({*arrow, 0});
    i += length;
  }
  fPending.erase(0, i);
  return keys;
}
