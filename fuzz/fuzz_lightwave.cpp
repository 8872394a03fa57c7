// LoadLightWaveObject over arbitrary file contents, through the show's own
// set-up: the input stands for all four object files, so SetUpObjects reads,
// measures, places and maps it as the panel, the two balls and the box.
// What loads is then drawn the way the scenes draw it, into a target with a
// guard band, and the globe gets its spherical mapping and surface wave.
#include <unistd.h>

#include "assets/objects.h"
#include "fuzz_support.h"
#include "geometry/mapping.h"
#include "geometry/renderer.h"
#include "geometry/surface_wave.h"

namespace {

void Draw(Object3D& object, fuzz::GuardedTarget& target, const PointLight& light, bool textured) {
    object.pixels = target.pixels();
    if (textured) {
        DrawObject(object, light);
    } else {
        DrawObjectUntextured(object, light);
    }
    target.Check(textured ? "DrawObject" : "DrawObjectUntextured");
}

void CheckFaces(const Object3D& object) {
    if (object.faces.size() != static_cast<size_t>(object.faceCount)) std::abort();
    for (const Face& face : object.faces) {
        for (int32_t index : face.index) {
            if (index < 0 || index >= object.pointCount) std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string dir = fuzz::WorkDir() + "/objects";
    static const std::string input = dir + "/obj/input.lwo";
    static bool linked = [] {
        if (std::system(("mkdir -p '" + dir + "/obj'").c_str()) != 0) std::abort();
        for (const char* name : {"nrect.lwo", "nball.lwo", "nballx.lwo", "nbox.lwo"}) {
            if (symlink("input.lwo", (dir + "/obj/" + name).c_str()) != 0) std::abort();
        }
        return true;
    }();
    (void)linked;
    static Pictures pictures = [] {
        Pictures p;
        p.zastava = fuzz::MakePicture(512, 256, 2);
        p.meta = fuzz::MakePicture(256, 256, 3);
        p.zemlja = fuzz::MakePicture(640, 320, 8);
        return p;
    }();

    fuzz::WriteFile(input, data, size);
    const int32_t rowPad = 16;
    ShowObjects objects;
    std::string error;
    if (!SetUpObjects(objects, pictures, rowPad, dir, &error)) {
        if (error.find("nrect.lwo") == std::string::npos) {
            std::fprintf(stderr, "the error does not name the file: %s\n", error.c_str());
            std::abort();
        }
        return 0;
    }
    for (const Object3D* object : {&objects.nrect, &objects.nball, &objects.nballx, &objects.nbox}) {
        CheckFaces(*object);
    }

    // The middle of the screen only: filling whole screens of textured
    // faces would leave little time for the reader, and the edges are cut
    // the same way wherever they are.
    const int32_t width = 80, height = 60;
    fuzz::GuardedTarget target(width, height, rowPad);
    for (Object3D* object : {&objects.nrect, &objects.nball, &objects.nballx, &objects.nbox}) {
        object->width = width;
        object->height = height;
    }
    const PointLight light{{0, 0, 0}, 1.0, 1.0, 1.0};

    // Each object once, the way its scene draws it: the waving panel and
    // the box textured, the ball untextured, the globe wrapped and rippled.
    SurfaceWave wave;
    wave.amplitude = 10.0;
    wave.wavelength = 5.0;
    wave.Attach(objects.nrect);
    wave.Apply(3.0);
    objects.nrect.angles = Vector3{90.0, 0.0, -45.0};
    objects.nrect.position.y = -400.0;
    objects.nrect.position.z = 150.0;
    Draw(objects.nrect, target, light, true);
    objects.nbox.position = Vector3{55.0, 150.0, 100.0};
    objects.nbox.scale = Vector3{0.25, 0.25, 0.25};
    objects.nbox.angles = Vector3{33.0, 66.0, 99.0};
    Draw(objects.nbox, target, light, true);
    objects.nball.nearZ = 12.0;
    objects.nball.position.z = 100.0;
    Draw(objects.nball, target, light, false);

    Object3D& globe = objects.nballx;
    MapTextureSpherical(globe, pictures.zemlja, Vector3{0.0, 30.0, 0.0});
    globe.position.z = 105.0;
    globe.angles = Vector3{-45.0, 125.0, 0.0};
    wave.Attach(globe);
    wave.amplitude = 40.0;
    wave.Apply(17.0);
    Draw(globe, target, light, true);
    return 0;
}
