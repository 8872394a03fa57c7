#pragma once
// Writes LWOB object files for the tests, independently of the show's own
// data generator: quads, detail polygons, extra chunks and pad bytes.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace lwo {

using Bytes = std::vector<uint8_t>;

struct Point {
    float x = 0, y = 0, z = 0;
};

struct Polygon {
    Polygon(std::vector<uint16_t> vertices_, int16_t surface_ = 1, std::vector<Polygon> details_ = {})
        : vertices(std::move(vertices_)), surface(surface_), details(std::move(details_)) {}

    std::vector<uint16_t> vertices;
    int16_t surface;               // 1-based; written negated when details follow
    std::vector<Polygon> details;  // read past by readers
};

struct Chunk {
    std::string id;  // four characters
    Bytes data;
};

void PutU16(Bytes& out, uint16_t value);
void PutU32(Bytes& out, uint32_t value);
void PutF32(Bytes& out, float value);

Bytes SurfaceNames(const std::vector<std::string>& names);
Bytes Points(const std::vector<Point>& points);
Bytes Polygons(const std::vector<Polygon>& polygons);
// "FORM", the total length, "LWOB", then each chunk with its length and a pad
// byte after odd-sized data.
Bytes Form(const std::vector<Chunk>& chunks);
// A minimal file: SRFS with one name, PNTS, POLS.
Bytes Object(const std::vector<Point>& points, const std::vector<Polygon>& polygons);

bool WriteFile(const std::string& path, const Bytes& bytes);

}  // namespace lwo
