#pragma once
// The audio device the plug-in plays through in real time: SDL2 on Linux,
// waveOut on Windows, Web Audio in the browser. Interleaved float stereo at
// kSixsceneSampleRate, pulled by a callback on the device's own thread (in
// the browser, on the page's one thread between frames).
#include <cstdint>
#include <string>

// Fills `frames` frames of interleaved stereo.
using AudioRender = void (*)(void* user, float* out, int frames);

struct AudioDevice;

struct AudioDeviceInfo {
    int bufferFrames = 0;       // frames asked for per callback
    int64_t latencyFrames = 0;  // what a callback renders is heard this many frames later
};

// Opens the device, paused: no callback runs before StartAudioDevice. Null
// with `error` set when there is no device.
AudioDevice* OpenAudioDevice(int bufferFrames, AudioRender render, void* user, AudioDeviceInfo* info,
                             std::string* error);
void StartAudioDevice(AudioDevice* device);
// Waits for a running callback, then closes the device. Null is fine.
void CloseAudioDevice(AudioDevice* device);
// True once the device has gone away (unplugged, the sound server gone):
// its callback runs no more.
bool AudioDeviceLost(AudioDevice* device);

// True when `window` is a window of the system's own (a Windows HWND) rather
// than a SixsceneMusicWindow.
bool IsSystemWindow(const void* window);
