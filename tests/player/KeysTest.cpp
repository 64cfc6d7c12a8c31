#include "Keys.h"
#include "PlayerCommand.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using K = KeyPress::Kind;

std::string Shown(const std::vector<KeyPress>& keys) {
  std::string text;
  for (const KeyPress& k : keys) {
    switch (k.Key) {
      case K::Up: text += "<up>"; break;
      case K::Down: text += "<down>"; break;
      case K::Left: text += "<left>"; break;
      case K::Right: text += "<right>"; break;
      case K::Character: text += k.Character;
    }
  }
  return text;
}

TEST(KeyDecoder, ArrowsWholeAndNothingFromBrokenSequences) {
  struct Case {
    std::vector<std::string> reads;  // one Feed each
    std::string keys;
  } cases[] = {
      {{"p n"}, "p n"},
      {{"\x1b[A\x1b[B\x1b[C\x1b[D"}, "<up><down><right><left>"},
      {{"\x1bOC\x1bOD"}, "<right><left>"},          // application cursor mode
      {{"\x1b[1;5C", "\x1b[5~", "q"}, "<right>q"},  // Ctrl+Right; Page Up means nothing
      {{"\x1b", "[", "C"}, "<right>"},              // cut across reads
      {{"\x1bq", "\x1b\x1b"}, ""},                  // Alt+q, Alt+Esc
      {{"\x1b[12\n", "+"}, "\n+"},                  // broken off by a control character
      {{"\xc3\xa9-"}, "-"},                         // not ASCII
      {{"\x1b[" + std::string(20, '1')}, ""},       // never finished: dropped
  };
  for (const Case& c : cases) {
    KeyDecoder decoder;
    std::string got;
    for (const std::string& bytes : c.reads) got += Shown(decoder.Feed(bytes));
    EXPECT_EQ(got, c.keys) << testing::PrintToString(c.reads);
  }
  // A lone ESC followed by nothing for a tick is dropped, not joined to
  // the next key.
  KeyDecoder lone;
  EXPECT_EQ(Shown(lone.Feed("\x1b")), "");
  lone.Idle();
  EXPECT_EQ(Shown(lone.Feed("[C")), "[C");
}

TEST(KeyDecoder, CommandsOfTheKeys) {
  using C = PlayerCommand::Kind;
  struct Case {
    KeyPress key;
    C command;
    double value;
  } cases[] = {
      {{K::Right, 0}, C::SeekBy, 5},
      {{K::Left, 0}, C::SeekBy, -5},
      {{K::Up, 0}, C::SeekBy, 60},
      {{K::Down, 0}, C::SeekBy, -60},
      {{K::Character, 'p'}, C::TogglePause, 0},
      {{K::Character, 'n'}, C::Next, 0},
      {{K::Character, '>'}, C::Next, 0},
      {{K::Character, 'b'}, C::Previous, 0},
      {{K::Character, '<'}, C::Previous, 0},
      {{K::Character, '+'}, C::VolumeBy, 5},
      {{K::Character, '0'}, C::VolumeBy, 5},
      {{K::Character, '-'}, C::VolumeBy, -5},
      {{K::Character, '9'}, C::VolumeBy, -5},
      {{K::Character, 'm'}, C::ToggleMute, 0},
      {{K::Character, 'q'}, C::Quit, 0},
      {{K::Character, ' '}, C::EndTrack, 0},
  };
  for (const Case& c : cases) {
    const auto command = CommandForKey(c.key);
    ASSERT_TRUE(command) << c.key.Character;
    EXPECT_EQ(command->Command, c.command) << c.key.Character;
    EXPECT_EQ(command->Value, c.value) << c.key.Character;
  }
  for (char other : {'x', 'P', 'Q', '\n', '\x1b'}) EXPECT_FALSE(CommandForKey({K::Character, other})) << other;
}

}  // namespace
