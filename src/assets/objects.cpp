// Planar texture mapping and the one-time set-up of the show's four objects.
#include <cstdint>
#include <string>

#include "assets/objects.h"

void MapTexturePlanar(Object3D& object, const Image& picture, double a, double b, double c,
                      double su, double sv) {
    if (object.faceTextures.empty()) {
        object.faceTextures.assign(static_cast<size_t>(object.faceCount), FaceTexture{});
    }
    const int32_t w = picture.width;
    const int32_t h = picture.height;
    const double cu = (static_cast<double>(w) + 1) / 2 - 1;
    const double cv = (static_cast<double>(h) + 1) / 2 - 1;
    const double uMax = static_cast<double>(w - 1);
    const double vMax = static_cast<double>(h - 1);

    // Turn the model the opposite way about its own origin; only the object
    // matrix matters here.
    const Vector3 keptPosition = object.position;
    const Vector3 keptAngles = object.angles;
    object.angles = Vector3{-a, -b, -c};
    object.position = Vector3{0, 0, 0};
    BuildMatrices(object);
    TransformPoints(object);
    object.position = keptPosition;
    object.angles = keptAngles;

    for (int32_t f = 0; f < object.faceCount; ++f) {
        Vector3 normal;
        FaceNormal(object, f, normal);
        // Seen edge-on along z: an earlier mapping may have textured it.
        if (normal.z > -0.01 && normal.z < 0.01) continue;

        FaceTexture& entry = object.faceTextures[static_cast<size_t>(f)];
        const Face& face = object.faces[static_cast<size_t>(f)];
        bool inside = true;
        for (int k = 0; k < 3 && inside; ++k) {
            const Vector3& p = object.cameraPoints[static_cast<size_t>(face.index[k])];
            const double u = p.x / su + cu;
            entry.corner[k].u = u;
            if (!(u > 0 && u < uMax)) {
                inside = false;
                break;
            }
            const double v = cv - p.y / sv;
            entry.corner[k].v = v;
            if (!(v > 0 && v < vMax)) inside = false;
        }
        if (inside) entry.texture = &picture;
    }
}

namespace {

std::string ObjectPath(const std::string& dataDir, const char* name) {
    std::string path = dataDir;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + "obj/" + name;
}

// Loads one object and gives it the show's target; false when the file fails.
bool LoadForScreen(Object3D& object, const std::string& dataDir, const char* name, int32_t rowPad,
                   std::string* error) {
    if (!LoadLightWaveObject(object, ObjectPath(dataDir, name), error)) return false;
    object.width = 320;
    object.height = 240;
    object.rowPad = rowPad;
    MeasureObject(object);
    return true;
}

}  // namespace

bool SetUpObjects(ShowObjects& objects, const Pictures& pictures, int32_t rowPad,
                  const std::string& dataDir, std::string* error) {
    // The panel is mapped before its focal length is set; the projection
    // built then is never used.
    Object3D& nrect = objects.nrect;
    if (!LoadForScreen(nrect, dataDir, "nrect.lwo", rowPad, error)) return false;
    const Image& zastava = pictures.zastava;
    MapTexturePlanar(nrect, zastava, 0, 0, 0, nrect.size.x / zastava.width * 1.01,
                     nrect.size.y / zastava.height * 1.01);
    nrect.focalLength = 128.0;
    nrect.position = Vector3{0, 0, nrect.size.x / 2.3};

    Object3D& nball = objects.nball;
    if (!LoadForScreen(nball, dataDir, "nball.lwo", rowPad, error)) return false;
    nball.focalLength = 128.0;
    nball.position = Vector3{0, 0, 200};

    Object3D& nballx = objects.nballx;
    if (!LoadForScreen(nballx, dataDir, "nballx.lwo", rowPad, error)) return false;
    nballx.focalLength = 128.0;
    nballx.position = Vector3{0, 0, 200};

    // Three projections: the faces seen along z, then along y, then along x.
    Object3D& nbox = objects.nbox;
    if (!LoadForScreen(nbox, dataDir, "nbox.lwo", rowPad, error)) return false;
    nbox.focalLength = 128.0;
    nbox.position = Vector3{0, 0, 200};
    const Image& meta = pictures.meta;
    const double su = nbox.size.x / meta.width * 1.1;
    const double sv = nbox.size.y / meta.height * 1.1;
    MapTexturePlanar(nbox, meta, 0, 0, 0, su, sv);
    MapTexturePlanar(nbox, meta, 90, 0, 0, su, sv);
    MapTexturePlanar(nbox, meta, 90, 0, 90, su, sv);
    return true;
}
