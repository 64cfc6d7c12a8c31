/*
 * quavlin audio engine: the C interface.
 *
 * Decodes audio files with FFmpeg and plays them on a PulseAudio server's
 * sinks, through PortAudio, or on the silent device 0. Every operation may be called from any thread; the last
 * failure is remembered per calling thread and read with BASS_ErrorGetCode.
 *
 * Handles (streams, effects, plug-ins) are 32-bit unsigned numbers, never 0;
 * an operation that returns a handle returns 0 on failure. Operations that
 * return BOOL return 0 (FALSE) on failure. Operations returning a 64-bit
 * count return (QWORD)-1 on failure; BASS_ChannelGetData returns (DWORD)-1.
 *
 * Byte counts of a stream (length, position) are bytes of 16-bit PCM at the
 * stream's own sample rate and channel count; sources with more than two
 * channels are downmixed, so a stream has one or two channels.
 */
#ifndef QUAV_ENGINE_BASS_H
#define QUAV_ENGINE_BASS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef uint64_t QWORD;
typedef int BOOL;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

typedef DWORD HSTREAM; /* a stream */
typedef DWORD HFX;     /* an effect on a stream */
typedef DWORD HPLUGIN; /* a loaded add-on */

#define BASSVERSION 0x0204 /* high 16 bits of BASS_GetVersion */

/* ---- Error codes (BASS_ErrorGetCode) ---------------------------------- */
#define BASS_OK 0              /* the last operation succeeded */
#define BASS_ERROR_MEM 1       /* out of memory */
#define BASS_ERROR_FILEOPEN 2  /* the file (or add-on) could not be opened */
#define BASS_ERROR_DRIVER 3    /* the output device could not be opened */
#define BASS_ERROR_HANDLE 5    /* not a valid handle */
#define BASS_ERROR_FORMAT 6    /* sample format not supported */
#define BASS_ERROR_POSITION 7  /* the position is beyond the stream's end */
#define BASS_ERROR_INIT 8      /* BASS_Init has not been called successfully */
#define BASS_ERROR_START 9     /* the output could not be started */
#define BASS_ERROR_REINIT 11   /* the output device has gone away: BASS_Free, then BASS_Init */
#define BASS_ERROR_ALREADY 14  /* already initialised / already loaded */
#define BASS_ERROR_ILLTYPE 19  /* an unknown attribute, effect or mode */
#define BASS_ERROR_ILLPARAM 20 /* a parameter is out of range */
#define BASS_ERROR_DEVICE 23   /* no such device */
#define BASS_ERROR_NOPLAY 24   /* the channel is not playing */
#define BASS_ERROR_NOTAVAIL 37 /* the requested value is not available */
#define BASS_ERROR_DECODE 38   /* not allowed on a decode-only stream (or only on one) */
#define BASS_ERROR_FILEFORM 41 /* the file is not audio or its format is not supported */
#define BASS_ERROR_ENDED 45    /* the stream has reached its end */
#define BASS_ERROR_UNKNOWN -1  /* anything else */

/* ---- BASS_SetConfig options -------------------------------------------- */
#define BASS_CONFIG_NET_PLAYLIST 21 /* accepted and stored; network streams are not played */
#define BASS_CONFIG_MF_VIDEO 48     /* accepted and stored; the audio of video files always plays */
#define BASS_CONFIG_DEV_BUFFER                                      \
  27 /* output buffer (latency) in ms that the next BASS_Init asks  \
        the device for, 0..5000 (else BASS_ERROR_ILLPARAM); 0, the  \
        default, lets the engine choose: none on the silent device, \
        at least 150 ms on a system device */

/* ---- BASS_Init flags ------------------------------------------------------ */
#define BASS_DEVICE_3D 4 /* accepted and ignored */

/* ---- Device info (BASS_GetDeviceInfo) ------------------------------------- */
typedef struct BASS_DEVICEINFO {
  const char* name;   /* description, UTF-8; valid until the process ends */
  const char* driver; /* "PulseAudio" for a sound server's sink, else PortAudio's host
                         API name ("ALSA", "JACK", ...); "" for device 0 */
  DWORD flags;        /* BASS_DEVICE_* bits and the type in bits 24..31 */
} BASS_DEVICEINFO;

