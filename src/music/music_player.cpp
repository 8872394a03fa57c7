#include "music/music_player.h"

namespace {

template <typename Fn>
bool Bind(MusicPlayer& player, Fn& slot, const char* name, std::string* error) {
    slot = reinterpret_cast<Fn>(player.host->getProcAddress(player.host->self, player.library, name));
    if (!slot && error) *error = std::string("the library has no entry point ") + name;
    return slot != nullptr;
}

}  // namespace

bool LoadMusicLibrary(MusicPlayer& player, Host& host, const std::string& name,
                      std::string* error) {
    player.host = &host;
    player.library = host.loadLibrary(host.self, name.c_str());
    if (!player.library) {
        const char* why = host.libraryError ? host.libraryError(host.self) : nullptr;
        if (error) *error = why && *why ? why : "cannot load the library " + name;
        return false;
    }
    // Every entry point is checked: calling a missing one would crash later.
    const bool bound = Bind(player, player.createEx, "ModPlug_CreateEx", error) &&
                       Bind(player, player.destroy, "ModPlug_Destroy", error) &&
                       Bind(player, player.setWindow, "ModPlug_SetWindow", error) &&
                       Bind(player, player.load, "ModPlug_Load", error) &&
                       Bind(player, player.getVUMeter, "ModPlug_GetVUMeter", error) &&
                       Bind(player, player.play, "ModPlug_Play", error) &&
                       Bind(player, player.stop, "ModPlug_Stop", error) &&
                       Bind(player, player.getCurrentPosition, "ModPlug_GetCurrentPosition", error) &&
                       Bind(player, player.setCurrentPosition, "ModPlug_SetCurrentPosition", error) &&
                       Bind(player, player.isReady, "ModPlug_IsReady", error);
    if (!bound) {
        UnloadMusicLibrary(player);
        return false;
    }
    Bind(player, player.hasEnded, "ModPlug_HasEnded", nullptr);
    Bind(player, player.getPlayedMilliseconds, "ModPlug_GetPlayedMilliseconds", nullptr);
    Bind(player, player.setMasterVolume, "ModPlug_SetMasterVolume", nullptr);
    return true;
}

bool CreateMusicPlayer(MusicPlayer& player, void* window) {
    player.instance = player.createEx("autostart|false");
    if (!player.instance) return false;
    player.setWindow(player.instance, window);
    return true;
}

bool LoadModule(MusicPlayer& player, const std::string& path) {
    if (!player.load(player.instance, path.c_str())) return false;
    while (!player.isReady(player.instance)) {
    }
    return true;
}

void StartMusic(MusicPlayer& player) {
    player.setCurrentPosition(player.instance, 0);
    player.play(player.instance);
}

int32_t MusicPosition(const MusicPlayer& player) {
    return player.getCurrentPosition(player.instance);
}

void StopMusic(MusicPlayer& player) {
    if (!player.instance) return;
    player.stop(player.instance);
    player.setCurrentPosition(player.instance, 0);
}

void PauseMusic(MusicPlayer& player) { player.stop(player.instance); }

void ResumeMusic(MusicPlayer& player) { player.play(player.instance); }

void SeekMusic(MusicPlayer& player, int32_t position) { player.setCurrentPosition(player.instance, position); }

bool MusicEnded(const MusicPlayer& player) { return player.hasEnded && player.hasEnded(player.instance) != 0; }

int32_t MusicMilliseconds(const MusicPlayer& player) {
    return player.getPlayedMilliseconds ? player.getPlayedMilliseconds(player.instance) : -1;
}

bool SetMusicVolume(MusicPlayer& player, uint32_t percent) {
    return player.setMasterVolume && player.setMasterVolume(player.instance, percent) != 0;
}

void UnloadMusicLibrary(MusicPlayer& player) {
    // The player's own threads run code of the library: end them first.
    if (player.instance && player.destroy) player.destroy(player.instance);
    player.instance = nullptr;
    if (player.library && player.host) player.host->freeLibrary(player.host->self, player.library);
    player.library = nullptr;
}
