#include "QueuePlayer.h"

#include <chrono>
#include <thread>

#include "AudioFiles.h"
#include "Console.h"
#include "Engine.h"
#include "Terminal.h"
#include "TrackHeader.h"

namespace {

constexpr auto kTick = std::chrono::milliseconds(50);
// How long before a track's end the next one is opened and joined to it:
// far more than the engine keeps ahead of the device and the device holds
// (some 0.3 s), so that a busy machine still joins in time.
constexpr double kJoinLeadSeconds = 2.0;

void Sleep(unsigned microseconds) { std::this_thread::sleep_for(std::chrono::microseconds(microseconds)); }

}  // namespace

QueuePlayer::QueuePlayer(const PlayQueue& queue, const PlayerSettings& settings, GainMode gain)
    : fQueue(queue), fSettings(settings), fGain(gain), fPlayed(queue.Sources.size(), 0) {}

std::optional<QueuePlayer::Track> QueuePlayer::Open(size_t from, std::vector<size_t>& unplayable, HSTREAM opened) {
  for (size_t i = from; i < fQueue.Entries.size(); ++i) {
    const QueueEntry& entry = fQueue.Entries[i];
    const HSTREAM stream = i == from && opened ? opened : OpenFileStream(entry.Path);
    if (!stream) {
      unplayable.push_back(i);
      continue;
    }
    Track track{i, stream, PrepareTrack(entry.Path, stream, {entry.Number, entry.Count, entry.Title}, fMemory), 0};
    track.Volume = fSettings.Volume / 100.0 * GainFactor(track.Prepared.Gain, fGain);
    SetTrackVolume(stream, track.Volume);
    return track;
  }
  return std::nullopt;
}

void QueuePlayer::ReportUnplayable(std::vector<size_t>& unplayable) {
  for (size_t i : unplayable) ReportUnplayableEntry(fQueue.Entries[i].Shown);
  unplayable.clear();
}

void QueuePlayer::Begin(const Track& track) {
  console::Write(track.Prepared.Header);
  if (BASS_ChannelIsActive(track.Stream) == BASS_ACTIVE_STOPPED) BASS_ChannelPlay(track.Stream, FALSE);
  ++fPlayed[fQueue.Entries[track.Index].Source];
}

QueuePlayer::End QueuePlayer::Play(const Track& track) {
  const HSTREAM stream = track.Stream;
  DWORD state = BASS_ChannelIsActive(stream);
  for (;;) {
    if (fQueue.SingleFile && StopKeyPressed()) return End::Stopped;
    if (state == BASS_ACTIVE_STOPPED) return End::ByItself;
    const StatusValues values = PollStatus(stream, state, track.Prepared.Total);
    if (fQueue.SingleFile) SetTrackVolume(stream, track.Volume);
    StatusLine(values);
    if (!fNextOpened && !fQueue.SingleFile) {
      const std::optional<double> remaining = RemainingSeconds(stream);
      if (!remaining || *remaining <= kJoinLeadSeconds) {
        fNextOpened = true;
        fNext = Open(track.Index + 1, fNextUnplayable);
        if (fNext) BASS_ChannelPlayAfter(fNext->Stream, stream);
      }
    }
    std::this_thread::sleep_for(kTick);
    state = BASS_ChannelIsActive(stream);
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
    // The listener ended it: no join, the run-down and the fade.
    if (fNext) BASS_ChannelPlayAfter(fNext->Stream, 0);
    WindDown(current->Stream, Sleep);
    BASS_StreamFree(current->Stream);
    if (fNext) BASS_StreamFree(fNext->Stream);
    current.reset();
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