#define BASS_DEVICE_ENABLED 1
#define BASS_DEVICE_DEFAULT 2
#define BASS_DEVICE_INIT 4 /* the device is the one initialised */
#define BASS_DEVICE_LOOPBACK 8
#define BASS_DEVICE_TYPE_MASK 0xff000000u
#define BASS_DEVICE_TYPE_NETWORK 0x01000000u
#define BASS_DEVICE_TYPE_SPEAKERS 0x02000000u
#define BASS_DEVICE_TYPE_LINE 0x03000000u
#define BASS_DEVICE_TYPE_HEADPHONES 0x04000000u
#define BASS_DEVICE_TYPE_MICROPHONE 0x05000000u
#define BASS_DEVICE_TYPE_HEADSET 0x06000000u
#define BASS_DEVICE_TYPE_HANDSET 0x07000000u
#define BASS_DEVICE_TYPE_DIGITAL 0x08000000u
#define BASS_DEVICE_TYPE_SPDIF 0x09000000u
#define BASS_DEVICE_TYPE_HDMI 0x0a000000u
#define BASS_DEVICE_TYPE_DISPLAYPORT 0x40000000u

/* ---- Stream flags ---------------------------------------------------------- */
#define BASS_STREAM_DECODE 0x200000u /* decode-only: read with BASS_ChannelGetData, never played */
#define BASS_UNICODE 0x80000000u     /* file names are UTF-16 (char16_t), else UTF-8 */

/* ---- Positions, states, attributes, effects -------------------------------- */
#define BASS_POS_BYTE 0 /* the only position mode */

#define BASS_ACTIVE_STOPPED 0 /* not started, stopped, or played to its end */
#define BASS_ACTIVE_PLAYING 1
#define BASS_ACTIVE_STALLED 2 /* playing, but the output ran dry before the end */
#define BASS_ACTIVE_PAUSED 3
#define BASS_ACTIVE_PAUSED_DEVICE 4 /* playing, but the output device has gone away */

#define BASS_ATTRIB_FREQ 1 /* playback rate in Hz; 0 = the stream's own rate */
#define BASS_ATTRIB_VOL 2  /* volume, 0 = silent, 1 = unchanged (up to 10) */

#define BASS_FILEPOS_CURRENT 0  /* byte offset the decoder has read up to */
#define BASS_FILEPOS_DOWNLOAD 1 /* bytes available (the whole file for local files) */
#define BASS_FILEPOS_END 2      /* file size */
#define BASS_FILEPOS_START 3    /* offset of the first audio data */

#define BASS_FX_DX8_PARAMEQ 7 /* peaking equaliser band, parameters BASS_DX8_PARAMEQ */

/* Peaking equaliser band. fCenter: 80..16000 Hz and below a third of the
 * stream's sample rate; fBandwidth: 1..36 semitones; fGain: -15..+15 dB.
 * A new band starts at 8000 Hz, 12 semitones, 0 dB; a band at 0 dB is skipped. */
typedef struct BASS_DX8_PARAMEQ {
  float fCenter;
  float fBandwidth;
  float fGain;
} BASS_DX8_PARAMEQ;

/* BASS_ChannelGetData: OR into the length to get 32-bit float samples
 * instead of 16-bit integers (the length and the result stay in bytes). */
#define BASS_DATA_FLOAT 0x40000000u

/* ---- Operations ------------------------------------------------------------- */

/* Version: 0x0204 in the high 16 bits. */
DWORD BASS_GetVersion(void);

/* The version of a library the engine runs on, as loaded at run time (not
 * the headers it was built with): major in bits 16..23, minor in bits
 * 8..15, micro in bits 0..7 (FFmpeg's libavformat 59.27.100 is 0x3b1b64).
 * Needs no BASS_Init. An unknown library: 0 with BASS_ERROR_ILLTYPE. */
#define BASS_LIBRARY_AVFORMAT 1  /* FFmpeg's demuxers */
#define BASS_LIBRARY_AVCODEC 2   /* FFmpeg's decoders */
#define BASS_LIBRARY_PORTAUDIO 3 /* the output of the system devices */
DWORD BASS_GetLibraryVersion(DWORD library);

/* Stores an option; unknown options fail with BASS_ERROR_ILLTYPE. */
BOOL BASS_SetConfig(DWORD option, DWORD value);
DWORD BASS_GetConfig(DWORD option);

/* Devices: 0 is "No sound" (a silent output with a real-time clock), 1..N
 * are the system's output devices: when a PulseAudio server answers (a
 * PipeWire desktop's among them), first one per sink in the server's order,
 * named by the sink's description, driver "PulseAudio", the type from the
 * sink's active port or form factor where the server says, the server's
 * default sink flagged BASS_DEVICE_DEFAULT; then PortAudio's devices (ALSA,
 * JACK, ...; flagged default only when there is no server). The list is
 * made once per process. Fails with BASS_ERROR_DEVICE past the last one.
 * Needs no BASS_Init. */
