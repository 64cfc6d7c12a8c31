// Keys on Windows: the console input API. The console keeps key events in
// its input buffer until someone reads them, and echoes nothing meanwhile.
#include <windows.h>

#include <algorithm>
#include <iterator>

#include "Terminal.h"

namespace {

bool gOwnerAlive = false;

// Standard input's console, or nothing when input is redirected.
HANDLE ConsoleInput() {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == nullptr || input == INVALID_HANDLE_VALUE || !::GetConsoleMode(input, &mode)) return nullptr;
  return input;
}

}  // namespace

// Nothing to set: the console delivers key events without any mode change.
// What was typed during the run is discarded at the end, so it does not
// reach the command prompt.
KeyInputMode::KeyInputMode() {
  if (gOwnerAlive || ConsoleInput() == nullptr) return;
  fOwner = true;
  gOwnerAlive = true;
}

KeyInputMode::~KeyInputMode() {
  if (!fOwner) return;
  if (const HANDLE input = ConsoleInput()) ::FlushConsoleInputBuffer(input);
  gOwnerAlive = false;
}

// Every waiting input event is read; key presses (not releases) of the
// arrows and of ASCII characters count, the rest is passed over. Without
// a console the count cannot be asked and nothing comes.
std::vector<KeyPress> PollKeys() {
  std::vector<KeyPress> keys;
  const HANDLE input = ConsoleInput();
  DWORD waiting = 0;
  if (input == nullptr || !::GetNumberOfConsoleInputEvents(input, &waiting) || waiting == 0) return keys;
  INPUT_RECORD records[64];
  DWORD read = 0;
  if (!::ReadConsoleInputW(input, records, static_cast<DWORD>(std::size(records)), &read)) return keys;
  for (DWORD i = 0; i < read; ++i) {
    if (records[i].EventType != KEY_EVENT || !records[i].Event.KeyEvent.bKeyDown) continue;
    const KEY_EVENT_RECORD& key = records[i].Event.KeyEvent;
    for (WORD repeat = 0; repeat < std::max<WORD>(1, key.wRepeatCount); ++repeat) {
      switch (key.wVirtualKeyCode) {
        case VK_LEFT: keys.push_back({KeyPress::Kind::Left, 0}); break;
        case VK_RIGHT: keys.push_back({KeyPress::Kind::Right, 0}); break;
        case VK_UP: keys.push_back({KeyPress::Kind::Up, 0}); break;
        case VK_DOWN: keys.push_back({KeyPress::Kind::Down, 0}); break;
        default:
          if (key.uChar.UnicodeChar > 0 && key.uChar.UnicodeChar < 0x80)
            keys.push_back({KeyPress::Kind::Character, static_cast<char>(key.uChar.UnicodeChar)});
      }
    }
  }
  return keys;
}
