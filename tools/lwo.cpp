// The four 3D objects as LightWave object files (LWOB): triangles only, with
// (v1 - v0) x (v2 - v0) pointing out of the object, which our renderer
// sees as clockwise on the screen (front-facing).
#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "generator.h"

namespace gen {

namespace {

struct Mesh {
    std::vector<std::array<double, 3>> points;
    std::vector<std::array<int, 3>> triangles;
};

std::array<double, 3> Cross(const Mesh& m, const std::array<int, 3>& t) {
    const auto& a = m.points[t[0]];
    const auto& b = m.points[t[1]];
    const auto& c = m.points[t[2]];
    const double e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    return {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
}

// For a convex mesh around the origin: turn every triangle whose normal
// points inward.
void OrientOutward(Mesh& m) {
    for (auto& t : m.triangles) {
        const auto n = Cross(m, t);
        double centroid[3] = {0, 0, 0};
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < 3; ++i) centroid[i] += m.points[t[k]][i] / 3;
        if (n[0] * centroid[0] + n[1] * centroid[1] + n[2] * centroid[2] < 0) std::swap(t[1], t[2]);
    }
}

void PutChunkHeader(Bytes& out, const char* id, uint32_t size) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(id[i]));
    PutBE32(out, size);
}

void PutName(Bytes& out, const std::string& name) {
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    if (out.size() % 2) out.push_back(0);  // names are padded to even length
}

// The reader finds each chunk by the first occurrence of its name after the
// previous one, so a name must not turn up earlier by chance.
void CheckChunkNames(const Bytes& file, const std::vector<std::pair<std::string, size_t>>& chunks) {
    for (const auto& [id, offset] : chunks) {
        const auto at = std::search(file.begin(), file.end(), id.begin(), id.end());
        if (size_t(at - file.begin()) != offset)
            throw std::runtime_error("chunk name " + id + " occurs before its chunk");
    }
}

Bytes WriteLightWave(const Mesh& mesh, const std::string& surface, std::array<uint8_t, 3> colour) {
    if (mesh.points.size() > 32768) throw std::runtime_error("too many points for 16-bit indices");
    Bytes body;  // everything after "FORM" and its length
    body.insert(body.end(), {'L', 'W', 'O', 'B'});
    std::vector<std::pair<std::string, size_t>> chunks;

    Bytes names;
    PutName(names, surface);
    chunks.push_back({"SRFS", body.size()});
    PutChunkHeader(body, "SRFS", uint32_t(names.size()));
    body.insert(body.end(), names.begin(), names.end());

    chunks.push_back({"PNTS", body.size()});
    PutChunkHeader(body, "PNTS", uint32_t(mesh.points.size() * 12));
    for (const auto& p : mesh.points)
        for (double v : p) PutBEFloat(body, float(v));

    chunks.push_back({"POLS", body.size()});
    PutChunkHeader(body, "POLS", uint32_t(mesh.triangles.size() * 10));
    for (const auto& t : mesh.triangles) {
        PutBE16(body, 3);
        for (int i : t) {
            if (i < 0 || size_t(i) >= mesh.points.size())
                throw std::runtime_error("vertex index out of range");
            PutBE16(body, uint16_t(i));
        }
        PutBE16(body, 1);  // surface 1
    }

    Bytes surf;
    PutName(surf, surface);
    surf.insert(surf.end(), {'C', 'O', 'L', 'R'});
    PutBE16(surf, 4);
    surf.insert(surf.end(), {colour[0], colour[1], colour[2], 0});
    surf.insert(surf.end(), {'F', 'L', 'A', 'G'});
    PutBE16(surf, 2);
    PutBE16(surf, 0x0004);  // smoothing
    surf.insert(surf.end(), {'D', 'I', 'F', 'F'});
    PutBE16(surf, 2);
    PutBE16(surf, 256);
    chunks.push_back({"SURF", body.size()});
    PutChunkHeader(body, "SURF", uint32_t(surf.size()));
    body.insert(body.end(), surf.begin(), surf.end());

    Bytes file;
    PutChunkHeader(file, "FORM", uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    for (auto& c : chunks) c.second += 8;
    CheckChunkNames(file, chunks);
    return file;
}

// Latitude rings between single pole points; radius 1.
Mesh UvSphere(int slices, int stacks) {
    Mesh m;
    m.points.push_back({0, 1, 0});
    for (int i = 1; i < stacks; ++i) {
        const double phi = kPi / 2 - kPi * i / stacks;
        for (int j = 0; j < slices; ++j) {
            const double theta = 2 * kPi * (j + 0.5) / slices;
            m.points.push_back(
                {std::cos(phi) * std::cos(theta), std::sin(phi), std::cos(phi) * std::sin(theta)});
        }
    }
    m.points.push_back({0, -1, 0});
    const int south = int(m.points.size()) - 1;
    auto ring = [slices](int i, int j) { return 1 + (i - 1) * slices + (j % slices); };
    for (int j = 0; j < slices; ++j) {
        m.triangles.push_back({0, ring(1, j), ring(1, j + 1)});
        m.triangles.push_back({south, ring(stacks - 1, j), ring(stacks - 1, j + 1)});
    }
    for (int i = 1; i < stacks - 1; ++i)
        for (int j = 0; j < slices; ++j) {
            m.triangles.push_back({ring(i, j), ring(i + 1, j), ring(i, j + 1)});
            m.triangles.push_back({ring(i, j + 1), ring(i + 1, j), ring(i + 1, j + 1)});
        }
    OrientOutward(m);
    return m;
}

}  // namespace