BOOL BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info);

/* Opens an output device: -1 the system default (fails when there is no
 * output device at all), 0 the silent device, 1..N as listed. On a sound
 * server, -1 is its default sink, followed when the user changes it; a
 * stream whose sink goes away is moved by the server to another one and
 * plays on. freq is the output rate, 8000..384000 (44100 when 0). flags,
 * win and clsid are ignored.
 * Errors: BASS_ERROR_DEVICE (no such device), BASS_ERROR_ALREADY,
 * BASS_ERROR_DRIVER (the device would not open), BASS_ERROR_START,
 * BASS_ERROR_ILLPARAM (freq). */
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, const void* clsid);

/* Releases the device, every stream and every effect. BASS_ERROR_INIT when
 * nothing was initialised. */
BOOL BASS_Free(void);

/* Device number in use (BASS_ERROR_INIT when none); for -1, the device
 * that was the default when it was opened. */
DWORD BASS_GetDevice(void);

/* The state of the output device: BASS_ACTIVE_STOPPED when none is
 * initialised, BASS_ACTIVE_PLAYING while it runs, BASS_ACTIVE_PAUSED_DEVICE
 * once it has gone away for good (its sound server stopped or restarted;
 * noticed as soon as the connection drops). Then nothing more is heard:
 * positions stand still, levels read 0, BASS_ChannelIsActive answers
 * BASS_ACTIVE_PAUSED_DEVICE for every played stream that has not ended,
 * BASS_ChannelPlay fails with BASS_ERROR_REINIT, and none of them waits
 * for the device. BASS_Free returns at once; a new BASS_Init may find the
 * server again. Never fails. */
DWORD BASS_IsStarted(void);

/* The add-on names BASS_PluginLoad accepts (their formats are built in),
 * as string literals of the encoding of prefix: BASS_PLUGIN_NAMES("") in
 * UTF-8, BASS_PLUGIN_NAMES(u"") in UTF-16 for BASS_UNICODE, each followed
 * by a comma, e.g. to fill an array. */
#define BASS_PLUGIN_NAMES(prefix) \
  prefix "bassflac.dll", prefix "basshls.dll", prefix "bassdsd.dll", prefix "bassalac.dll", prefix "bassopus.dll",

/* Accepts the names of BASS_PLUGIN_NAMES, any case, with or without a
 * directory; anything else fails with BASS_ERROR_FILEOPEN, a second load of
 * the same name with BASS_ERROR_ALREADY. */
HPLUGIN BASS_PluginLoad(const void* file, DWORD flags);

/* Engine load: processing time as a percentage of the audio time produced
 * over roughly the last second. */
float BASS_GetCPU(void);

/* Last failure of the calling thread. */
int BASS_ErrorGetCode(void);

/* Opens a file as a stream. mem must be FALSE and offset and length 0
 * (else BASS_ERROR_ILLPARAM). A file that is not audio (text, pictures,
 * playlists, noise) fails with BASS_ERROR_FILEFORM, a missing or unreadable
 * file or a directory with BASS_ERROR_FILEOPEN, any call before BASS_Init
 * with BASS_ERROR_INIT. flags: BASS_UNICODE, BASS_STREAM_DECODE. */
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);

/* Releases one stream and its effects. */
BOOL BASS_StreamFree(HSTREAM handle);

/* File offsets (BASS_FILEPOS_*). */
QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode);

/* Playback (not for decode-only streams: BASS_ERROR_DECODE). Play resumes
 * a paused or stopped stream; restart TRUE starts again from the beginning. */
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
/* Gapless joins: handle (a played stream that is not playing) starts on
 * the output frame right after previous's last one, so that the two sound
 * as one. When previous has no end to come (it is stopped, its end is
 * already mixed), handle starts at once, after what is already mixed.
 * Stopping or freeing previous cancels the join (a pause keeps it), as
 * does BASS_ChannelPlay on handle; previous 0 cancels any join that would
 * start handle. A stream is followed by one stream at most: a new join
 * replaces the old. Errors: BASS_ERROR_HANDLE (previous == handle too),
 * BASS_ERROR_DECODE, BASS_ERROR_ALREADY (handle is playing). */
BOOL BASS_ChannelPlayAfter(DWORD handle, DWORD previous);
BOOL BASS_ChannelStop(DWORD handle);
BOOL BASS_ChannelPause(DWORD handle);
DWORD BASS_ChannelIsActive(DWORD handle);

/* Length and position (BASS_POS_BYTE). The position is what has been heard:
 * for played streams the output latency is taken off; for decode-only
 * streams it is what BASS_ChannelGetData has delivered. */
QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode);
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);
/* Moves a stream to pos (bytes, BASS_POS_BYTE): a played stream goes on
 * from there once what was mixed before has been heard (so the position
 * it reports moves then); a stream that had ended plays again from there.
 * Errors: BASS_ERROR_POSITION (beyond the length), BASS_ERROR_NOTAVAIL
 * (the file cannot seek), BASS_ERROR_ILLTYPE. */
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double pos);

/* Peak of the last 20 ms heard: left in the low word, right in the high
 * word, each 0..32768 (a mono stream reports its peak in both). (DWORD)-1
 * on failure; 0 when the stream is not playing. On a decode-only stream:
 * the peak of the last 20 ms delivered. */
DWORD BASS_ChannelGetLevel(DWORD handle);

/* Attributes (BASS_ATTRIB_VOL, BASS_ATTRIB_FREQ). Setting one cancels its
 * slide. Volume: negative becomes 0, above 10 becomes 10. Frequency: 0 or
 * 100 Hz up to 16 times the stream's own rate, else BASS_ERROR_ILLPARAM. */
BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value);
BOOL BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value);

/* Moves an attribute to value over time milliseconds in the background
 * (audio time for decode-only streams, wall time for played ones). On a
 * playing stream the slide starts when the audio produced next is heard,
 * so it is heard whole and BASS_ChannelIsSliding answers TRUE until its
 * end has been heard. */
BOOL BASS_ChannelSlideAttribute(DWORD handle, DWORD attrib, float value, DWORD time);

/* TRUE while a slide of attrib (0 = any) runs. */
BOOL BASS_ChannelIsSliding(DWORD handle, DWORD attrib);

/* Reads processed audio (equaliser, volume, rate) from a decode-only
 * stream: length bytes of interleaved 16-bit PCM (BASS_DATA_FLOAT: 32-bit
 * float) at the stream's own rate and channel count. Returns the bytes
 * written, fewer at the end; (DWORD)-1 with BASS_ERROR_ENDED once the end
 * has been reached, BASS_ERROR_DECODE on a played stream. */
DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);

/* Effects: adds an equaliser band (BASS_FX_DX8_PARAMEQ; other types fail
 * with BASS_ERROR_ILLTYPE). Bands run in priority order (higher first),
 * then in creation order. */
HFX BASS_ChannelSetFX(DWORD handle, DWORD type, int priority);
BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx);

/* Out-of-range parameters fail with BASS_ERROR_ILLPARAM and keep the
 * previous ones. */
BOOL BASS_FXSetParameters(HFX handle, const void* params);
BOOL BASS_FXGetParameters(HFX handle, void* params);

/* ---- What the file holds ------------------------------------------------ */

/* The file behind a stream as its decoder reads it, for display: the
 * stream itself plays at most two channels at the device's rate. The
 * names are UTF-8 and stay valid until the stream is freed. */
typedef struct BASS_CHANNELINFO {
  DWORD freq;             /* the file's sample rate in Hz */
  DWORD chans;            /* the file's channel count, before any downmix */
  DWORD bitrate;          /* bits per second of the coded audio; where the codec
                             states none, the file's size over its duration;
                             0 when neither is known */
  const char* codec;      /* codec, short name: "opus", "aac", "alac", "pcm_s16be" */
  const char* codecname;  /* codec, descriptive name: "AAC (Advanced Audio Coding)" */
  const char* format;     /* container, short name(s): "ogg", "mov,mp4,m4a,3gp,3g2,mj2" */
  const char* formatname; /* container, descriptive name: "Ogg", "Audio IFF" */
} BASS_CHANNELINFO;

/* Fills info. Errors: BASS_ERROR_HANDLE, BASS_ERROR_ILLPARAM (info NULL). */
BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info);

/* The file's tags as its container and its audio stream carry them (ID3
 * in AIFF, MP4 atoms, Vorbis comments in Ogg, ...): a series of UTF-8
 * strings "name=value", each ended by a NUL, the last followed by a second
 * NUL (a file without tags gives just that NUL). Names are spelled as the
 * decoder reports them - "title", "artist", "album", "genre" for the common
 * ones, though Vorbis comments keep the file's case - and never contain
 * '='; the container's tags come first. Values are as stored, control
 * characters included. Valid until the stream is freed.
 * NULL on failure: BASS_ERROR_HANDLE. */
const char* BASS_ChannelGetTags(DWORD handle);

#ifdef __cplusplus
}
#endif

#endif /* QUAV_ENGINE_BASS_H */
