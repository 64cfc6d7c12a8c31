#include "QueuePlayer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <thread>

#include "AudioFiles.h"
#include "Console.h"
#include "Engine.h"
#include "NativeFiles.h"
#include "Terminal.h"
#include "TrackHeader.h"

namespace {

constexpr auto kTick = std::chrono::milliseconds(50);
// How long before a track's end the next one is opened and joined to it:
// far more than the engine keeps ahead of the device and the device holds
// (some 0.3 s), so that a busy machine still joins in time.
constexpr double kJoinLeadSeconds = 2.0;
// "Previous" further into a track than this goes back to its start.
constexpr double kRestartSeconds = 3.0;
constexpr double kNoticeSeconds = 1.5;
// A seek is heard within this (what the engine keeps ahead and a device
// holds, with room for a busy machine).
constexpr double kSeekHeardSeconds = 1.0;

void Sleep(unsigned microseconds) { std::this_thread::sleep_for(std::chrono::microseconds(microseconds)); }

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

double Seconds(HSTREAM stream, QWORD bytes) {
  return bytes == static_cast<QWORD>(-1) ? 0.0 : std::max(0.0, BASS_ChannelBytes2Seconds(stream, bytes));
}
double PositionSeconds(HSTREAM stream) { return Seconds(stream, BASS_ChannelGetPosition(stream, BASS_POS_BYTE)); }
double LengthSeconds(HSTREAM stream) { return Seconds(stream, BASS_ChannelGetLength(stream, BASS_POS_BYTE)); }

std::string FileUrl(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  std::string full = FullPathName(path);
  for (char& c : full)
    if (c == '\\') c = '/';
  if (!full.empty() && full[0] != '/') url += '/';  // C:/...
  for (const char c : full) {
    const auto b = static_cast<unsigned char>(c);
    if (std::isalnum(b) || std::string_view("/-._~:").find(c) != std::string_view::npos) {
      url += c;
    } else {
      url += '%';
      url += kHex[b >> 4];
      url += kHex[b & 15];
    }
  }
  return url;
}

}  // namespace

QueuePlayer::QueuePlayer(const PlayQueue& queue, const PlayerSettings& settings, GainMode gain,
                         std::unique_ptr<MediaControls> controls)
    : fQueue(queue),
      fGain(gain),
      fControls(std::move(controls)),
      fPlayed(queue.Sources.size(), 0),
      fVolume(settings.Volume) {}

std::optional<QueuePlayer::Track> QueuePlayer::Open(size_t from, std::vector<size_t>& unplayable, HSTREAM opened,
                                                    int step) {
  for (size_t i = from; i < fQueue.Entries.size(); i += static_cast<size_t>(step)) {
    const QueueEntry& entry = fQueue.Entries[i];
    // Only regular files: opening a pipe or a device may wait forever.
    const HSTREAM stream = i == from && opened ? opened : IsRegularFile(entry.Path) ? OpenFileStream(entry.Path) : 0;
    if (!stream) {
      unplayable.push_back(i);
      continue;
    }
    Track track{i, stream, PrepareTrack(entry.Path, stream, {entry.Number, entry.Count, entry.Title}, fMemory), 1, {}};
    track.Gain = GainFactor(track.Prepared.Gain, fGain);
    if (fControls) track.Url = FileUrl(entry.Path);
    SetTrackVolume(stream, StreamVolume(track));
    return track;
  }
  return std::nullopt;
}

void QueuePlayer::ReportUnplayable(std::vector<size_t>& unplayable) {
  for (size_t i : unplayable) ReportUnplayableEntry(fQueue.Entries[i].Shown, fQueue.Entries[i].Path);
  unplayable.clear();
}

void QueuePlayer::Begin(const Track& track) {
  console::Write(track.Prepared.Header);
  SetTrackVolume(track.Stream, StreamVolume(track));
  if (BASS_ChannelIsActive(track.Stream) == BASS_ACTIVE_STOPPED) BASS_ChannelPlay(track.Stream, FALSE);
  ++fPlayed[fQueue.Entries[track.Index].Source];
  fPaused = false;
  fSeekAt = -1;
}

double QueuePlayer::StreamVolume(const Track& track) const { return fMuted ? 0.0 : fVolume / 100.0 * track.Gain; }

void QueuePlayer::ApplyVolume(const Track& track) {
  SetTrackVolume(track.Stream, StreamVolume(track));
  if (fNext) SetTrackVolume(fNext->Stream, StreamVolume(*fNext));
}

