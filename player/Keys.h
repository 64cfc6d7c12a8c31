// Keys from a terminal: bytes in, key presses out. Arrow keys arrive as
// escape sequences (ESC [ C, ESC O C, ESC [ 1 ; 5 C ...), read whole, so
// that a lone ESC or a sequence cut short is never taken for other keys.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct KeyPress {
  enum class Kind { Character, Up, Down, Left, Right };
  Kind Key = Kind::Character;
  char Character = 0;  // for Kind::Character: an ASCII character
  bool operator==(const KeyPress&) const = default;
};

class KeyDecoder {
 public:
  // The key presses the bytes complete. An escape sequence cut at the end
  // of the bytes waits for the rest.
  std::vector<KeyPress> Feed(std::string_view bytes);
  // No bytes came for a while: what waits is a lone ESC, or a sequence
  // that will not be finished; it is dropped.
  void Idle() { fPending.clear(); }

 private:
  std::string fPending;
};