Bytes MakePanelObject() {
    // The surface wave uses k = 180 / (pi * 5) radians per loaded unit (file
    // units x 100), a period far shorter than any sensible vertex spacing.
    // What shows is the alias at the vertex columns, so the spacing makes
    // k * s one sixteenth of a turn past a whole number of turns: ripples
    // 16 columns long run across the panel.
    //
    // The flag scene starts with the panel lying flat 400 units below the eye,
    // turned 45 degrees, and lifts it by 350 units over 8 seconds. Its far
    // corner shows within half a second only when it lies about 400 units
    // deep, so the panel is 4.76 units (476 loaded) wide: 123 columns at the
    // same spacing keep the ripples as they were. Turned to face the viewer
    // the panel then fills the screen behind the scroll text.
    const double k = 180 / (kPi * 5);
    const double spacing = 2 * kPi * (7 + 1.0 / 16) / k / 100;  // file units
    constexpr int columns = 123, rows = 30;
    const double width = columns * spacing, height = width / 2;
    Mesh m;
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= columns; ++c)
            m.points.push_back({-width / 2 + c * spacing, -height / 2 + height * r / rows, 0});
    auto at = [](int r, int c) { return r * (columns + 1) + c; };
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            // (v1 - v0) x (v2 - v0) along -z: the side that faces the viewer.
            m.triangles.push_back({at(r, c), at(r + 1, c), at(r, c + 1)});
            m.triangles.push_back({at(r, c + 1), at(r + 1, c), at(r + 1, c + 1)});
        }
    for (const auto& t : m.triangles)
        if (Cross(m, t)[2] >= 0) throw std::runtime_error("panel triangle faces away from the viewer");
    return WriteLightWave(m, "Flag", {255, 255, 255});
}

// The ball flies right up to the eye, where its outline spans the screen:
// 64 slices and 32 stacks (5.6 degrees a step) keep a chord within half a
// pixel of the circle at a radius of 200 pixels.
Bytes MakeBallObject() { return WriteLightWave(UvSphere(64, 32), "Ball", {255, 0, 0}); }

Bytes MakeGlobeObject() { return WriteLightWave(UvSphere(44, 24), "Globe", {255, 255, 255}); }

Bytes MakeBoxObject() {
    // Each side has its own points, so the shading does not bleed round the
    // edges and every side stays flat.
    constexpr int n = 4;
    Mesh m;
    for (int axis = 0; axis < 3; ++axis)
        for (int sign = -1; sign <= 1; sign += 2) {
            const int base = int(m.points.size());
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            for (int i = 0; i <= n; ++i)
                for (int j = 0; j <= n; ++j) {
                    std::array<double, 3> p{};
                    p[axis] = sign;
                    p[u] = -1 + 2.0 * i / n;
                    p[v] = -1 + 2.0 * j / n;
                    m.points.push_back(p);
                }
            auto at = [base](int i, int j) { return base + i * (n + 1) + j; };
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    m.triangles.push_back({at(i, j), at(i + 1, j), at(i, j + 1)});
                    m.triangles.push_back({at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)});
                }
        }
    OrientOutward(m);
    return WriteLightWave(m, "Metal", {200, 200, 210});
}

}  // namespace gen
