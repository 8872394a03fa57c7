#include "support/lwo_writer.h"

#include <cstring>
#include <fstream>

namespace lwo {

void PutU16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void PutU32(Bytes& out, uint32_t value) {
    PutU16(out, static_cast<uint16_t>(value >> 16));
    PutU16(out, static_cast<uint16_t>(value));
}

void PutF32(Bytes& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutU32(out, bits);
}

Bytes SurfaceNames(const std::vector<std::string>& names) {
    Bytes out;
    for (const std::string& name : names) {
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(0);
        if (out.size() % 2 != 0) out.push_back(0);
    }
    return out;
}

Bytes Points(const std::vector<Point>& points) {
    Bytes out;
    for (const Point& p : points) {
        PutF32(out, p.x);
        PutF32(out, p.y);
        PutF32(out, p.z);
    }
    return out;
}

namespace {

void PutPolygon(Bytes& out, const Polygon& polygon) {
    PutU16(out, static_cast<uint16_t>(polygon.vertices.size()));
    for (uint16_t v : polygon.vertices) PutU16(out, v);
    if (polygon.details.empty()) {
        PutU16(out, static_cast<uint16_t>(polygon.surface));
        return;
    }
    PutU16(out, static_cast<uint16_t>(-polygon.surface));
    PutU16(out, static_cast<uint16_t>(polygon.details.size()));
    for (const Polygon& detail : polygon.details) PutPolygon(out, detail);
}

}  // namespace

Bytes Polygons(const std::vector<Polygon>& polygons) {
    Bytes out;
    for (const Polygon& p : polygons) PutPolygon(out, p);
    return out;
}

Bytes Form(const std::vector<Chunk>& chunks) {
    Bytes body{'L', 'W', 'O', 'B'};
    for (const Chunk& chunk : chunks) {
        body.insert(body.end(), chunk.id.begin(), chunk.id.end());
        PutU32(body, static_cast<uint32_t>(chunk.data.size()));
        body.insert(body.end(), chunk.data.begin(), chunk.data.end());
        if (chunk.data.size() % 2 != 0) body.push_back(0);
    }
    Bytes out{'F', 'O', 'R', 'M'};
    PutU32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Object(const std::vector<Point>& points, const std::vector<Polygon>& polygons) {
    return Form({{"SRFS", SurfaceNames({"Default"})},
                 {"PNTS", Points(points)},
                 {"POLS", Polygons(polygons)}});
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

}  // namespace lwo
