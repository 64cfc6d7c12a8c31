// TID3v2Tag: the tag at the start of the file, its frames and getters.
#include "Tagmill.h"

#include <algorithm>
#include <exception>

#include "AudioFileBasics.h"
#include "Id3Basics.h"
#include "TextUtils.h"

std::u16string ResolveGenre(std::u16string_view text) {
  const size_t open = text.find(u'(');
  const size_t close = text.find(u')');
  if (open == std::u16string_view::npos || close == std::u16string_view::npos || close < open)
    return std::u16string(text);
  int32_t number = 0;
  if (!TryStrToInt(text.substr(open + 1, close - open - 1), number)) number = 255;
  const uint32_t index = static_cast<uint32_t>(number) & 0xFF;
  if (index < ID3Genres.size()) return std::u16string(ID3Genres[index]);
  return std::u16string(text);
}

void TID3v2Tag::Clear() {
  fFrames.clear();
  fVersion = TID3Version{};
  fTagSize = 0;
  fDataSize = 0;
  fPaddingSize = 0;
  fExists = false;
  fUsePadding = true;
  fFlgUnsynch = fFlgCompression = fFlgExtended = false;
  fFlgExperimental = fFlgFooterPresent = fFlgUnknown = false;
  fUseClusteredPadding = true;
}

//  "ID3" | major | minor | flags | size (4 x 7 bits, big-endian)
//  flags  2.2: 0x80 unsynchronisation, 0x40 compression
//         2.3: 0x80 unsynchronisation, 0x40 extended header, 0x20 experimental
//         2.4: as 2.3, and 0x10 footer present
TMP3Error TID3v2Tag::ReadHeader(TStream& Stream) {
  uint8_t header[10];
  Stream.Seek(0);
  if (Stream.Read(header, 10) != 10) return MP3ERR_SRead;
  if (header[0] != 'I' || header[1] != 'D' || header[2] != '3') return ID3ERR_NoTag;
  const uint8_t major = header[3];
  if (major < 2 || major > 4) return ID3ERR_Invalid_Header;

  TMP3Error result = MP3ERR_None;
  fTagSize = SyncSafeToInteger(header + 6) + 10;
  fExists = true;
  const uint8_t flags = header[5];
  fFlgUnsynch = (flags & 0x80) != 0;
  switch (major) {
    case 2:
      fFlgCompression = (flags & 0x40) != 0;
      fFlgUnknown = (flags & 0x3F) != 0;
      if (fFlgCompression) result = ID3ERR_Compression;
      break;
    case 3:
      fFlgExtended = (flags & 0x40) != 0;
      fFlgExperimental = (flags & 0x20) != 0;
      fFlgUnknown = (flags & 0x1F) != 0;
      break;
    default:
      fFlgExtended = (flags & 0x40) != 0;
      fFlgExperimental = (flags & 0x20) != 0;
      fFlgFooterPresent = (flags & 0x10) != 0;
      fFlgUnknown = (flags & 0x0F) != 0;
      if (fFlgFooterPresent) fTagSize += 10;
      break;
  }
  fVersion.Major = major;
  fVersion.Minor = header[4];

  if (fFlgExtended) {
    // 2.3: big-endian size without its own four bytes; 2.4: 7 bits per byte,
    // counting the whole extended header.
    uint8_t size[4];
    if (Stream.Read(size, 4) != 4) return MP3ERR_SRead;
    if (major == 3) {
      Stream.Skip(GetU32BE(size));
    } else {
      const uint32_t extended = SyncSafeToInteger(size);
      if (extended >= 4) Stream.Skip(extended - 4);
    }
  }
  return result;
}

TMP3Error TID3v2Tag::ReadFromStream(TStream& Stream) {
  Clear();
  TMP3Error result;
  try {
    result = ReadHeader(Stream);
  } catch (const EReadError&) {
    return MP3ERR_SRead;
  } catch (const std::exception& e) {
    ShowId3ErrorBox(e.what());
    return ID3ERR_Unclassified;
  }
  if (!fExists || result != MP3ERR_None) return result;

  const int64_t bodyLength = int64_t(fTagSize) - Stream.Position();
  if (bodyLength <= 0) {
    TMemoryStream empty;
    return ReadFrames(empty);
  }
  if (fFlgUnsynch && fVersion.Major != 4) {
    // Only what the stream holds is taken: a size beyond the end never
    // turns into an allocation of that size.
    TMemoryStream body(RemoveUnsynchronisation(Stream.ReadAtMost(bodyLength)));
    return ReadFrames(body);
  }
  // A body the stream cannot supply raises EReadError to the caller. The
  // frames are read from the stream itself, bounded by the body, so that
  // the padding after them is never read.
  if (bodyLength > Stream.Remaining()) throw EReadError();
  TSubStream body(Stream, Stream.Position(), bodyLength);
  return ReadFrames(body);
}

