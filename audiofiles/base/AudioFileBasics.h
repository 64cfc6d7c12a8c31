// What every per-format reader has in common: the stream properties and
// tag fields, the result codes of the file operations, and the small
// helpers the readers share.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ByteStreams.h"
#include "TextUtils.h"
#include "EnumList.h"

// Result of a reader's file operation. Stored in one byte; the order and
// spellings are part of the interface.
#define QUAV_AUDIO_ERROR_LIST(X)   \
  X(FileErr_None)                  \
  X(FileErr_NoFile)                \
  X(FileErr_FileCreate)            \
  X(FileErr_FileOpenR)             \
  X(FileErr_FileOpenRW)            \
  X(FileErr_ReadOnly)              \
  X(MP3ERR_StreamRead)             \
  X(MP3ERR_StreamWrite)            \
  X(Mp3ERR_Cache)                  \
  X(Mp3ERR_NoTag)                  \
  X(MP3ERR_Invalid_Header)         \
  X(Mp3ERR_Compression)            \
  X(Mp3ERR_Unclassified)           \
  X(MP3ERR_NoMpegFrame)            \
  X(OVErr_InvalidFirstPageHeader)  \
  X(OVErr_InvalidFirstPage)        \
  X(OVErr_InvalidSecondPageHeader) \
  X(OVErr_InvalidSecondPage)       \
  X(OVErr_CommentTooLarge)         \
  X(OVErr_BackupFailed)            \
  X(OVErr_DeleteBackupFailed)      \
  X(OVErr_RemovingNotSupported)    \
  X(FlacErr_InvalidFlacFile)       \
  X(FlacErr_MetaDataTooLarge)      \
  X(FlacErr_BackupFailed)          \
  X(FlacErr_DeleteBackupFailed)    \
  X(FlacErr_RemovingNotSupported)  \
  X(ApeErr_InvalidApeFile)         \
  X(ApeErr_InvalidTag)             \
  X(ApeErr_NoTag)                  \
  X(WmaErr_WritingNotSupported)    \
  X(WavErr_WritingNotSupported)    \
  X(FileErr_NotSupportedFileType)

enum TAudioError : uint8_t { QUAV_AUDIO_ERROR_LIST(QUAV_ENUM_VALUE) };

// The value's name as spelled above ("FileErr_None", ...).
const char* AudioErrorName(TAudioError error);

// The abstract reader. A new reader starts with every field zero or false.
// The read frame lives here, once for every reader: ReadFromFile clears the
// reader (ResetForRead), opens the file read-only for the length of the
// call, parses it (ReadFromStream) and turns any failure while opening or
// reading into FileErr_FileOpenR (FinishRead may adjust the outcome), except
// that a name that does not stand for a file (missing, or a folder) is
// answered with FileErr_NoFile; it never lets an exception escape.
class TBaseAudioFile {
 public:
  virtual ~TBaseAudioFile() = default;

  virtual int64_t FileSize() const = 0;
  virtual int32_t Duration() const = 0;
  virtual int32_t Bitrate() const = 0;
  virtual int32_t Samplerate() const = 0;
  virtual int32_t Channels() const = 0;
  virtual bool Valid() const = 0;

  virtual std::u16string Title() const = 0;
  virtual std::u16string Artist() const = 0;
  virtual std::u16string Album() const = 0;
  virtual std::u16string Year() const = 0;
  virtual std::u16string Track() const = 0;
  virtual std::u16string Genre() const = 0;

  virtual void SetTitle(const std::u16string& value) = 0;
  virtual void SetArtist(const std::u16string& value) = 0;
  virtual void SetAlbum(const std::u16string& value) = 0;
  virtual void SetYear(const std::u16string& value) = 0;
  virtual void SetTrack(const std::u16string& value) = 0;
  virtual void SetGenre(const std::u16string& value) = 0;

  virtual TAudioError ReadFromFile(const std::string& aFilename) final;
  virtual TAudioError WriteToFile(const std::string& aFilename) = 0;
  virtual TAudioError RemoveFromFile(const std::string& aFilename) = 0;

  // The same frame over a stream that is already open (a file's bytes in
  // memory, say): clears the reader, parses the stream and reports what
  // ReadFromFile would report for a file holding those bytes. Never throws.
  TAudioError ReadFromOpenStream(TStream& stream);

  // Parses the stream, from offset 0, into a reader that ResetForRead has
  // just cleared. May raise the stream's errors; the frame catches them.
  virtual TAudioError ReadFromStream(TStream& stream) = 0;

 protected:
  // Forgets everything the previous read left, before the file is looked at.
  virtual void ResetForRead() = 0;
  // The outcome of a read: `parsed` is false when opening or parsing raised
  // an error, and `result` is then meaningless. The base answers
  // FileErr_FileOpenR for that and `result` otherwise; a reader overrides it
  // to adjust what a failed read leaves behind, or to finish the values.
  virtual TAudioError FinishRead(TAudioError result, bool parsed);

  int64_t fFileSize = 0;
  int32_t fDuration = 0;
  int32_t fBitrate = 0;
  int32_t fSamplerate = 0;
  int32_t fChannels = 0;
  bool fValid = false;
};

// A count or rate of the file as the readers' signed 32-bit figures hold
// it: 0, for unknown, when it does not fit (a sample rate above 2^31 - 1
// would otherwise read as negative).
inline int32_t Int32OrZero(uint64_t value) { return value <= INT32_MAX ? static_cast<int32_t>(value) : 0; }

// True when a file of that name exists (a link counts by its target).
bool AudioFileExists(const std::string& aFilename);

// Opens the named file read-only (others may read, not write), hands it to
// `parse` and closes it before returning. False when the file cannot be
// opened or `parse` raised an error; the error does not escape.
bool ParseFile(const std::string& aFilename, const std::function<void(TStream&)>& parse);

// Bytes an ID3v2 tag occupies at the start of the stream (header, body and
// a v2.4 footer), 0 when there is none. Reads the first 10 bytes exactly
// (EReadError when the stream is shorter) and leaves the stream after them.
uint32_t GetID3v2Size(TStream& stream);

// The 28-bit size of an ID3v2 header's four size bytes, in file order. The
// top bits are not cleared: a malformed byte overlaps the next group.
uint32_t SyncSafeToInteger(const uint8_t bytes[4]);
