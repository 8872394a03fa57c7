#pragma once
// The schedule of the show: the music position picks the scene.
#include <cstdint>

#include "app/display.h"
#include "app/scenes.h"
#include "assets/objects.h"
#include "assets/pictures.h"

struct Timeline {
    int32_t sceneState = 1;
    // Ticks when scene 4, 5 or 6 was entered; 0 until one of them is.
    double sceneStart = 0;
    SceneData scenes;
    Pictures* pictures = nullptr;
    ShowObjects* objects = nullptr;
};

constexpr int32_t kEndPosition = 1200;

// The scene (1 to 6) a position selects, or 0 for the end.
int32_t SceneForPosition(int32_t position);
// The first row of scene 1 to 6.
int32_t SceneStartRow(int32_t scene);

// Prepares scenes 3 to 6 and reads the scroll text from dataDir/dat/text.dat;
// `warning` (when given) says why a text file present was not read.
void SetUpTimeline(Timeline& timeline, Pictures& pictures, ShowObjects& objects, int32_t rowPad,
                   const std::string& dataDir, std::string* warning = nullptr);
// Draws one frame; true when the show has reached its end (nothing drawn).
bool TimelineStep(Timeline& timeline, const BackBuffer& frame, int32_t position,
                  double frameTicks, double ticksTotal);
