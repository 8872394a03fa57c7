#pragma once
// Libraries under SDL that print to stderr on their own: Wayland's client
// library (e.g. "XDG_RUNTIME_DIR is invalid or not set" on a machine with no
// Wayland at all) and ALSA (a dozen "ALSA lib ..." lines when there is no
// sound card). Their words would come before ours and bury them.

// Before SDL_Init: Wayland's messages are kept until ReleaseLibraryMessages;
// ALSA's are dropped (the plug-in says when there is no audio device, with
// SDL's reason).
void HoldLibraryMessages();
// The Wayland messages kept since HoldLibraryMessages, one a line; later
// ones go to stderr as they come, after "sixscene: Wayland: ".
std::string ReleaseLibraryMessages();
