// TID3v1Tag: the 128-byte tag at the end of the file.
#include "Tagmill.h"

#include <exception>

#include "AudioFileBasics.h"
#include "Id3Basics.h"
#include "TextUtils.h"

void TID3v1Tag::Clear() {
  FTitle.assign(30, '\0');
  FArtist.assign(30, '\0');
  FAlbum.assign(30, '\0');
  FComment.assign(30, '\0');
  FYear.assign(4, '\0');
  FTrack = 0;
  FGenre = 0;
  FVersion = 0;
  FExists = false;
}

TMP3Error TID3v1Tag::ReadFromStream(TStream& stream) {
  Clear();
  try {
    // A stream shorter than the tag keeps its position and reads short.
    constexpr int64_t kSize = TID3v1Structure::kSize;
    if (stream.Size() >= kSize) stream.Seek(stream.Size() - kSize);
    uint8_t block[kSize];
    if (stream.Read(block, kSize) < kSize) return MP3ERR_SRead;
    TID3v1Structure tag;
    tag.Decode(block);
    if (!tag.HasId()) return ID3ERR_NoTag;

    FExists = true;
    FVersion = tag.HasTrack() ? 1 : 0;
    FTitle.assign(tag.Title, 30);
    FArtist.assign(tag.Artist, 30);
    FAlbum.assign(tag.Album, 30);
    FYear.assign(tag.Year, 4);
    if (FVersion == 1) {
      FComment.assign(tag.Comment, 28);
      FComment.append(2, '\0');
      FTrack = static_cast<uint8_t>(tag.Comment[29]);
    } else {
      FComment.assign(tag.Comment, 30);
      FTrack = 0;
    }
    FGenre = tag.Genre;
    return MP3ERR_None;
  } catch (const std::exception& e) {
    Clear();
    ShowId3ErrorBox(e.what());
    return ID3ERR_Unclassified;
  }
}

TMP3Error TID3v1Tag::ReadFromFile(const std::string& aFilename) {
  if (!AudioFileExists(aFilename)) return MP3ERR_NoFile;
  TMP3Error result = MP3ERR_None;
  if (!ParseFile(aFilename, [&](TStream& stream) { result = ReadFromStream(stream); })) return MP3ERR_FOpenR;
  return result;
}

std::u16string TID3v1Tag::DecodeField(const std::string& field) const {
  return Trim(DecodeCodePageText(field, fAutoCorrectCodepage, FCharCode));
}

std::u16string TID3v1Tag::Genre() const {
  // The extensions past 125 were never part of the 8-bit tag's list.
  if (!FExists || FGenre > 125) return {};
  return std::u16string(ID3Genres[FGenre]);
}

std::u16string TID3v1Tag::Track() const { return IntToStr(FTrack); }
