#pragma once
// The ten pictures of the show, loaded once at start-up.
#include <string>

#include "assets/image.h"

struct Pictures {
    Image font;       // 704 x 26, the text writer's font
    Image zastava;    // 512 x 256, texture of the panel
    Image meta;       // 256 x 256, texture of the box
    Image moldivane;  // 320 x 240, first scene
    Image kesto;      // 320 x 240, second scene
    Image one;        // 320 x 80, band of the fourth scene
    Image targets;    // 320 x 80, band of the fourth scene
    Image zemlja;     // 640 x 320, texture of the globe
    Image who;        // 64 x 240, strip of the fifth scene
    Image logo;       // 320 x 240, texture of the last scene
};

// Loads the set from dataDir/bitmap/ in a fixed order; stops at the first
// failure. rowPad is the target row pad of the pictures drawn to the screen.
// A file with fewer pixels than its picture needs is refused.
bool LoadPictures(Pictures& pictures, const std::string& dataDir, int32_t rowPad,
                  std::string* error = nullptr);
