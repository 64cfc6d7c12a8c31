// Placeholder implementation so that callers link; replaced by the engine.
#include "bass.h"

namespace {
thread_local int lastError = BASS_OK;
int Fail(int code) { lastError = code; return 0; }
}

extern "C" {
DWORD BASS_GetVersion(void) { return 0x02040000u; }
BOOL BASS_SetConfig(DWORD, DWORD) { lastError = BASS_OK; return TRUE; }
DWORD BASS_GetConfig(DWORD) { return 0; }
BOOL BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO *info) {
  if (device != 0 || !info) return Fail(BASS_ERROR_DEVICE);
  info->name = "No sound"; info->driver = ""; info->flags = BASS_DEVICE_ENABLED;
  return TRUE;
}
BOOL BASS_Init(int, DWORD, DWORD, void *, const void *) { return Fail(BASS_ERROR_DEVICE); }
BOOL BASS_Free(void) { return Fail(BASS_ERROR_INIT); }
DWORD BASS_GetDevice(void) { Fail(BASS_ERROR_INIT); return 0xFFFFFFFFu; }
HPLUGIN BASS_PluginLoad(const void *, DWORD) { return Fail(BASS_ERROR_FILEOPEN); }
float BASS_GetCPU(void) { return 0.0f; }
int BASS_ErrorGetCode(void) { return lastError; }
HSTREAM BASS_StreamCreateFile(BOOL, const void *, QWORD, QWORD, DWORD) { return Fail(BASS_ERROR_INIT); }
BOOL BASS_StreamFree(HSTREAM) { return Fail(BASS_ERROR_HANDLE); }
QWORD BASS_StreamGetFilePosition(HSTREAM, DWORD) { Fail(BASS_ERROR_HANDLE); return ~0ull; }
BOOL BASS_ChannelPlay(DWORD, BOOL) { return Fail(BASS_ERROR_HANDLE); }
BOOL BASS_ChannelStop(DWORD) { return Fail(BASS_ERROR_HANDLE); }
BOOL BASS_ChannelPause(DWORD) { return Fail(BASS_ERROR_HANDLE); }
DWORD BASS_ChannelIsActive(DWORD) { return BASS_ACTIVE_STOPPED; }
QWORD BASS_ChannelGetLength(DWORD, DWORD) { Fail(BASS_ERROR_HANDLE); return ~0ull; }
QWORD BASS_ChannelGetPosition(DWORD, DWORD) { Fail(BASS_ERROR_HANDLE); return ~0ull; }
double BASS_ChannelBytes2Seconds(DWORD, QWORD) { Fail(BASS_ERROR_HANDLE); return -1; }
QWORD BASS_ChannelSeconds2Bytes(DWORD, double) { Fail(BASS_ERROR_HANDLE); return ~0ull; }
DWORD BASS_ChannelGetLevel(DWORD) { Fail(BASS_ERROR_HANDLE); return 0xFFFFFFFFu; }
BOOL BASS_ChannelSetAttribute(DWORD, DWORD, float) { return Fail(BASS_ERROR_HANDLE); }
BOOL BASS_ChannelGetAttribute(DWORD, DWORD, float *) { return Fail(BASS_ERROR_HANDLE); }
BOOL BASS_ChannelSlideAttribute(DWORD, DWORD, float, DWORD) { return Fail(BASS_ERROR_HANDLE); }
BOOL BASS_ChannelIsSliding(DWORD, DWORD) { return FALSE; }
DWORD BASS_ChannelGetData(DWORD, void *, DWORD) { Fail(BASS_ERROR_HANDLE); return 0xFFFFFFFFu; }
HFX BASS_ChannelSetFX(DWORD, DWORD, int) { return Fail(BASS_ERROR_HANDLE); }
BOOL BASS_ChannelRemoveFX(DWORD, HFX) { return Fail(BASS_ERROR_HANDLE); }
BOOL BASS_FXSetParameters(HFX, const void *) { return Fail(BASS_ERROR_HANDLE); }
BOOL BASS_FXGetParameters(HFX, void *) { return Fail(BASS_ERROR_HANDLE); }
}
