#pragma once
// The module-player plug-in's entry points, bound by name at run time.
#include <cstdint>

extern "C" {

// What the program hands the plug-in as its "window": the link to the host's
// clock and audio. With offline = 0 the plug-in plays through the audio
// device in real time; with offline = 1 it renders the module in step with
// clockMs and hands every rendered frame to audioSink (may be null).
struct SixsceneMusicWindow {
    uint32_t magic;  // kSixsceneMusicWindowMagic
    int32_t offline;
    uint32_t (*clockMs)(void* user);
    void (*audioSink)(void* user, const float* interleavedStereo, uint32_t frames);
    void* user;
};
constexpr uint32_t kSixsceneMusicWindowMagic = 0x53584D57;  // "SXMW"
constexpr int kSixsceneSampleRate = 48000;

typedef void* (*ModPlug_CreateExFn)(const char* parameters);
typedef void (*ModPlug_DestroyFn)(void* instance);
typedef int (*ModPlug_SetWindowFn)(void* instance, void* window);
typedef int (*ModPlug_LoadFn)(void* instance, const char* path);
typedef int (*ModPlug_GetVUMeterFn)(void* instance);
typedef int (*ModPlug_PlayFn)(void* instance);
typedef int (*ModPlug_StopFn)(void* instance);
typedef int32_t (*ModPlug_GetCurrentPositionFn)(void* instance);
typedef int (*ModPlug_SetCurrentPositionFn)(void* instance, int32_t position);
typedef int (*ModPlug_IsReadyFn)(void* instance);

// Our own additions; a program binds them when present.
// 1 once the module has played to its end (and, in real time, been heard).
typedef int (*ModPlug_HasEndedFn)(void* instance);
// Milliseconds of the module played (as heard) since its start.
typedef int32_t (*ModPlug_GetPlayedMillisecondsFn)(void* instance);
// Loudness in percent (100: as rendered; 0: silent). Timing is unaffected.
typedef int (*ModPlug_SetMasterVolumeFn)(void* instance, uint32_t percent);
}