void QueuePlayer::Notice(const std::string& text) {
  fNotice = text;
  fNoticeUntil = Now() + kNoticeSeconds;
}

void QueuePlayer::Rejoin(const Track& track) {
  if (!fNext || BASS_ChannelIsActive(fNext->Stream) == BASS_ACTIVE_STOPPED) return;
  BASS_ChannelStop(fNext->Stream);
  BASS_ChannelSetPosition(fNext->Stream, 0, BASS_POS_BYTE);
  BASS_ChannelPlayAfter(fNext->Stream, track.Stream);
}

void QueuePlayer::SeekTo(const Track& track, double seconds) {
  const QWORD length = BASS_ChannelGetLength(track.Stream, BASS_POS_BYTE);
  QWORD target = BASS_ChannelSeconds2Bytes(track.Stream, std::max(0.0, seconds));
  if (length != static_cast<QWORD>(-1) && length > 0) target = std::min(target, length);
  if (!BASS_ChannelSetPosition(track.Stream, target, BASS_POS_BYTE)) return;
  fSeekTarget = Seconds(track.Stream, target);
  fSeekAt = Now();
  Rejoin(track);
  if (fControls) fControls->Seeked(std::llround(Seconds(track.Stream, target) * 1e6));
}

double QueuePlayer::SeekBase(const Track& track) const {
  const double since = Now() - fSeekAt;
  if (fSeekAt < 0 || since > kSeekHeardSeconds) return PositionSeconds(track.Stream);
  return fSeekTarget + (fPaused ? 0.0 : since);
}

std::optional<QueuePlayer::End> QueuePlayer::Apply(const Track& track, const PlayerCommand& command) {
  using K = PlayerCommand::Kind;
  const HSTREAM stream = track.Stream;
  switch (command.Command) {
    case K::TogglePause:
    case K::Play:
    case K::Pause: {
      const bool pause = command.Command == K::Pause || (command.Command == K::TogglePause && !fPaused);
      if (pause && !fPaused)
        fPaused = BASS_ChannelPause(stream) != FALSE;
      else if (!pause && fPaused)
        fPaused = BASS_ChannelPlay(stream, FALSE) == FALSE;
      return std::nullopt;
    }
    case K::SeekBy: SeekTo(track, SeekBase(track) + command.Value); return std::nullopt;
    case K::SeekTo: SeekTo(track, command.Value); return std::nullopt;
    case K::Next: return End::Next;
    case K::Previous:
      // The first track has none before it: it starts again.
      if (SeekBase(track) <= kRestartSeconds && track.Index > 0) return End::Previous;
      SeekTo(track, 0);
      return std::nullopt;
    case K::VolumeBy:
    case K::SetVolume: {
      const double wanted = command.Command == K::SetVolume ? command.Value : fVolume + command.Value;
      fVolume = static_cast<int>(std::lround(std::clamp(wanted, 0.0, 100.0)));
      fMuted = false;
      ApplyVolume(track);
      Notice(Format("Volume: %d", fVolume));
      return std::nullopt;
    }
    case K::ToggleMute:
      fMuted = !fMuted;
      ApplyVolume(track);
      Notice(fMuted ? "Muted" : Format("Volume: %d", fVolume));
      return std::nullopt;
    case K::EndTrack: return fQueue.SingleFile ? End::Stopped : End::Next;
    case K::Quit: return End::Quit;
  }
  return std::nullopt;
}

void QueuePlayer::Publish(const Track& track, DWORD state) {
  if (!fControls) return;
  PlaybackSnapshot now;
  now.State = fPaused                        ? PlaybackSnapshot::Status::Paused
              : state == BASS_ACTIVE_STOPPED ? PlaybackSnapshot::Status::Stopped
                                             : PlaybackSnapshot::Status::Playing;
  now.Track = track.Index;
  now.Title = track.Prepared.Title;
  now.Artist = track.Prepared.Artist;
  now.Album = track.Prepared.Album;
  now.Url = track.Url;
  now.LengthMicroseconds = std::llround(LengthSeconds(track.Stream) * 1e6);
  now.PositionMicroseconds = std::llround(SeekBase(track) * 1e6);
  now.Volume = fVolume / 100.0;
  now.CanGoNext = track.Index + 1 < fQueue.Entries.size();
  now.CanGoPrevious = true;
  fControls->Publish(now);
}

