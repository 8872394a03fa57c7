#pragma once
// Scenes 3 to 6: the 3D objects, the scrolling text and the logo fan.
#include <cstdint>
#include <string>

#include "assets/objects.h"
#include "assets/pictures.h"
#include "effects/text_writer.h"
#include "geometry/object3d.h"
#include "geometry/surface_wave.h"
#include "raster/triangle.h"

// What a scene's frame works with.
struct SceneFrame {
    uint32_t* pixels;  // the frame's drawing target
    int32_t position;
    double dt;  // ticks since the previous frame
    double T;   // ticks since the clock started
    double e;   // ticks since the current scene was entered
};

struct SceneData {
    int32_t flightRepeats = 0;
    SurfaceWave wave;
    PointLight sceneLight;
    TextWriter text;
    TriangleRequest logoRequest;
    ScreenVertex logoCorners[3];
    VertexIntensity logoShades[3];
    TexCoord logoUVs[3];
};

// Sets the colour of every face of the object.
void SetFaceColour(Object3D& object, uint32_t colour);

// A text file that is refused leaves the scene without text and `warning`
// (when given) saying why; a missing one says nothing.
void SetUpScenes(SceneData& scenes, Pictures& pictures, ShowObjects& objects, int32_t rowPad,
                 const std::string& dataDir, std::string* warning = nullptr);
void EnterScene3(SceneData& scenes, ShowObjects& objects);
void DrawScene3(SceneData& scenes, ShowObjects& objects, const SceneFrame& frame);
void EnterScene4(SceneData& scenes, ShowObjects& objects);
void DrawScene4(SceneData& scenes, Pictures& pictures, ShowObjects& objects, const SceneFrame& frame);
void EnterScene5(SceneData& scenes, Pictures& pictures, ShowObjects& objects);
void DrawScene5(SceneData& scenes, Pictures& pictures, ShowObjects& objects, const SceneFrame& frame);
void EnterScene6(SceneData& scenes);
void DrawScene6(SceneData& scenes, const SceneFrame& frame);
