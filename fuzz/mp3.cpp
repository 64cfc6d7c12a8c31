// Feeds arbitrary bytes to the MP3 reader as a memory stream, then asks
// every getter of the reader, its tags and their frames.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "Mp3Files.h"

namespace {

volatile size_t gSink;

void Use(const std::u16string& s) { gSink = gSink + s.size(); }
void Use(const std::string& s) { gSink = gSink + s.size(); }
void Use(int64_t v) { gSink = gSink + static_cast<size_t>(v); }

void ExerciseFrame(const TID3v2Frame& frame) {
  Use(frame.FrameType());
  Use(frame.FrameTypeDescription());
  Use(frame.FrameID());
  Use(frame.FlagTagAlterPreservation() + frame.FlagFileAlterPreservation() + frame.FlagReadOnly() +
      frame.FlagUnknownStatus() + frame.FlagCompression() + frame.FlagEncryption() + frame.FlagGroupingIndentity() +
      frame.FlagUnsynchronisation() + frame.FlagDataLengthIndicator() + frame.FlagUnknownEncoding());
  std::u16string description;
  std::string language, mime, mail, owner;
  uint8_t type = 0;
  TMemoryStream data;
  Use(frame.GetText());
  Use(frame.GetUserText(description));
  Use(frame.GetCommentsLyrics(language, description));
  Use(frame.GetUserdefinedURL(description));
  Use(frame.GetURL());
  Use(frame.GetPicture(mime, type, description, data));
  Use(frame.GetRating(mail));
  Use(frame.GetPersonalPlayCounter(mail));
  Use(frame.GetPrivateFrame(owner, data));
  frame.GetData(data);
  Use(data.Size());
}

void ExerciseTag(const TID3v2Tag& tag) {
  Use(tag.Title() + tag.Artist() + tag.Album() + tag.Year() + tag.Track() + tag.Genre() + tag.Composer() +
      tag.OriginalArtist() + tag.Copyright() + tag.EncodedBy() + tag.Languages() + tag.SoftwareSettings() +
      tag.Mediatype() + tag.id3Length() + tag.Publisher() + tag.OriginalFilename() + tag.OriginalLyricist() +
      tag.OriginalReleaseYear() + tag.OriginalAlbumTitel() + tag.Comment() + tag.Lyrics());
  Use(tag.GetExtendedComment("eng", u"*") + tag.GetLyrics("", u"*") + tag.GetUserText(u""));
  Use(tag.URL() + tag.GetURL(IDv2_ARTISTURL));
  TMemoryStream picture, priv;
  Use(tag.GetPicture(picture, u"*"));
  Use(tag.Rating() + tag.PlayCounter());
  Use(tag.GetPrivateFrame("", priv));
  Use(tag.GetAllFrames().size() + tag.GetAllTextFrames().size() + tag.GetAllUserTextFrames().size() +
      tag.GetAllCommentFrames().size() + tag.GetAllLyricFrames().size() + tag.GetAllUserDefinedURLFrames().size() +
      tag.GetAllPictureFrames().size() + tag.GetAllPopularimeterFrames().size() + tag.GetAllURLFrames().size() +
      tag.GetAllPrivateFrames().size());
  Use(tag.ValidNewCommentFrame("*", u"") + tag.ValidNewLyricFrame("", u"*") + tag.ValidNewPictureFrame(u"") +
      tag.ValidNewUserDefUrlFrame(u"") + tag.ValidNewPopularimeterFrame("*"));
  Use(tag.GetAllowedTextFrames().size() + tag.GetAllowedURLFrames().size());
  Use(tag.Size() + tag.PaddingSize());
  for (const auto& frame : tag.Frames()) ExerciseFrame(*frame);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream input = fuzzsupport::InputStream(data, size);
  TMP3File file;
  file.ReadFromOpenStream(input);
  Use(file.FileSize() + file.Duration() + file.Bitrate() + file.Samplerate() + file.Channels() + file.Valid());
  Use(file.Title() + file.Artist() + file.Album() + file.Year() + file.Track() + file.Genre());
  {
    const TMP3File* mp3 = &file;
    Use(mp3->Comment());
    Use(mp3->ID3v1TagSize() + mp3->ID3v2TagSize());
    const TID3v1Tag& v1 = mp3->ID3v1Tag();
    Use(v1.Title() + v1.Artist() + v1.Album() + v1.Comment() + v1.Genre() + v1.Track());
    Use(v1.Year());
    const TMpegInfo& info = mp3->MpegInfo();
    Use(int64_t{info.Frames()} + info.Dauer() + info.Bitrate() + info.FirstHeaderPosition());
    ExerciseTag(mp3->ID3v2Tag());
  }
  return 0;
}
