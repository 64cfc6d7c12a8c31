// ReplayGain: the loudness correction that taggers store with a track
// (REPLAYGAIN_TRACK_GAIN and _PEAK) and with its album (_ALBUM_), and the
// volume factor the player takes from it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class TGeneralAudioFile;

struct GainTags {
  std::optional<double> TrackGain, TrackPeak;  // dB; peak in full scale (1.0)
  std::optional<double> AlbumGain, AlbumPeak;
};

enum class GainMode { Off, Track, Album };

// "-6.20 dB", "+1.5 dB", "0.35": the number; nothing when it is none.
std::optional<double> ParseGainValue(std::string_view text);

// The four values as the tag library reads them: Vorbis comments (Ogg
// Vorbis, FLAC), APE tags, and ID3v2 user text frames (TXXX).
GainTags ReadGainTags(const TGeneralAudioFile& file);
// The same from the engine's "name=value" list (each ended by a NUL, the
// list by a second one), for files the library has no reader for.
GainTags GainTagsFromEngine(const char* engineTags);

// The factor on the volume: the mode's gain (the track's when the album's
// is missing), lowered so that the peak stays at full scale; 1 without a
// gain or with the mode off.
double GainFactor(const GainTags& tags, GainMode mode);

// "ReplayGain: album" or "ReplayGain: track"; empty when off.
std::string GainModeLine(GainMode mode);
