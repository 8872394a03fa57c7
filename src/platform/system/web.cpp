// The system layer in the browser (WebAssembly): no run-time linking, so the
// plug-in is linked into the program and "loading" it hands out a table of
// its entry points, looked up by name as a system's loader would.
#include <cstring>
#include <string>
#include <type_traits>

#include "npmod32.h"
#include "platform/system/system.h"

// Declared through the plug-in's own types, which its definitions are checked
// against.
extern "C" {
std::remove_pointer_t<ModPlug_CreateExFn> ModPlug_CreateEx;
std::remove_pointer_t<ModPlug_DestroyFn> ModPlug_Destroy;
std::remove_pointer_t<ModPlug_SetWindowFn> ModPlug_SetWindow;
std::remove_pointer_t<ModPlug_LoadFn> ModPlug_Load;
std::remove_pointer_t<ModPlug_GetVUMeterFn> ModPlug_GetVUMeter;
std::remove_pointer_t<ModPlug_PlayFn> ModPlug_Play;
std::remove_pointer_t<ModPlug_StopFn> ModPlug_Stop;
std::remove_pointer_t<ModPlug_GetCurrentPositionFn> ModPlug_GetCurrentPosition;
std::remove_pointer_t<ModPlug_SetCurrentPositionFn> ModPlug_SetCurrentPosition;
std::remove_pointer_t<ModPlug_IsReadyFn> ModPlug_IsReady;
std::remove_pointer_t<ModPlug_HasEndedFn> ModPlug_HasEnded;
std::remove_pointer_t<ModPlug_GetPlayedMillisecondsFn> ModPlug_GetPlayedMilliseconds;
std::remove_pointer_t<ModPlug_SetMasterVolumeFn> ModPlug_SetMasterVolume;
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
