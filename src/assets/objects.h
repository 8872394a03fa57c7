#pragma once
// The four 3D objects of the show: reading LWOB files and the one-time set-up.
#include <string>

#include "assets/pictures.h"
#include "geometry/object3d.h"

struct ShowObjects {
    Object3D nrect;   // the flat panel, textured with zastava
    Object3D nball;   // the ball, drawn untextured
    Object3D nballx;  // the second ball, mapped spherically when its scene begins
    Object3D nbox;    // the box, textured with meta
};

// Fills `object` from an LWOB file. False when the file cannot be opened or
// is malformed (`error` says why); the object is then left as it was.
bool LoadLightWaveObject(Object3D& object, const std::string& path, std::string* error = nullptr);
void MeasureObject(Object3D& object);
void MapTexturePlanar(Object3D& object, const Image& picture, double a, double b, double c,
                      double su, double sv);
// Loads and places the four objects from dataDir/obj/; false on the first
// file that cannot be loaded.
bool SetUpObjects(ShowObjects& objects, const Pictures& pictures, int32_t rowPad,
                  const std::string& dataDir, std::string* error = nullptr);
