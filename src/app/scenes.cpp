#include "app/scenes.h"

#include "assets/text.h"
#include "effects/blit.h"
#include "geometry/mapping.h"
#include "geometry/renderer.h"
#include "geometry/trig.h"

void SetFaceColour(Object3D& object, uint32_t colour) {
    for (int32_t i = 0; i < object.faceCount; ++i) object.faces[i].colour = colour;
}

namespace {

void Draw(Object3D& object, const SceneData& scenes, uint32_t* pixels) {
    object.pixels = pixels;
    DrawObject(object, scenes.sceneLight);
}

void Blend(Image& picture, int32_t x, int32_t y, uint32_t* pixels) {
    picture.x = x;
    picture.y = y;
    picture.target = pixels;
    BlitBlend(picture);
}

// Three copies of the ball, darkest furthest away: at z - 200, z - 100, z.
void DrawRedTrail(Object3D& ball, const SceneData& scenes, uint32_t* pixels) {
    ball.pixels = pixels;
    const uint32_t shades[3] = {0x550000, 0xAA0000, 0xFF0000};
    ball.position.z -= 200;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) ball.position.z += 100;
        SetFaceColour(ball, shades[i]);
        DrawObjectUntextured(ball, scenes.sceneLight);
    }
}

// The corners of the logo fan that never change between frames, and the
// first triangle's corners: so the scene is well defined even if it is
// drawn without its entry.
void ResetLogoRequest(SceneData& scenes) {
    ScreenVertex* a = &scenes.logoCorners[0];
    ScreenVertex* b = &scenes.logoCorners[1];
    ScreenVertex* c = &scenes.logoCorners[2];
    *a = {0, 0, 1.0};
    *b = {159, 119, 1.0};
    *c = {0, 239, 1.0};
    scenes.logoShades[0] = {1.0, 1.0, 1.0};
    scenes.logoShades[1] = {0.5, 0.5, 0.5};
    scenes.logoShades[2] = {0.5, 0.5, 0.5};
    scenes.logoUVs[0] = {0, 0};
    scenes.logoUVs[1] = {159, 119};
    scenes.logoUVs[2] = {0, 239};
    TriangleRequest& r = scenes.logoRequest;
    for (int i = 0; i < 3; ++i) {
        r.vertex[i] = &scenes.logoCorners[i];
        r.shade[i] = &scenes.logoShades[i];
        r.uv[i] = &scenes.logoUVs[i];
    }
    r.colour = 0xFFFFFF;
}

}  // namespace

void SetUpScenes(SceneData& scenes, Pictures& pictures, ShowObjects& objects, int32_t rowPad,
                 const std::string& dataDir, std::string* warning) {
    scenes.wave.Attach(objects.nrect);
    scenes.wave.amplitude = 10.0;
    scenes.wave.wavelength = 5.0;
    // Scene 5's entry maps the globe and moves the wave to it; their arrays
    // are made now, so that nothing is allocated once the show runs. (The
    // globe's face textures stay absent until the mapping fills them.)
    scenes.wave.Reserve(objects.nballx);
    objects.nballx.faceTextures.reserve(static_cast<size_t>(objects.nballx.faceCount));
    scenes.sceneLight = PointLight{{0, 0, 0}, 1.0, 1.0, 1.0};
    TextWriter& text = scenes.text;
    text.x = 7.0;
    text.font = &pictures.font;
    LoadText(text.text, dataDir + "/dat/text.dat", warning);
    text.glyphTable = glyphOffsets;
    text.y = 240.0;
    text.key = 0xFF0000;

    scenes.flightRepeats = 0;
    ResetLogoRequest(scenes);
    scenes.logoRequest.texture = &pictures.logo;
    scenes.logoRequest.width = 320;
    scenes.logoRequest.height = 240;
    scenes.logoRequest.rowPad = rowPad;
}

void EnterScene3(SceneData& scenes, ShowObjects& objects) {
    objects.nball.position.z = 700.0;
    objects.nball.nearZ = 12.0;
    scenes.flightRepeats = 0;
}

void DrawScene3(SceneData& scenes, ShowObjects& objects, const SceneFrame& frame) {
    Object3D& ball = objects.nball;
    ball.position.z -= 10 * frame.dt;
    DrawRedTrail(ball, scenes, frame.pixels);
    if (ball.position.z < 0 && scenes.flightRepeats < 2) {
        ball.position.z = 700.0;
        scenes.flightRepeats += 1;
    }
}

void EnterScene4(SceneData&, ShowObjects& objects) {
    Object3D& panel = objects.nrect;
    panel.angles.x = 90.0;
    panel.angles.z = -45.0;
    panel.position.y = -400.0;
    panel.position.z = 150.0;
    Object3D& box = objects.nbox;
    box.position.z = 100.0;
    box.position.x = 55.0;
    box.position.y = 150.0;
    box.scale = {0.25, 0.25, 0.25};
}

