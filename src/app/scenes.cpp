#include "app/scenes.h"

#include "assets/text.h"

void SetUpScenes(SceneData& scenes, Pictures& pictures, ShowObjects&, int32_t,
                 const std::string& dataDir) {
    scenes.sceneLight = PointLight{{0, 0, 0}, 1.0, 1.0, 1.0};
    scenes.text.x = 7.0;
    scenes.text.font = &pictures.font;
    LoadText(scenes.text.text, dataDir + "/dat/text.dat");
    scenes.text.glyphTable = glyphOffsets;
    scenes.text.y = 240.0;
    scenes.text.key = 0xFF0000;
}

void EnterScene3(SceneData&, ShowObjects&) {}
void DrawScene3(SceneData&, ShowObjects&, const SceneFrame&) {}
void EnterScene4(SceneData&, ShowObjects&) {}
void DrawScene4(SceneData&, Pictures&, ShowObjects&, const SceneFrame&) {}
void EnterScene5(SceneData&, Pictures&, ShowObjects&) {}
void DrawScene5(SceneData&, Pictures&, ShowObjects&, const SceneFrame&) {}
void EnterScene6(SceneData&) {}
void DrawScene6(SceneData&, const SceneFrame&) {}
