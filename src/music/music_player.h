#pragma once
// Binding to the module-player plug-in, loaded at run time by name.
#include <cstdint>
#include <string>

#include "npmod32.h"
#include "platform/host.h"

struct MusicPlayer {
    Host* host = nullptr;
    void* library = nullptr;
    ModPlug_CreateExFn createEx = nullptr;
    ModPlug_DestroyFn destroy = nullptr;
    ModPlug_SetWindowFn setWindow = nullptr;
    ModPlug_LoadFn load = nullptr;
    ModPlug_GetVUMeterFn getVUMeter = nullptr;
    ModPlug_PlayFn play = nullptr;
    ModPlug_StopFn stop = nullptr;
    ModPlug_GetCurrentPositionFn getCurrentPosition = nullptr;
    ModPlug_SetCurrentPositionFn setCurrentPosition = nullptr;
    ModPlug_IsReadyFn isReady = nullptr;
    // Optional: a plug-in without them plays the show all the same.
    ModPlug_HasEndedFn hasEnded = nullptr;
    ModPlug_GetPlayedMillisecondsFn getPlayedMilliseconds = nullptr;
    ModPlug_SetMasterVolumeFn setMasterVolume = nullptr;
    void* instance = nullptr;
};

// Loads the library and looks up its entry points; false when the library
// can't be loaded or lacks one of them (`error` says which).
bool LoadMusicLibrary(MusicPlayer& player, Host& host, const std::string& name,
                      std::string* error);
// Creates the player instance; it stays silent until StartMusic.
bool CreateMusicPlayer(MusicPlayer& player, void* window);
// Loads the module and waits until the player is ready.
bool LoadModule(MusicPlayer& player, const std::string& path);
// Rewinds to position 0 and plays.
void StartMusic(MusicPlayer& player);
int32_t MusicPosition(const MusicPlayer& player);
// Stops and rewinds to position 0.
void StopMusic(MusicPlayer& player);
// Holds the music where it is, or plays on from there.
void PauseMusic(MusicPlayer& player);
void ResumeMusic(MusicPlayer& player);
// Moves playback to the start of row `position` (rows played since the start).
void SeekMusic(MusicPlayer& player, int32_t position);
// True once the module has played to its end.
bool MusicEnded(const MusicPlayer& player);
// Milliseconds of music heard since the module's start; -1 when the plug-in
// can't tell.
int32_t MusicMilliseconds(const MusicPlayer& player);
// Loudness in percent; false when the plug-in can't change it.
bool SetMusicVolume(MusicPlayer& player, uint32_t percent);
void UnloadMusicLibrary(MusicPlayer& player);