void DrawScene4(SceneData& scenes, Pictures& pictures, ShowObjects& objects, const SceneFrame& f) {
    Object3D& panel = objects.nrect;
    Object3D& box = objects.nbox;
    const double e = f.e, dt = f.dt;
    auto wave = [&] { scenes.wave.Apply(f.T / 12); };
    auto spinBox = [&] {
        box.angles.x += dt;
        box.angles.y += dt;
        box.angles.z += dt;
    };
    // Windows may overlap; each one whose condition holds runs, in order.
    if (e < 480) {
        panel.position.y += 0.7291666666666666 * dt;
        wave();
        Draw(panel, scenes, f.pixels);
    }
    if (e >= 440 && e < 680) {
        panel.angles.x -= 0.3125 * dt;
        panel.angles.z += 0.1875 * dt;
        panel.angles.y += 0.0625 * dt;
        panel.position.y += 0.2916666666666667 * dt;
        panel.position.z -= 0.08333333333333333 * dt;
        wave();
        if (e >= 480) Draw(panel, scenes, f.pixels);
    }
    if (e >= 680 && e < 800) {
        wave();
        Draw(panel, scenes, f.pixels);
    }
    if (e >= 800 && e < 4920) {
        wave();
        pictures.font.target = f.pixels;
        scenes.text.y -= dt / 3;
        Draw(panel, scenes, f.pixels);
        PrintText(scenes.text);
    }
    if (e >= 4920 && e < 5160) {
        wave();
        Draw(panel, scenes, f.pixels);
        box.position.y -= 0.625 * dt;
        spinBox();
        Draw(box, scenes, f.pixels);
    }
    if (e >= 5160 && e < 5640) {
        wave();
        Draw(panel, scenes, f.pixels);
        spinBox();
        Draw(box, scenes, f.pixels);
    }
    if (e >= 5640 && e < 5880) {
        wave();
        Draw(panel, scenes, f.pixels);
        spinBox();
        Draw(box, scenes, f.pixels);
        Blend(pictures.one, 0, 159, f.pixels);
    }
    if (e >= 5880 && e < 6000) {
        wave();
        Draw(panel, scenes, f.pixels);
        spinBox();
        box.position.z -= 0.5 * dt;
        panel.position.z -= 0.5 * dt;
        box.position.x -= 0.4583333333333333 * dt;
        panel.position.z -= 0.4583333333333333 * dt;
        Draw(box, scenes, f.pixels);
    }
    if (e >= 6000 && e < 6060) {
        spinBox();
        Draw(box, scenes, f.pixels);
    }
    if (e >= 6060 && e < 7300) {
        spinBox();
        Draw(box, scenes, f.pixels);
        Blend(pictures.targets, 0, 79, f.pixels);
    }
}

void EnterScene5(SceneData& scenes, Pictures& pictures, ShowObjects& objects) {
    Object3D& globe = objects.nballx;
    MapTextureSpherical(globe, pictures.zemlja, Vector3{0.0, 30.0, 0.0});
    globe.position.z = 105.0;
    globe.angles.y = 125.0;
    globe.angles.x = -45.0;
    scenes.wave.Attach(globe);
    pictures.who.x = 0;
    pictures.who.y = 0;
    objects.nball.position.z = 350.0;
    objects.nball.nearZ = 12.0;
}

void DrawScene5(SceneData& scenes, Pictures& pictures, ShowObjects& objects, const SceneFrame& f) {
    Object3D& globe = objects.nballx;
    const double e = f.e, dt = f.dt;
    const int32_t p = f.position;
    if (e < 480) {
        globe.position.z += dt / 6;
        globe.angles.y += dt / 6;
        Draw(globe, scenes, f.pixels);
    }
    if (e >= 480 && p < 1053) {
        globe.angles.y += dt / 6;
        Draw(globe, scenes, f.pixels);
        Blend(pictures.who, 0, 0, f.pixels);
    }
    if (p >= 1053 && p < 1058) {
        // The climax: the red trail flies in while the globe bursts apart.
        globe.angles.y += dt / 6;
        objects.nball.position.z -= 20 * dt;
        DrawRedTrail(objects.nball, scenes, f.pixels);
        scenes.wave.amplitude += 3 * dt;
        globe.angles.x += 3 * dt;
        scenes.wave.Apply(f.T);
        Draw(globe, scenes, f.pixels);
    }
}

void EnterScene6(SceneData& scenes) { ResetLogoRequest(scenes); }

void DrawScene6(SceneData& scenes, const SceneFrame& f) {
    const double s = f.e + 50;
    ScreenVertex& a = scenes.logoCorners[0];
    ScreenVertex& c = scenes.logoCorners[2];
    VertexIntensity& shadeA = scenes.logoShades[0];
    VertexIntensity& shadeB = scenes.logoShades[1];
    TexCoord& uvA = scenes.logoUVs[0];
    TexCoord& uvC = scenes.logoUVs[2];
    TriangleRequest& request = scenes.logoRequest;

    shadeA = {(1 - Sine(s / 32)) / 2, (1 - Sine(s / 30)) / 2, (1 - Sine(s / 28)) / 2};
    shadeB = {(1 - Sine(s / 28)) / 4, (1 - Sine(s / 30)) / 4, (1 - Sine(s / 32)) / 4};
    // Each corner's texel is its own screen position: the logo unscaled,
    // cut into four triangles that meet at the centre.
    a.x = 0, a.y = 0, uvA = {0, 0};
    c.x = 0, c.y = 319, uvC = {0, 319};  // below the screen; clipping cuts it
    request.pixels = f.pixels;
    DrawTriangleMode4(request);
    c.x = 319, c.y = 0, uvC = {319, 0};
    DrawTriangleMode4(request);
    c.x = 319, c.y = 239, uvC = {319, 239};
    a.x = 0, a.y = 239, uvA = {0, 239};
    shadeA = {0.5, 0.5, 0.5};
    DrawTriangleMode4(request);
    a.x = 319, a.y = 0, uvA = {319, 0};
    DrawTriangleMode4(request);
}
