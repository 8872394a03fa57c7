// The system layer in the browser (WebAssembly): no run-time linking, so the
// plug-in is linked into the program and "loading" it hands out a table of
// its entry points, looked up by name as a system's loader would.
#include <cstring>
#include <string>
#include <type_traits>

#include "npmod32.h"
#include "platform/system/system.h"

extern "C" {
void* ModPlug_CreateEx(const char* parameters);
void ModPlug_Destroy(void* instance);
int ModPlug_SetWindow(void* instance, void* window);
int ModPlug_Load(void* instance, const char* path);
int ModPlug_GetVUMeter(void* instance);
int ModPlug_Play(void* instance);
int ModPlug_Stop(void* instance);
int32_t ModPlug_GetCurrentPosition(void* instance);
int ModPlug_SetCurrentPosition(void* instance, int32_t position);
int ModPlug_IsReady(void* instance);
int ModPlug_HasEnded(void* instance);
int32_t ModPlug_GetPlayedMilliseconds(void* instance);
int ModPlug_SetMasterVolume(void* instance, uint32_t percent);
}

namespace {

// The program's folder in the in-memory file system; the page puts the
// show's data beside it.
constexpr const char* kProgramPath = "/sixscene/sixscene";
constexpr const char* kPluginName = "npmod32 (linked in)";

struct EntryPoint {
    const char* name;
    void* address;
};

const EntryPoint kPluginEntryPoints[] = {
    {"ModPlug_CreateEx", reinterpret_cast<void*>(&ModPlug_CreateEx)},
    {"ModPlug_Destroy", reinterpret_cast<void*>(&ModPlug_Destroy)},
    {"ModPlug_SetWindow", reinterpret_cast<void*>(&ModPlug_SetWindow)},
    {"ModPlug_Load", reinterpret_cast<void*>(&ModPlug_Load)},
    {"ModPlug_GetVUMeter", reinterpret_cast<void*>(&ModPlug_GetVUMeter)},
    {"ModPlug_Play", reinterpret_cast<void*>(&ModPlug_Play)},
    {"ModPlug_Stop", reinterpret_cast<void*>(&ModPlug_Stop)},
    {"ModPlug_GetCurrentPosition", reinterpret_cast<void*>(&ModPlug_GetCurrentPosition)},
    {"ModPlug_SetCurrentPosition", reinterpret_cast<void*>(&ModPlug_SetCurrentPosition)},
    {"ModPlug_IsReady", reinterpret_cast<void*>(&ModPlug_IsReady)},
    {"ModPlug_HasEnded", reinterpret_cast<void*>(&ModPlug_HasEnded)},
    {"ModPlug_GetPlayedMilliseconds", reinterpret_cast<void*>(&ModPlug_GetPlayedMilliseconds)},
    {"ModPlug_SetMasterVolume", reinterpret_cast<void*>(&ModPlug_SetMasterVolume)},
};

// The handle of the one library there is.
int gPluginHandle;

}  // namespace

std::string ExecutablePath() { return kProgramPath; }

std::string DefaultPluginPath() { return kPluginName; }

void* OpenLibrary(const std::string& path, std::string& error) {
    if (path == kPluginName) return &gPluginHandle;
    error = "the browser's program loads no libraries; the module player is linked in";
    return nullptr;
}

void* LibrarySymbol(void* library, const char* name) {
    if (library != &gPluginHandle || !name) return nullptr;
    for (const EntryPoint& entry : kPluginEntryPoints) {
        if (std::strcmp(entry.name, name) == 0) return entry.address;
    }
    return nullptr;
}

void CloseLibrary(void*) {}

bool StderrIsTerminal() { return false; }

int TerminalColumns() { return 0; }

// The declarations above are the plug-in's types.
static_assert(std::is_same_v<decltype(&ModPlug_CreateEx), ModPlug_CreateExFn>);
static_assert(std::is_same_v<decltype(&ModPlug_Destroy), ModPlug_DestroyFn>);
static_assert(std::is_same_v<decltype(&ModPlug_SetWindow), ModPlug_SetWindowFn>);
static_assert(std::is_same_v<decltype(&ModPlug_Load), ModPlug_LoadFn>);
static_assert(std::is_same_v<decltype(&ModPlug_GetVUMeter), ModPlug_GetVUMeterFn>);
static_assert(std::is_same_v<decltype(&ModPlug_Play), ModPlug_PlayFn>);
static_assert(std::is_same_v<decltype(&ModPlug_Stop), ModPlug_StopFn>);
static_assert(std::is_same_v<decltype(&ModPlug_GetCurrentPosition), ModPlug_GetCurrentPositionFn>);
static_assert(std::is_same_v<decltype(&ModPlug_SetCurrentPosition), ModPlug_SetCurrentPositionFn>);
static_assert(std::is_same_v<decltype(&ModPlug_IsReady), ModPlug_IsReadyFn>);
static_assert(std::is_same_v<decltype(&ModPlug_HasEnded), ModPlug_HasEndedFn>);
static_assert(std::is_same_v<decltype(&ModPlug_GetPlayedMilliseconds), ModPlug_GetPlayedMillisecondsFn>);
static_assert(std::is_same_v<decltype(&ModPlug_SetMasterVolume), ModPlug_SetMasterVolumeFn>);
