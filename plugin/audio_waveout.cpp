// Real-time audio through waveOut (the Windows build): a few 16-bit buffers
// kept queued by a thread of ours that waits on the device's event.
#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "audio_device.h"
#include "npmod32.h"

namespace {

constexpr int kBuffers = 3;

}  // namespace

struct AudioDevice {
    HWAVEOUT wave = nullptr;
    HANDLE event = nullptr;
    AudioRender render = nullptr;
    void* user = nullptr;
    int frames = 0;
    std::vector<float> mix;
    std::array<std::vector<int16_t>, kBuffers> pcm;
    std::array<WAVEHDR, kBuffers> headers{};
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> lost{false};  // a write failed: the device is gone
};

namespace {

std::string WaveError(MMRESULT result) {
    char text[MAXERRORLENGTH] = "";
    if (waveOutGetErrorTextA(result, text, sizeof text) != MMSYSERR_NOERROR || !text[0])
        wsprintfA(text, "waveOut error %u", static_cast<unsigned>(result));
    return text;
}

void Fill(AudioDevice& device, int index) {
    device.render(device.user, device.mix.data(), device.frames);
    std::vector<int16_t>& pcm = device.pcm[index];
    for (size_t i = 0; i < pcm.size(); ++i) {
        const float s = device.mix[i];
        const float clamped = s > 1.0f ? 1.0f : (s < -1.0f ? -1.0f : (s == s ? s : 0.0f));
        pcm[i] = static_cast<int16_t>(std::lrint(clamped * 32767.0f));
    }
    WAVEHDR& header = device.headers[index];
    header.dwFlags &= ~WHDR_DONE;
    if (waveOutWrite(device.wave, &header, sizeof header) != MMSYSERR_NOERROR) device.lost.store(true);
}

// Buffers come back in the order they were queued; each is refilled and
// queued again as soon as it is done.
void Run(AudioDevice* device) {
    for (int i = 0; i < kBuffers; ++i) Fill(*device, i);
    int next = 0;
    while (!device->stop.load() && !device->lost.load()) {
        WaitForSingleObject(device->event, 100);
        while (!device->stop.load() && (device->headers[next].dwFlags & WHDR_DONE)) {
            Fill(*device, next);
            next = (next + 1) % kBuffers;
        }
    }
}

}  // namespace

AudioDevice* OpenAudioDevice(int bufferFrames, AudioRender render, void* user, AudioDeviceInfo* info,
                             std::string* error) {
    AudioDevice* device = new AudioDevice;
    device->render = render;
    device->user = user;
    device->frames = bufferFrames;
    device->event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!device->event) {
        *error = "cannot create an event";
        delete device;
        return nullptr;
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = kSixsceneSampleRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = kSixsceneSampleRate * 4;
    const MMRESULT opened = waveOutOpen(&device->wave, WAVE_MAPPER, &format,
                                        reinterpret_cast<DWORD_PTR>(device->event), 0, CALLBACK_EVENT);
    if (opened != MMSYSERR_NOERROR) {
        *error = WaveError(opened);
        CloseHandle(device->event);
        delete device;
        return nullptr;
    }
    device->mix.resize(static_cast<size_t>(bufferFrames) * 2);
    for (int i = 0; i < kBuffers; ++i) {
        device->pcm[i].assign(static_cast<size_t>(bufferFrames) * 2, 0);
        WAVEHDR& header = device->headers[i];
        header.lpData = reinterpret_cast<LPSTR>(device->pcm[i].data());
        header.dwBufferLength = static_cast<DWORD>(bufferFrames * 4);
        waveOutPrepareHeader(device->wave, &header, sizeof header);
    }
    info->bufferFrames = bufferFrames;
    // A buffer rendered now is heard once the others queued before it have played.
    info->latencyFrames = static_cast<int64_t>(kBuffers) * bufferFrames;
    return device;
}

void StartAudioDevice(AudioDevice* device) {
    // The program frees the plug-in on its way out without closing the
    // player; the thread must not find its code gone. Pinned, the library
    // stays until the process ends.
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&Run), &self);
    device->thread = std::thread(Run, device);
}

void CloseAudioDevice(AudioDevice* device) {
    if (!device) return;
    device->stop.store(true);
    SetEvent(device->event);
    if (device->thread.joinable()) device->thread.join();
    waveOutReset(device->wave);
    for (WAVEHDR& header : device->headers) waveOutUnprepareHeader(device->wave, &header, sizeof header);
    waveOutClose(device->wave);
    CloseHandle(device->event);
    delete device;
}

bool AudioDeviceLost(AudioDevice* device) { return device && device->lost.load(); }

bool IsSystemWindow(const void* window) {
    return window && IsWindow(static_cast<HWND>(const_cast<void*>(window)));
}
