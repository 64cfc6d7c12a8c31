// quavtag Details of the WMA reader. RIFF WAVE files have no details of
// their own: their row of the table is empty and prints {}.
#include "Details.h"
#include "WmaFiles.h"

void WriteWmaDetails(JsonWriter& json, const TGeneralAudioFile& file) {
  const TWMAfile* wma = file.WmaFile();
  if (!wma) return;
  json.Key("ChannelModeID").Number(wma->ChannelModeID());
  json.Key("ChannelMode").String(wma->ChannelMode());
  json.Key("Comment").String(wma->Comment());
}
