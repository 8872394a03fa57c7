// Reading LWOB object files into Object3D records.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "assets/objects.h"

namespace {

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& reason) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        reason = "can't open the file";
        return false;
    }
    // Read to the end rather than trusting a size query, which means nothing
    // for directories and special files.
    uint8_t block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        bytes.insert(bytes.end(), block, block + got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        reason = "can't read the file";
        return false;
    }
    return true;
}

uint16_t ReadU16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

int16_t ReadI16(const uint8_t* p) {
    return static_cast<int16_t>(ReadU16(p));
}

uint32_t ReadU32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

float ReadF32(const uint8_t* p) {
    const uint32_t bits = ReadU32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A parse over the file held in memory; every read is checked against its end.
struct ChunkReader {
    const std::vector<uint8_t>& bytes;
    size_t pos = 0;
    std::string reason;

    // Moves just past the first occurrence of `id` at or after the current
    // position (identifiers are found by their bytes, not by walking the
    // chunk list), then reads the chunk length; the data must fit the file.
    bool OpenChunk(const char* id, uint32_t& length) {
        const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(pos);
        const auto found = std::search(from, bytes.end(), id, id + 4);
        if (found == bytes.end()) {
            reason = std::string("no ") + id + " chunk";
            return false;
        }
        pos = static_cast<size_t>(found - bytes.begin()) + 4;
        if (bytes.size() - pos < 4) {
            reason = std::string("chunk ") + id + " runs past the end of the file";
            return false;
        }
        length = ReadU32(&bytes[pos]);
        pos += 4;
        if (length > bytes.size() - pos) {
            reason = std::string("chunk ") + id + " runs past the end of the file";
            return false;
        }
        return true;
    }
};

// Reads the polygons of a POLS chunk. A polygon with more than three corners
// becomes a fan around its corner 0; points and lines give no faces; detail
// polygons are read past. A polygon cut short by the chunk end is ignored,
// like the remainder of a point list.
bool ReadPolygons(const uint8_t* data, size_t length, int32_t pointCount, std::vector<Face>& faces,
                  std::string& reason) {
    size_t at = 0;
    int64_t detailPending = 0;
    while (length - at >= 2) {
        const uint16_t corners = ReadU16(data + at);
        const size_t need = 2 + 2 * size_t{corners} + 2;
        if (length - at < need) break;
        const uint8_t* indices = data + at + 2;
        for (uint16_t k = 0; k < corners; ++k) {
            const int32_t index = ReadI16(indices + 2 * k);
            if (index < 0 || index >= pointCount) {
                reason = "vertex index " + std::to_string(index) + " is outside the " +
                         std::to_string(pointCount) + " points";
                return false;
            }
        }
        const int16_t surface = ReadI16(indices + 2 * size_t{corners});
        at += need;

        const bool isDetail = detailPending > 0;
        if (isDetail) --detailPending;
        if (surface < 0) {
            if (length - at < 2) break;
            const int16_t details = ReadI16(data + at);
            at += 2;
            if (details < 0) {
                reason = "negative detail polygon count";
                return false;
            }
            detailPending += details;
        }
        if (isDetail || corners < 3) continue;

        for (uint16_t k = 1; k + 1 < corners; ++k) {
            Face face;
            face.index[0] = ReadI16(indices);
            face.index[1] = ReadI16(indices + 2 * k);
            face.index[2] = ReadI16(indices + 2 * (k + 1));
            face.colour = 0xFFFFFF;
            faces.push_back(face);
        }
    }
    return true;
}

}  // namespace

bool LoadLightWaveObject(Object3D& object, const std::string& path, std::string* error) {
    std::string reason;
    std::vector<uint8_t> bytes;
    auto fail = [&](const std::string& why) {
        if (error != nullptr) *error = path + ": " + why;
        return false;
    };
    if (!ReadWholeFile(path, bytes, reason)) return fail(reason);

    ChunkReader reader{bytes, 0, {}};
    uint32_t length = 0;

    // Surface names play no part; only their chunk is passed over.
    if (!reader.OpenChunk("SRFS", length)) return fail(reader.reason);
    reader.pos += length;

    if (!reader.OpenChunk("PNTS", length)) return fail(reader.reason);
    const int32_t pointCount = static_cast<int32_t>(length / 12);
    std::vector<Vector3> points(static_cast<size_t>(pointCount));
    for (int32_t i = 0; i < pointCount; ++i) {
        const uint8_t* p = bytes.data() + reader.pos;
        Vector3& point = points[static_cast<size_t>(i)];
        point.x = static_cast<double>(ReadF32(p)) * 100.0;
        point.y = static_cast<double>(ReadF32(p + 4)) * 100.0;
        point.z = static_cast<double>(ReadF32(p + 8)) * 100.0;
        // NaN or infinite coordinates would poison every later step.
        if (!std::isfinite(point.x) || !std::isfinite(point.y) || !std::isfinite(point.z)) {
            return fail("point " + std::to_string(i) + " is not a finite number");
        }
        reader.pos += 12;
    }

    // The polygon search starts where the last point ended.
    if (!reader.OpenChunk("POLS", length)) return fail(reader.reason);
    std::vector<Face> faces;
    if (!ReadPolygons(bytes.data() + reader.pos, length, pointCount, faces, reason)) return fail(reason);

    // Everything checked: only now is the object changed.
    object.pointCount = pointCount;
    object.faceCount = static_cast<int32_t>(faces.size());
    object.modelPointStore = std::move(points);
    object.modelPoints = object.modelPointStore.data();
    object.cameraPoints.assign(static_cast<size_t>(pointCount), Vector3{});
    object.screenPoints.assign(static_cast<size_t>(pointCount), ScreenVertex{});
    object.normals.assign(static_cast<size_t>(pointCount), Vector3{});
    object.intensities.assign(static_cast<size_t>(pointCount), VertexIntensity{});
    object.faces = std::move(faces);
    object.faceTextures.clear();
    object.position = Vector3{0, 0, 0};
    object.angles = Vector3{0, 0, 0};
    object.scale = Vector3{1, 1, 1};
    object.nearZ = 0.5;
    return true;
}

void MeasureObject(Object3D& object) {
    object.size = Vector3{0, 0, 0};
    for (int32_t i = 0; i < object.pointCount; ++i) {
        const Vector3& p = object.modelPoints[i];
        if (std::fabs(p.x) > object.size.x) object.size.x = std::fabs(p.x);
        if (std::fabs(p.y) > object.size.y) object.size.y = std::fabs(p.y);
        if (std::fabs(p.z) > object.size.z) object.size.z = std::fabs(p.z);
    }
    object.size.x *= 2;
    object.size.y *= 2;
    object.size.z *= 2;
}
