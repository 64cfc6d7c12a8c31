// quavtag "Details" for Ogg Vorbis and FLAC files.
#include <vector>

#include "Details.h"
#include "FlacFiles.h"
#include "OggVorbisFiles.h"

namespace {

// The nine text properties beyond the base, the comment list as
// [name, value] pairs; shared by both readers.
template <typename Reader>
void WriteCommentDetails(JsonWriter& json, const Reader& reader) {
  json.Key("Version").String(reader.Version());
  json.Key("Performer").String(reader.Performer());
  json.Key("Copyright").String(reader.Copyright());
  json.Key("License").String(reader.License());
  json.Key("Organization").String(reader.Organization());
  json.Key("Description").String(reader.Description());
  json.Key("Location").String(reader.Location());
  json.Key("Contact").String(reader.Contact());
  json.Key("ISRC").String(reader.ISRC());
  std::vector<std::u16string> names;
  reader.GetAllFields(names);
  json.Key("Fields").BeginArray();
  for (size_t i = 0; i < names.size(); ++i) {
    json.BeginArray();
    json.String(names[i]);
    json.String(reader.GetPropertyByIndex(static_cast<int32_t>(i)));
    json.EndArray();
  }
  json.EndArray();
}

}  // namespace

void WriteOggDetails(JsonWriter& json, const TGeneralAudioFile& file) {
  const TOggVorbisFile* ogg = file.OggFile();
  if (!ogg) return;
  const TVorbisComments& comments = ogg->SecondOggVorbisPage().Comments;
  json.Key("Samples").Number(ogg->Samples());
  json.Key("BitRateNominal").Number(ogg->BitRateNominal());
  json.Key("ValidComment").Bool(comments.ValidComment());
  json.Key("VendorString").String(Utf8ToUtf16(comments.VendorString()));
  WriteCommentDetails(json, *ogg);
}

void WriteFlacDetails(JsonWriter& json, const TGeneralAudioFile& file) {
  const TFlacFile* flac = file.FlacFile();
  if (!flac) return;
  WriteCommentDetails(json, *flac);
  json.Key("BitsPerSample").Number(flac->BitsPerSample());
  json.Key("Samples").Number(flac->Samples());
  json.Key("AudioOffset").Number(flac->AudioOffset());
  json.Key("FlacOffset").Number(flac->FlacOffset());
  json.Key("Blocks").BeginArray();
  for (const auto& block : flac->MetaBlocks()) json.Number(block->BlockType());
  json.EndArray();
  std::vector<TFlacPictureBlock*> pictures;
  flac->GetAllPictureBlocks(pictures);
  json.Key("Pictures").BeginArray();
  for (const TFlacPictureBlock* picture : pictures) {
    json.BeginObject();
    json.Key("PictureType").Number(picture->PictureType());
    json.Key("Mime").Bytes(picture->Mime());
    json.Key("Description").String(picture->Description());
    json.Key("Width").Number(picture->Width());
    json.Key("Height").Number(picture->Height());
    json.Key("ColorDepth").Number(picture->ColorDepth());
    json.Key("NumberOfColors").Number(picture->NumberOfColors());
    json.Key("Size").Number(picture->PicDataSize());
    json.EndObject();
  }
  json.EndArray();
}
