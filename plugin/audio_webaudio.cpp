// Real-time audio in the browser through Web Audio. The page makes the
// AudioContext when the viewer starts the show (browsers allow sound only
// after a click) and hands it to the module as `sixsceneAudioContext`; a
// ScriptProcessorNode pulls the audio on the page's one thread, between
// frames. Without a context the plug-in keeps its silent clock.
#include <emscripten/emscripten.h>

#include <vector>

#include "audio_device.h"
#include "npmod32.h"

struct AudioDevice {
    int node = 0;  // the page's handle of the ScriptProcessorNode
    AudioRender render = nullptr;
    void* user = nullptr;
    int bufferFrames = 0;
    std::vector<float> buffer;  // one callback's interleaved stereo
};

// Renders `frames` frames into the device's buffer; called by the node.
extern "C" EMSCRIPTEN_KEEPALIVE float* sixscene_audio_render(AudioDevice* device, int frames) {
    if (frames > device->bufferFrames) frames = device->bufferFrames;
    device->render(device->user, device->buffer.data(), frames);
    return device->buffer.data();
}

namespace {

// Opens a paused node on the page's context: its handle, or 0 with the
// reason in `reason` (a buffer of 200 bytes). `latency` receives the
// context's own output delay in seconds.
EM_JS(int, OpenNode, (int bufferFrames, int sampleRate, AudioDevice* device, char* reason, double* latency), {
    var say = function(text) { stringToUTF8(text, reason, 200); return 0; };
    var context = Module["sixsceneAudioContext"];
    if (!context) return say("the page made no audio context");
    if (context.state === "closed") return say("the audio context is closed");
    if (context.sampleRate !== sampleRate)
        return say("the audio context runs at " + context.sampleRate + " Hz, not " + sampleRate);
    var node;
    try {
        node = context.createScriptProcessor(bufferFrames, 0, 2);
    } catch (e) {
        return say("cannot make an audio node: " + e);
    }
    node.sixsceneRunning = false;
    node.onaudioprocess = function(event) {
        var out = event.outputBuffer;
        var left = out.getChannelData(0);
        var right = out.getChannelData(1);
        var frames = Math.min(out.length, bufferFrames);
        if (!node.sixsceneRunning) {
            left.fill(0);
            right.fill(0);
            return;
        }
        var at = _sixscene_audio_render(device, frames) >> 2;
        // Read after the call: a growing heap replaces the view.
        var samples = HEAPF32;
        for (var i = 0; i < frames; ++i) {
            left[i] = samples[at + 2 * i];
            right[i] = samples[at + 2 * i + 1];
        }
        for (var j = frames; j < out.length; ++j) left[j] = right[j] = 0;
    };
    node.connect(context.destination);
    var nodes = Module["sixsceneAudioNodes"] || (Module["sixsceneAudioNodes"] = {});
    var handle = (Module["sixsceneAudioNextNode"] || 0) + 1;
    Module["sixsceneAudioNextNode"] = handle;
    nodes[handle] = node;
    HEAPF64[latency >> 3] = (context.baseLatency || 0) + (context.outputLatency || 0);
    return handle;
});

EM_JS(void, StartNode, (int handle), {
    var node = Module["sixsceneAudioNodes"][handle];
    if (node) node.sixsceneRunning = true;
});

EM_JS(void, CloseNode, (int handle), {
    var nodes = Module["sixsceneAudioNodes"];
    var node = nodes && nodes[handle];
    if (!node) return;
    node.sixsceneRunning = false;
    node.onaudioprocess = null;
    node.disconnect();
    delete nodes[handle];
});

EM_JS(int, ContextClosed, (), {
    var context = Module["sixsceneAudioContext"];
    return !context || context.state === "closed" ? 1 : 0;
});

}  // namespace

AudioDevice* OpenAudioDevice(int bufferFrames, AudioRender render, void* user, AudioDeviceInfo* info,
                             std::string* error) {
    // The node's sizes are powers of two from 256 to 16384. It runs on the
    // thread that draws, so it gets a few frames' worth of room.
    int frames = 4096;
    while (frames < bufferFrames && frames < 16384) frames *= 2;
    AudioDevice* device = new AudioDevice{0, render, user, frames, std::vector<float>(2 * static_cast<size_t>(frames))};
    char reason[200] = "";
    double contextLatency = 0;
    device->node = OpenNode(frames, kSixsceneSampleRate, device, reason, &contextLatency);
    if (device->node == 0) {
        *error = reason;
        delete device;
        return nullptr;
    }
    info->bufferFrames = frames;
    // What a callback renders plays after the buffer now playing, then
    // passes through the context's own output path.
    info->latencyFrames = frames + static_cast<int64_t>(contextLatency * kSixsceneSampleRate + 0.5);
    return device;
}

void StartAudioDevice(AudioDevice* device) { StartNode(device->node); }

void CloseAudioDevice(AudioDevice* device) {
    if (!device) return;
    CloseNode(device->node);
    delete device;
}

bool AudioDeviceLost(AudioDevice* device) { return device && ContextClosed() != 0; }

bool IsSystemWindow(const void*) { return false; }