QueuePlayer::End QueuePlayer::Play(const Track& track) {
  const HSTREAM stream = track.Stream;
  const bool terminal = console::OutputIsTerminal();
  std::optional<uint32_t> shownSecond;
  for (;;) {
    std::vector<PlayerCommand> commands;
    for (const KeyPress& key : PollKeys())
      if (const auto command = CommandForKey(key)) commands.push_back(*command);
    if (fControls) fControls->Poll(commands);
    for (const PlayerCommand& command : commands)
      if (const auto end = Apply(track, command)) return *end;

    ExitIfOutputLost();
    const DWORD state = BASS_ChannelIsActive(stream);
    if (state == BASS_ACTIVE_STOPPED) return End::ByItself;
    StatusValues values = PollStatus(stream, state, track.Prepared.Total);
    values.Paused = fPaused;
    if (Now() < fNoticeUntil) values.Notice = fNotice;
    if (fQueue.SingleFile) SetTrackVolume(stream, StreamVolume(track));
    // Into a file or a pipe, a line a second is enough; a pipe whose reader
    // has gone ends the run at once.
    if (!terminal && console::OutputClosed()) console::EndForClosedOutput();
    if (terminal || shownSecond != values.Elapsed) {
      StatusLine(values);
      shownSecond = values.Elapsed;
    }
    if (!fNextOpened && !fQueue.SingleFile) {
      const std::optional<double> remaining = RemainingSeconds(stream);
      if (!remaining || *remaining <= kJoinLeadSeconds) {
        fNextOpened = true;
        fNext = Open(track.Index + 1, fNextUnplayable);
        if (fNext) BASS_ChannelPlayAfter(fNext->Stream, stream);
      }
    }
    Publish(track, state);
    std::this_thread::sleep_for(kTick);
  }
}

int QueuePlayer::Run(HSTREAM firstStream) {
  int played = 0;
  std::vector<size_t> unplayable;
  std::optional<Track> current = Open(0, unplayable, firstStream);
  ReportUnplayable(unplayable);
  while (current) {
    Begin(*current);
    ++played;
    fNext.reset();
    fNextUnplayable.clear();
    fNextOpened = false;
    const End end = Play(*current);
    if (end == End::ByItself) {
      // Heard to its end, and the next track (if it opened in time) already
      // plays on from it.
      WriteBlankingLine();
      BASS_StreamFree(current->Stream);
      if (!fNextOpened) fNext = Open(current->Index + 1, fNextUnplayable);
      ReportUnplayable(fNextUnplayable);
      current = std::move(fNext);
      continue;
    }
    // The listener ended it: no join, the run-down and the fade (nothing to
    // run down while paused).
    if (fNext) {
      BASS_ChannelPlayAfter(fNext->Stream, 0);
      BASS_ChannelStop(fNext->Stream);
      BASS_ChannelSetPosition(fNext->Stream, 0, BASS_POS_BYTE);
    }
    if (fPaused)
      WriteBlankingLine();
    else
      WindDown(current->Stream, Sleep);
    BASS_StreamFree(current->Stream);
    const size_t index = current->Index;
    current.reset();
    if (end == End::Next) {
      if (!fNextOpened) fNext = Open(index + 1, fNextUnplayable);
      ReportUnplayable(fNextUnplayable);
      current = std::move(fNext);
    } else if (end == End::Previous) {
      if (fNext) BASS_StreamFree(fNext->Stream);
      std::vector<size_t> passed;
      // Back over the entries that do not play; the first track starts
      // again.
      if (index > 0) current = Open(index - 1, passed, 0, -1);
      if (!current) current = Open(index, passed);
    } else if (fNext) {
      BASS_StreamFree(fNext->Stream);
    }
  }
  return played;
}

GainMode ChooseGainMode(const PlayQueue& queue, bool replayGain) {
  if (!replayGain) return GainMode::Off;
  if (queue.SingleFile) return GainMode::Track;
  bool anyTrack = false;
  for (const QueueEntry& entry : queue.Entries) {
    const TGeneralAudioFile file(entry.Path);
    GainTags tags;
    if (file.Valid()) {
      tags = ReadGainTags(file);
    } else {
      // Not one the library reads: what the engine reads, if it plays it.
      const HSTREAM probe = OpenFileStream(entry.Path, BASS_STREAM_DECODE);
      if (!probe) continue;
      tags = GainTagsFromEngine(BASS_ChannelGetTags(probe));
      BASS_StreamFree(probe);
    }
    if (!tags.AlbumGain) return GainMode::Track;
    anyTrack = true;
  }
  return anyTrack ? GainMode::Album : GainMode::Track;
}
