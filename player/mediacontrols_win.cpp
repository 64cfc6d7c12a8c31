// Windows has no MPRIS: media keys reach console programs only through a
// window, which the player has not.
#include "MediaControls.h"

std::unique_ptr<MediaControls> ConnectMediaControls() { return nullptr; }
