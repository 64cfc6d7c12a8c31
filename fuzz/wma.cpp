// Fuzz target: the WMA reader on arbitrary bytes in a memory stream.
#include <cstdlib>

#include "FuzzSupport.h"
#include "WmaFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream input = fuzzsupport::InputStream(data, size);
  TWMAfile file;
  const TAudioError result = file.ReadFromOpenStream(input);
  const TWMAfile* wma = &file;
  // A read either succeeds and is valid, or fails and leaves the reset state.
  if ((result == FileErr_None) != wma->Valid()) std::abort();
  if (!wma->Valid() && (wma->Track() != u"0" || !wma->Title().empty() || wma->Duration() != 0)) std::abort();
  if (wma->Channels() < 0 || wma->Channels() > 2) std::abort();
  if (wma->Title().size() > 250 || wma->Comment().size() > 250) std::abort();
  (void)wma->ChannelMode();
  return 0;
}
