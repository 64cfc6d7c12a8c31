#include "PlayerCommand.h"

std::optional<PlayerCommand> CommandForKey(const KeyPress& key) {
  using K = PlayerCommand::Kind;
  switch (key.Key) {
    case KeyPress::Kind::Right: return PlayerCommand{K::SeekBy, 5};
    case KeyPress::Kind::Left: return PlayerCommand{K::SeekBy, -5};
    case KeyPress::Kind::Up: return PlayerCommand{K::SeekBy, 60};
    case KeyPress::Kind::Down: return PlayerCommand{K::SeekBy, -60};
    case KeyPress::Kind::Character: break;
  }
  switch (key.Character) {
    case 'p': return PlayerCommand{K::TogglePause};
    case 'n':
    case '>': return PlayerCommand{K::Next};
    case 'b':
    case '<': return PlayerCommand{K::Previous};
    case '+':
    case '0': return PlayerCommand{K::VolumeBy, 5};
    case '-':
    case '9': return PlayerCommand{K::VolumeBy, -5};
    case 'm': return PlayerCommand{K::ToggleMute};
    case 'q': return PlayerCommand{K::Quit};
    case ' ': return PlayerCommand{K::EndTrack};
    default: return std::nullopt;
  }
}
