// Real-time audio through SDL2 (the Linux build).
#include <SDL.h>
#include <dlfcn.h>

#include "audio_device.h"
#include "npmod32.h"

struct AudioDevice {
    SDL_AudioDeviceID id = 0;
    AudioRender render = nullptr;
    void* user = nullptr;
};

namespace {

void Callback(void* userdata, Uint8* stream, int length) {
    AudioDevice& device = *static_cast<AudioDevice*>(userdata);
    device.render(device.user, reinterpret_cast<float*>(stream), length / static_cast<int>(2 * sizeof(float)));
}

}  // namespace

AudioDevice* OpenAudioDevice(int bufferFrames, AudioRender render, void* user, AudioDeviceInfo* info,
                             std::string* error) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        *error = SDL_GetError();
        return nullptr;
    }
    AudioDevice* device = new AudioDevice{0, render, user};
    SDL_AudioSpec want{};
    want.freq = kSixsceneSampleRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(bufferFrames);
    want.callback = Callback;
    want.userdata = device;
    SDL_AudioSpec have{};
    device->id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device->id == 0) {
        *error = SDL_GetError();
        delete device;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    const int samples = have.samples > 0 ? have.samples : bufferFrames;
    info->bufferFrames = samples;
    // What is rendered now is heard after the buffer already queued: two
    // buffers of the device's size.
    info->latencyFrames = 2 * static_cast<int64_t>(samples);
    return device;
}

void StartAudioDevice(AudioDevice* device) {
    // The program unloads the plug-in on its way out without closing the
    // player; SDL's audio thread must not find the callback gone. Marked
    // no-delete, the library stays until the process ends.
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&Callback), &self) && self.dli_fname)
        dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    SDL_PauseAudioDevice(device->id, 0);
}

void CloseAudioDevice(AudioDevice* device) {
    if (!device) return;
    SDL_CloseAudioDevice(device->id);
    delete device;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool AudioDeviceLost(AudioDevice* device) {
    // SDL stops a removed device and posts SDL_AUDIODEVICEREMOVED to the
    // program's queue; the status says the same here.
    return device && SDL_GetAudioDeviceStatus(device->id) == SDL_AUDIO_STOPPED;
}

bool IsSystemWindow(const void*) { return false; }