TMP3Error TID3v2Tag::ReadFrames(TStream& body) {
  fUsePadding = false;
  fFrames.clear();
  const int64_t idLength = fVersion.Major == 2 ? 3 : 4;
  // Every pass consumes at least the ID, so the loop ends with the body.
  while (body.Remaining() > 0) {
    const int64_t idStart = body.Position();
    const std::string id = body.ReadAtMost(idLength);
    if (int64_t(id.size()) < idLength || !IsValidFrameID(id, fVersion.Major)) {
      fPaddingSize = fTagSize - static_cast<uint32_t>(idStart);
      fUsePadding = true;
      return MP3ERR_None;
    }
    try {
      auto frame = std::make_unique<TID3v2Frame>(id, fVersion.Major);
      frame->ReadFromStream(body);
      frame->SetAlwaysWriteUnicode(fAlwaysWriteUnicode);
      frame->SetCharCode(fCharCode);
      frame->SetAutoCorrectCodepage(fAutoCorrectCodepage);
      fFrames.push_back(std::move(frame));
    } catch (const EReadError&) {
      return MP3ERR_SRead;
    } catch (const std::exception& e) {
      ShowId3ErrorBox(e.what());
      return ID3ERR_Unclassified;
    }
  }
  return MP3ERR_None;
}

TMP3Error TID3v2Tag::ReadFromFile(const std::string& Filename) {
  if (!AudioFileExists(Filename)) return MP3ERR_NoFile;
  fFilename = Filename;
  TMP3Error result = MP3ERR_None;
  if (!ParseFile(Filename, [&](TStream& stream) { result = ReadFromStream(stream); })) return MP3ERR_FOpenR;
  return result;
}

const TID3v2Frame* TID3v2Tag::FindFrame(TFrameIDs FrameID) const {
  const int index = IndexOfFrame(fFrames, IDStringFor(FrameID, fVersion.Major));
  return index < 0 ? nullptr : fFrames[size_t(index)].get();
}

TID3v2FrameRefs TID3v2Tag::FramesWithID(TFrameIDs FrameID) const {
  TID3v2FrameRefs list;
  const std::string_view id = IDStringFor(FrameID, fVersion.Major);
  if (id.empty()) return list;
  for (const auto& frame : fFrames)
    if (frame->FrameIDString() == id) list.push_back(frame.get());
  return list;
}

TID3v2FrameRefs TID3v2Tag::FramesOfType(TID3v2FrameTypes type) const {
  TID3v2FrameRefs list;
  for (const auto& frame : fFrames)
    if (frame->FrameType() == type) list.push_back(frame.get());
  return list;
}

std::u16string TID3v2Tag::GetText(TFrameIDs FrameID) const {
  const TID3v2Frame* frame = FindFrame(FrameID);
  return frame ? frame->GetText() : std::u16string();
}

const TID3v2Frame* TID3v2Tag::FindCommentFrame(TFrameIDs FrameID, std::string_view Language,
                                               std::u16string_view Description) const {
  for (const TID3v2Frame* frame : FramesWithID(FrameID))
    if (CommentFrameMatches(*frame, Language, Description)) return frame;
  return nullptr;
}

std::u16string TID3v2Tag::GetExtendedComment(std::string_view Language, std::u16string_view Description) const {
  const TID3v2Frame* frame = FindCommentFrame(IDv2_COMMENT, Language, Description);
  if (!frame) return {};
  std::string language;
  std::u16string description;
  return frame->GetCommentsLyrics(language, description);
}

std::u16string TID3v2Tag::GetLyrics(std::string_view Language, std::u16string_view Description) const {
  const TID3v2Frame* frame = FindCommentFrame(IDv2_LYRICS, Language, Description);
  if (!frame) return {};
  std::string language;
  std::u16string description;
  return frame->GetCommentsLyrics(language, description);
}

std::u16string TID3v2Tag::GetUserText(std::u16string_view Description) const {
  for (const TID3v2Frame* frame : FramesOfType(FT_UserTextFrame)) {
    std::u16string description;
    std::u16string value = frame->GetUserText(description);
    if (description == Description) return value;
  }
  return {};
}

const TID3v2Frame* TID3v2Tag::FindUserDefinedURLFrame(std::u16string_view Description) const {
  for (const TID3v2Frame* frame : FramesWithID(IDv2_USERDEFINEDURL)) {
    std::u16string description;
    frame->GetUserdefinedURL(description);
    if (description == Description) return frame;
  }
  return nullptr;
}

std::string TID3v2Tag::GetUserDefinedURL(std::u16string_view Description) const {
  const TID3v2Frame* frame = FindUserDefinedURLFrame(Description);
  std::u16string description;
  return frame ? frame->GetUserdefinedURL(description) : std::string();
}

std::string TID3v2Tag::GetURL(TFrameIDs FrameID) const {
  const TID3v2Frame* frame = FindFrame(FrameID);
  return frame ? frame->GetURL() : std::string();
}

const TID3v2Frame* TID3v2Tag::FindPictureFrame(std::u16string_view Description) const {
  for (const TID3v2Frame* frame : FramesWithID(IDv2_PICTURE)) {
    if (Description == u"*") return frame;
    std::string mime;
    uint8_t type = 0;
    std::u16string description;
    TMemoryStream ignored;
    frame->GetPicture(mime, type, description, ignored);
    if (description == Description) return frame;
  }
  return nullptr;
}

