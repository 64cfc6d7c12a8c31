// Fuzz target: the WMA reader on arbitrary bytes in a ".wma" file.
#include <cstdlib>

#include "AudioFiles.h"
#include "FuzzSupport.h"
#include "WmaFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzsupport::WriteInput(data, size, ".wma");
  TGeneralAudioFile file(path);
  const TWMAfile* wma = file.WmaFile();
  if (!wma) std::abort();
  // A read either succeeds and is valid, or fails and leaves the reset state.
  if ((file.LastError() == FileErr_None) != wma->Valid()) std::abort();
  if (!wma->Valid() && (wma->Track() != u"0" || !wma->Title().empty() || wma->Duration() != 0)) std::abort();
  if (wma->Channels() < 0 || wma->Channels() > 2) std::abort();
  if (wma->Title().size() > 250 || wma->Comment().size() > 250) std::abort();
  (void)wma->ChannelMode();
  return 0;
}
