// The MPRIS interfaces (org.mpris.MediaPlayer2 and its Player) on the D-Bus
// session bus, through sd-bus. Everything runs on the play loop's thread:
// Poll answers the calls that came since the last tick, so a call waits at
// most a tick (50 ms).
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "MediaControls.h"

namespace {

constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kBusName = "org.mpris.MediaPlayer2.quavlin";
// Messages handled per tick at most, so that a flood cannot stall playing.
constexpr int kMostMessagesPerPoll = 64;

std::string TrackId(size_t track) { return "/org/quavlin/track/" + std::to_string(track); }

const char* StatusName(PlaybackSnapshot::Status status) {
  switch (status) {
    case PlaybackSnapshot::Status::Playing: return "Playing";
    case PlaybackSnapshot::Status::Paused: return "Paused";
    case PlaybackSnapshot::Status::Stopped: break;
  }
  return "Stopped";
}

class Mpris final : public MediaControls {
 public:
  ~Mpris() override {
    sd_bus_slot_unref(fPlayerSlot);
    sd_bus_slot_unref(fRootSlot);
    sd_bus_flush_close_unref(fBus);
  }

  bool Connect();
  void Poll(std::vector<PlayerCommand>& commands) override;
  void Publish(const PlaybackSnapshot& now) override;
  void Seeked(int64_t positionMicroseconds) override;

 private:
  static int Call(sd_bus_message* m, void* self, sd_bus_error* error);
  static int Get(sd_bus* bus, const char* path, const char* interface, const char* property, sd_bus_message* reply,
                 void* self, sd_bus_error* error);
  static int Set(sd_bus* bus, const char* path, const char* interface, const char* property, sd_bus_message* value,
                 void* self, sd_bus_error* error);
  int AppendMetadata(sd_bus_message* reply) const;
  void Request(PlayerCommand::Kind kind, double value = 0) { fRequests.push_back({kind, value}); }

  static const sd_bus_vtable kRootTable[];
  static const sd_bus_vtable kPlayerTable[];