std::string TID3v2Tag::GetPicture(TMemoryStream& stream, std::u16string_view Description) const {
  const TID3v2Frame* frame = FindPictureFrame(Description);
  if (!frame) return {};
  std::string mime;
  uint8_t type = 0;
  std::u16string description;
  frame->GetPicture(mime, type, description, stream);
  return mime;
}

const TID3v2Frame* TID3v2Tag::FindPopularimeterFrame(std::string_view aEMail) const {
  for (const TID3v2Frame* frame : FramesWithID(IDv2_RATING)) {
    if (aEMail == "*") return frame;
    std::string email;
    frame->GetRating(email);
    if (email == aEMail) return frame;
  }
  return nullptr;
}

uint8_t TID3v2Tag::GetRating(std::string_view aEMail) const {
  const TID3v2Frame* frame = FindPopularimeterFrame(aEMail);
  std::string email;
  return frame ? frame->GetRating(email) : 0;
}

uint32_t TID3v2Tag::GetPersonalPlayCounter(std::string_view aEMail) const {
  const TID3v2Frame* frame = FindPopularimeterFrame(aEMail);
  std::string email;
  return frame ? frame->GetPersonalPlayCounter(email) : 0;
}

bool TID3v2Tag::GetPrivateFrame(std::string_view aOwnerID, TMemoryStream& Content) const {
  for (const TID3v2Frame* frame : FramesWithID(IDv2_PRIVATE)) {
    std::string owner;
    TMemoryStream data;
    const bool hasData = frame->GetPrivateFrame(owner, data);
    if (owner != aOwnerID) continue;
    if (hasData) Content.Append(data.Data());
    return hasData;
  }
  return false;
}

TID3v2FrameRefs TID3v2Tag::GetAllFrames() const {
  TID3v2FrameRefs list;
  for (const auto& frame : fFrames) list.push_back(frame.get());
  return list;
}
TID3v2FrameRefs TID3v2Tag::GetAllTextFrames() const { return FramesOfType(FT_TextFrame); }
TID3v2FrameRefs TID3v2Tag::GetAllUserTextFrames() const { return FramesOfType(FT_UserTextFrame); }
TID3v2FrameRefs TID3v2Tag::GetAllCommentFrames() const { return FramesWithID(IDv2_COMMENT); }
TID3v2FrameRefs TID3v2Tag::GetAllLyricFrames() const { return FramesWithID(IDv2_LYRICS); }
TID3v2FrameRefs TID3v2Tag::GetAllUserDefinedURLFrames() const { return FramesWithID(IDv2_USERDEFINEDURL); }
TID3v2FrameRefs TID3v2Tag::GetAllPictureFrames() const { return FramesWithID(IDv2_PICTURE); }
TID3v2FrameRefs TID3v2Tag::GetAllPopularimeterFrames() const { return FramesWithID(IDv2_RATING); }
TID3v2FrameRefs TID3v2Tag::GetAllURLFrames() const { return FramesOfType(FT_URLFrame); }
TID3v2FrameRefs TID3v2Tag::GetAllPrivateFrames() const { return FramesWithID(IDv2_PRIVATE); }

bool TID3v2Tag::ValidNewCommentFrame(std::string_view Language, std::u16string_view Description) const {
  return FindCommentFrame(IDv2_COMMENT, Language, Description) == nullptr;
}
bool TID3v2Tag::ValidNewLyricFrame(std::string_view Language, std::u16string_view Description) const {
  return FindCommentFrame(IDv2_LYRICS, Language, Description) == nullptr;
}
bool TID3v2Tag::ValidNewPictureFrame(std::u16string_view Description) const {
  return FindPictureFrame(Description) == nullptr;
}
bool TID3v2Tag::ValidNewUserDefUrlFrame(std::u16string_view Description) const {
  return FindUserDefinedURLFrame(Description) == nullptr;
}
bool TID3v2Tag::ValidNewPopularimeterFrame(std::string_view EMail) const {
  return FindPopularimeterFrame(EMail) == nullptr;
}

std::vector<TFrameIDs> TID3v2Tag::GetAllowedTextFrames() const {
  return AllowedFrameIDs(fFrames, fVersion.Major, IDv2_ARTIST, IDv2_SETSUBTITLE);
}
std::vector<TFrameIDs> TID3v2Tag::GetAllowedURLFrames() const {
  return AllowedFrameIDs(fFrames, fVersion.Major, IDv2_AUDIOFILEURL, IDv2_PAYMENTURL);
}

void TID3v2Tag::SetCharCode(const TCodePage& value) {
  fCharCode = value;
  for (auto& frame : fFrames) frame->SetCharCode(value);
}

void TID3v2Tag::SetAutoCorrectCodepage(bool value) {
  fAutoCorrectCodepage = value;
  for (auto& frame : fFrames) frame->SetAutoCorrectCodepage(value);
}
