#pragma once
// The one place where a backend becomes a host table. A backend is a struct
// and a set of free functions that take it by reference, found by
// argument-dependent lookup:
//   CreateWindows, MusicWindow, ShowMessageBox, PeekHostMessage,
//   PostHostMessage, ExitHost, CreateDisplay, SetDisplayMode, CreateSurfaces,
//   LockSurface, UnlockSurface, ColourFill, Flip, Restore, ReleaseDisplay,
//   TimeMs, and optionally NoteFrame.
// The display operations of a MemoryBacked backend may come from
// memory_display.h. Run-time libraries come from the system layer.
#include "platform/host.h"
#include "platform/memory/memory_display.h"
#include "platform/system/system.h"

template <class Backend>
void WireHost(Host& host, Backend& backend) {
    host = Host{};
    host.self = &backend;
    host.createWindows = [](void* self, const char* className, const char* title) {
        return CreateWindows(*static_cast<Backend*>(self), className, title);
    };
    host.musicWindow = [](void* self) { return MusicWindow(*static_cast<Backend*>(self)); };
    host.messageBox = [](void* self, const char* text, const char* caption, bool owned) {
        ShowMessageBox(*static_cast<Backend*>(self), text, caption, owned);
    };
    host.peekMessage = [](void* self, HostMessage* message) {
        return PeekHostMessage(*static_cast<Backend*>(self), message);
    };
    host.postMessage = [](void* self, HostMessage message) { PostHostMessage(*static_cast<Backend*>(self), message); };
    host.exitProcess = [](void* self, int status) { ExitHost(*static_cast<Backend*>(self), status); };
    host.createDisplay = [](void* self) { return CreateDisplay(*static_cast<Backend*>(self)); };
    host.setDisplayMode = [](void* self, int32_t width, int32_t height, int32_t bpp) {
        return SetDisplayMode(*static_cast<Backend*>(self), width, height, bpp);
    };
    host.createSurfaces = [](void* self) { return CreateSurfaces(*static_cast<Backend*>(self)); };
    host.lock = [](void* self, HostSurface surface, void** pixels, int32_t* pitch) {
        return LockSurface(*static_cast<Backend*>(self), surface, pixels, pitch);
    };
    host.unlock = [](void* self, HostSurface surface) { return UnlockSurface(*static_cast<Backend*>(self), surface); };
    host.colourFill = [](void* self, uint32_t colour) { return ColourFill(*static_cast<Backend*>(self), colour); };
    host.flip = [](void* self) { return Flip(*static_cast<Backend*>(self)); };
    host.restore = [](void* self) { return Restore(*static_cast<Backend*>(self)); };
    host.releaseDisplay = [](void* self) { ReleaseDisplay(*static_cast<Backend*>(self)); };
    host.timeMs = [](void* self) { return TimeMs(*static_cast<Backend*>(self)); };
    if constexpr (requires(Backend& b, const HostFrameNote& note) { NoteFrame(b, note); }) {
        host.noteFrame = [](void* self, const HostFrameNote& note) { NoteFrame(*static_cast<Backend*>(self), note); };
    }
    InstallLibraryLoader(host);
}
