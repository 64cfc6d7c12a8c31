#include "Console.h"

namespace console {

// Terminals here take UTF-8 as it is.
void WriteText(std::FILE* stream, std::string_view text) {
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace console
