// quavtag "Details" for MPEG audio: both tags and the stream analysis.
#include "Details.h"
#include "Mp3Files.h"

namespace {

void WriteId3v1(JsonWriter& json, const TID3v1Tag& tag) {
  json.BeginObject();
  json.Key("Exists").Bool(tag.Exists());
  json.Key("Version").Number(tag.Version());
  json.Key("Title").String(tag.Title());
  json.Key("Artist").String(tag.Artist());
  json.Key("Album").String(tag.Album());
  json.Key("Comment").String(tag.Comment());
  json.Key("Genre").String(tag.Genre());
  json.Key("Track").String(tag.Track());
  json.Key("Year").Bytes(tag.Year());
  json.EndObject();
}

void WriteId3v2(JsonWriter& json, const TID3v2Tag& tag) {
  json.BeginObject();
  json.Key("Exists").Bool(tag.Exists());
  json.Key("Version").BeginObject();
  json.Key("Major").Number(tag.Version().Major);
  json.Key("Minor").Number(tag.Version().Minor);
  json.EndObject();
  json.Key("Size").Number(tag.Size());
  json.Key("PaddingSize").Number(tag.PaddingSize());
  json.Key("UsePadding").Bool(tag.UsePadding());
  json.Key("FlgUnsynch").Bool(tag.FlgUnsynch());
  json.Key("FlgCompression").Bool(tag.FlgCompression());
  json.Key("FlgExtended").Bool(tag.FlgExtended());
  json.Key("FlgExperimental").Bool(tag.FlgExperimental());
  json.Key("FlgFooterPresent").Bool(tag.FlgFooterPresent());
  json.Key("FlgUnknown").Bool(tag.FlgUnknown());
  json.Key("Title").String(tag.Title());
  json.Key("Artist").String(tag.Artist());
  json.Key("Album").String(tag.Album());
  json.Key("Year").String(tag.Year());
  json.Key("Track").String(tag.Track());
  json.Key("Genre").String(tag.Genre());
  json.Key("Comment").String(tag.Comment());
  json.Key("Lyrics").String(tag.Lyrics());
  json.Key("Frames").BeginArray();
  for (const auto& frame : tag.Frames()) {
    const TID3v2FrameTypes type = frame->FrameType();
    json.BeginObject();
    json.Key("ID").Bytes(frame->FrameIDString());
    json.Key("FrameID").Utf8(FrameIDName(frame->FrameID()));
    json.Key("FrameType").Utf8(FrameTypeName(type));
    json.Key("FrameTypeDescription").String(frame->FrameTypeDescription());
    json.Key("DataSize").Number(frame->DataSize());
    json.Key("Text").String(type == FT_TextFrame ? frame->GetText() : std::u16string());
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
}

void WriteMpegInfo(JsonWriter& json, const TMpegInfo& info) {
  json.BeginObject();
  json.Key("Valid").Bool(info.Valid());
  json.Key("Filesize").Number(info.Filesize());
  json.Key("FirstHeaderPosition").Number(info.FirstHeaderPosition());
  json.Key("Version").Number(info.Version());
  json.Key("Layer").Number(info.Layer());
  json.Key("Protection").Bool(info.Protection());
  json.Key("Bitrate").Number(info.Bitrate());
  json.Key("Samplerate").Number(info.Samplerate());
  json.Key("Channelmode").Number(info.Channelmode());
  json.Key("Extension").Number(info.Extension());
  json.Key("Copyright").Bool(info.Copyright());
  json.Key("Original").Bool(info.Original());
  json.Key("Emphasis").Number(info.Emphasis());
  json.Key("Frames").Number(info.Frames());
  json.Key("Dauer").Number(info.Dauer());
  json.Key("Vbr").Bool(info.Vbr());
  json.EndObject();
}

}  // namespace

void WriteMp3Details(JsonWriter& json, const TGeneralAudioFile& file) {
  const TMP3File* mp3 = file.MP3File();
  if (!mp3) return;
  json.Key("Comment").String(mp3->Comment());
  json.Key("ID3v1TagSize").Number(mp3->ID3v1TagSize());
  json.Key("ID3v2TagSize").Number(mp3->ID3v2TagSize());
  json.Key("ID3v1");
  WriteId3v1(json, mp3->ID3v1Tag());
  json.Key("ID3v2");
  WriteId3v2(json, mp3->ID3v2Tag());
  json.Key("MpegInfo");
  WriteMpegInfo(json, mp3->MpegInfo());
}
