#include "app/timeline.h"

#include "effects/blit.h"

int32_t SceneForPosition(int32_t p) {
    if (p <= 65) return 1;
    if (p <= 255) return 2;
    if (p <= 279) return 3;
    if (p <= 876) return 4;
    if (p <= 1069) return 5;
    if (p <= 1199) return 6;
    return 0;
}

int32_t SceneStartRow(int32_t scene) {
    // Found from the schedule itself, so that the two never disagree.
    for (int32_t row = 0; row < kEndPosition; ++row) {
        if (SceneForPosition(row) == scene) return row;
    }
    return kEndPosition;
}

void SetUpTimeline(Timeline& timeline, Pictures& pictures, ShowObjects& objects, int32_t rowPad,
                   const std::string& dataDir, std::string* warning) {
    timeline.pictures = &pictures;
    timeline.objects = &objects;
    SetUpScenes(timeline.scenes, pictures, objects, rowPad, dataDir, warning);
    timeline.sceneState = 1;
}

namespace {

void DrawFullScreen(Image& picture, const BackBuffer& frame) {
    picture.x = 0;
    picture.y = 0;
    picture.target = frame.pixels;
    BlitOpaque(picture);
}

}  // namespace

bool TimelineStep(Timeline& timeline, const BackBuffer& frame, int32_t p, double dt, double T) {
    const int32_t scene = SceneForPosition(p);
    if (scene == 0) return true;
    // A scene's entry runs once, when the previous scene handed over to it.
    const bool entering = timeline.sceneState == scene;
    if (entering) {
        timeline.sceneState = scene + 1;
        if (scene >= 4) timeline.sceneStart = T;
    }
    SceneFrame now{frame.pixels, p, dt, T, T - timeline.sceneStart};
    Pictures& pictures = *timeline.pictures;
    ShowObjects& objects = *timeline.objects;
    switch (scene) {
        case 1: DrawFullScreen(pictures.moldivane, frame); break;
        case 2: DrawFullScreen(pictures.kesto, frame); break;
        case 3:
            if (entering) EnterScene3(timeline.scenes, objects);
            DrawScene3(timeline.scenes, objects, now);
            break;
        case 4:
            if (entering) EnterScene4(timeline.scenes, objects);
            DrawScene4(timeline.scenes, pictures, objects, now);
            break;
        case 5:
            if (entering) EnterScene5(timeline.scenes, pictures, objects);
            DrawScene5(timeline.scenes, pictures, objects, now);
            break;
        case 6:
            if (entering) EnterScene6(timeline.scenes);
            DrawScene6(timeline.scenes, now);
            break;
    }
    return false;
}