  sd_bus* fBus = nullptr;
  sd_bus_slot* fRootSlot = nullptr;
  sd_bus_slot* fPlayerSlot = nullptr;
  bool fBroken = false;
  PlaybackSnapshot fNow;
  bool fPublished = false;
  std::vector<PlayerCommand> fRequests;
};

// clang-format off
const sd_bus_vtable Mpris::kRootTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", Call, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Quit", "", "", Call, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("CanQuit", "b", Get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanRaise", "b", Get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("HasTrackList", "b", Get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Identity", "s", Get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", Get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", Get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

const sd_bus_vtable Mpris::kPlayerTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", Call, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Previous", "", "", Call, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Pause", "", "", Call, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("PlayPause", "", "", Call, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Stop", "", "", Call, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Play", "", "", Call, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Seek", "x", "", Call, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SetPosition", "ox", "", Call, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("OpenUri", "s", "", Call, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", Get, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_WRITABLE_PROPERTY("Rate", "d", Get, Set, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Metadata", "a{sv}", Get, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", Get, Set, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Position", "x", Get, 0, 0),
    SD_BUS_PROPERTY("MinimumRate", "d", Get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("MaximumRate", "d", Get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanGoNext", "b", Get, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanGoPrevious", "b", Get, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("CanPlay", "b", Get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanPause", "b", Get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanSeek", "b", Get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanControl", "b", Get, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};
// clang-format on

bool Mpris::Connect() {
  if (sd_bus_open_user(&fBus) < 0) return false;
  if (sd_bus_add_object_vtable(fBus, &fRootSlot, kPath, kRootInterface, kRootTable, this) < 0 ||
      sd_bus_add_object_vtable(fBus, &fPlayerSlot, kPath, kPlayerInterface, kPlayerTable, this) < 0)
    return false;
  int rc = sd_bus_request_name(fBus, kBusName, 0);
  if (rc == -EEXIST) {
    // Another player has the name: this one is an instance of its own.
    const std::string instance = std::string(kBusName) + ".instance" + std::to_string(::getpid());
    rc = sd_bus_request_name(fBus, instance.c_str(), 0);
  }
  return rc >= 0;
}

void Mpris::Poll(std::vector<PlayerCommand>& commands) {
  if (fBroken) return;
  for (int i = 0; i < kMostMessagesPerPoll; ++i) {
    const int rc = sd_bus_process(fBus, nullptr);
    if (rc < 0) {
      fBroken = true;  // the bus went away: the player plays on without it
      break;
    }
    if (rc == 0) break;
  }
  commands.insert(commands.end(), fRequests.begin(), fRequests.end());
  fRequests.clear();
}

int Mpris::Call(sd_bus_message* m, void* self, sd_bus_error* error) {
  auto& mpris = *static_cast<Mpris*>(self);
  using K = PlayerCommand::Kind;
  const std::string member = sd_bus_message_get_member(m);
  if (member == "Quit" || member == "Stop") {
    mpris.Request(K::Quit);
  } else if (member == "Next") {
    if (mpris.fNow.CanGoNext) mpris.Request(K::Next);
  } else if (member == "Previous") {
    mpris.Request(K::Previous);
  } else if (member == "Pause") {
    mpris.Request(K::Pause);
  } else if (member == "Play") {
    mpris.Request(K::Play);
  } else if (member == "PlayPause") {
    mpris.Request(K::TogglePause);
  } else if (member == "Seek") {
    int64_t offset = 0;
    if (const int rc = sd_bus_message_read(m, "x", &offset); rc < 0) return rc;
    mpris.Request(K::SeekBy, static_cast<double>(offset) / 1e6);
  } else if (member == "SetPosition") {
    const char* track = nullptr;
    int64_t position = 0;
    if (const int rc = sd_bus_message_read(m, "ox", &track, &position); rc < 0) return rc;
    // For another track, or outside this one: nothing, as the interface says.
    if (track && TrackId(mpris.fNow.Track) == track && position >= 0 && position <= mpris.fNow.LengthMicroseconds)
      mpris.Request(K::SeekTo, static_cast<double>(position) / 1e6);
  } else if (member == "OpenUri") {
    return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED, "quavlin plays what it was started with");
  }
  return sd_bus_reply_method_return(m, "");
}

int Mpris::AppendMetadata(sd_bus_message* reply) const {
  int rc = sd_bus_message_open_container(reply, 'a', "{sv}");
  const auto entry = [&](const char* key, const char* type, auto&&... values) {
    if (rc < 0) return;
    if ((rc = sd_bus_message_open_container(reply, 'e', "sv")) < 0) return;
    if ((rc = sd_bus_message_append(reply, "s", key)) < 0) return;
    if ((rc = sd_bus_message_open_container(reply, 'v', type)) < 0) return;
    if ((rc = sd_bus_message_append(reply, type, values...)) < 0) return;
    if ((rc = sd_bus_message_close_container(reply)) < 0) return;
    rc = sd_bus_message_close_container(reply);
  };
  const std::string id = TrackId(fNow.Track);
  entry("mpris:trackid", "o", id.c_str());
  entry("mpris:length", "x", fNow.LengthMicroseconds);
  entry("xesam:title", "s", fNow.Title.c_str());
  if (!fNow.Artist.empty()) entry("xesam:artist", "as", 1, fNow.Artist.c_str());
  if (!fNow.Album.empty()) entry("xesam:album", "s", fNow.Album.c_str());
  entry("xesam:url", "s", fNow.Url.c_str());
  return rc < 0 ? rc : sd_bus_message_close_container(reply);
}

int Mpris::Get(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* self,
               sd_bus_error*) {
  const auto& mpris = *static_cast<const Mpris*>(self);
  const PlaybackSnapshot& now = mpris.fNow;
  const std::string name = property;
  const auto boolean = [&](bool value) { return sd_bus_message_append(reply, "b", static_cast<int>(value)); };
  if (name == "Identity") return sd_bus_message_append(reply, "s", "quavlin");
  if (name == "SupportedUriSchemes" || name == "SupportedMimeTypes") return sd_bus_message_append(reply, "as", 0);
  if (name == "CanQuit" || name == "CanPlay" || name == "CanPause" || name == "CanSeek" || name == "CanControl")
    return boolean(true);
  if (name == "CanRaise" || name == "HasTrackList") return boolean(false);
  if (name == "CanGoNext") return boolean(now.CanGoNext);
  if (name == "CanGoPrevious") return boolean(now.CanGoPrevious);
  if (name == "PlaybackStatus") return sd_bus_message_append(reply, "s", StatusName(now.State));
  if (name == "Rate" || name == "MinimumRate" || name == "MaximumRate") return sd_bus_message_append(reply, "d", 1.0);
  if (name == "Volume") return sd_bus_message_append(reply, "d", now.Volume);
  if (name == "Position") return sd_bus_message_append(reply, "x", now.PositionMicroseconds);
  if (name == "Metadata") return mpris.AppendMetadata(reply);
  return -EINVAL;
}

int Mpris::Set(sd_bus*, const char*, const char*, const char* property, sd_bus_message* value, void* self,
               sd_bus_error*) {
  double wanted = 0;
  if (const int rc = sd_bus_message_read(value, "d", &wanted); rc < 0) return rc;
  // The rate stays 1: playing faster or slower is not on offer.
  if (std::strcmp(property, "Volume") == 0 && wanted == wanted)
    static_cast<Mpris*>(self)->Request(PlayerCommand::Kind::SetVolume, std::clamp(wanted, 0.0, 1.0) * 100.0);
  return 1;
}

void Mpris::Publish(const PlaybackSnapshot& now) {
  if (fBroken) return;
  const PlaybackSnapshot before = fNow;
  fNow = now;
  std::vector<const char*> changed;
  if (!fPublished || before.State != now.State) changed.push_back("PlaybackStatus");
  if (!fPublished || before.Track != now.Track || before.Title != now.Title ||
      before.LengthMicroseconds != now.LengthMicroseconds)
    changed.push_back("Metadata");
  if (!fPublished || before.Volume != now.Volume) changed.push_back("Volume");
  if (!fPublished || before.CanGoNext != now.CanGoNext) changed.push_back("CanGoNext");
  if (!fPublished || before.CanGoPrevious != now.CanGoPrevious) changed.push_back("CanGoPrevious");
  fPublished = true;
  if (changed.empty()) return;
  changed.push_back(nullptr);
  if (sd_bus_emit_properties_changed_strv(fBus, kPath, kPlayerInterface, const_cast<char**>(changed.data())) < 0 ||
      sd_bus_flush(fBus) < 0)
    fBroken = true;
}

void Mpris::Seeked(int64_t positionMicroseconds) {
  if (fBroken) return;
  fNow.PositionMicroseconds = positionMicroseconds;
  if (sd_bus_emit_signal(fBus, kPath, kPlayerInterface, "Seeked", "x", positionMicroseconds) < 0) fBroken = true;
}

}  // namespace

std::unique_ptr<MediaControls> ConnectMediaControls() {
  auto mpris = std::make_unique<Mpris>();
  if (!mpris->Connect()) return nullptr;
  return mpris;
}
