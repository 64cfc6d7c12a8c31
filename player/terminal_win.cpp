// Keys on Windows: the console input API. The console keeps key events in
// its input buffer until someone reads them; the player only peeks, so
// nothing is echoed while it runs.
#include <windows.h>

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

// With no event waiting: false. A waiting key event of the space bar (key
// down or up) answers true and stays in the buffer; any other event
// empties the whole buffer. Without a console the count cannot be asked
// and the answer is false.
bool StopKeyPressed() {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD waiting = 0;
  if (!::GetNumberOfConsoleInputEvents(input, &waiting) || waiting == 0) return false;
  INPUT_RECORD record{};
  DWORD read = 0;
  if (!::PeekConsoleInputW(input, &record, 1, &read) || read == 0) return false;
  if (record.EventType == KEY_EVENT && record.Event.KeyEvent.wVirtualKeyCode == VK_SPACE) return true;
  ::FlushConsoleInputBuffer(input);
  return false;
}
