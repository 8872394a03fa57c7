// The program's desktop icon: the closing logo's hexagon ring with its six
// shaded balls, on a rounded tile of the logo's rays. A 128 x 128 RGBA PNG,
// written here without a library (stored deflate blocks: the file is small
// and the bytes are the same on every run).
#include <array>
#include <cmath>
#include <cstddef>

#include "generator.h"
#include "paint.h"

namespace gen {

namespace {

constexpr int kSize = 128;

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void PutChunk(Bytes& out, const char* type, const Bytes& data) {
    PutBE32(out, static_cast<uint32_t>(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    PutBE32(out, Crc32(body.data(), body.size()));
}

// A zlib stream of stored (uncompressed) deflate blocks.
Bytes Stored(const Bytes& data) {
    Bytes out = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(65535, data.size() - at);
        out.push_back(at + n == data.size() ? 1 : 0);
        PutLE16(out, static_cast<uint16_t>(n));
        PutLE16(out, static_cast<uint16_t>(~n));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    } while (at < data.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBE32(out, b << 16 | a);
    return out;
}

Bytes Png(const Canvas& canvas, const std::vector<double>& alpha) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    PutBE32(header, static_cast<uint32_t>(canvas.width));
    PutBE32(header, static_cast<uint32_t>(canvas.height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, no interlace
    PutChunk(out, "IHDR", header);
    Bytes rows;
    for (int y = 0; y < canvas.height; ++y) {
        rows.push_back(0);  // no filter
        for (int x = 0; x < canvas.width; ++x) {
            const Rgb& p = canvas.at(x, y);
            rows.insert(rows.end(), {ToByte(p.r), ToByte(p.g), ToByte(p.b),
                                     ToByte(255 * alpha[static_cast<size_t>(y) * canvas.width + x])});
        }
    }
    PutChunk(out, "IDAT", Stored(rows));
    PutChunk(out, "IEND", {});
    return out;
}

double SdRoundedBox(double x, double y, double c, double half, double radius) {
    return SdBox(x, y, c, c, half - radius, half - radius) - radius;
}

}  // namespace

Bytes MakeIcon() {
    constexpr double c = kSize / 2.0;
    Canvas canvas(kSize, kSize);
    // The logo's rays, brighter toward the middle.
    PaintSupersampled(canvas, 3, [&](double x, double y) {
        const double a = std::atan2(y - c, x - c);
        const double r = std::hypot(x - c, y - c);
        const double ray = SmoothStep(-0.15, 0.15, std::cos(a * 12));
        const Rgb c0 = Mix(Rgb{255, 255, 255}, Rgb{255, 214, 110}, SmoothStep(10, 80, r));
        const Rgb c1 = Mix(Rgb{235, 250, 255}, Rgb{110, 205, 255}, SmoothStep(10, 80, r));
        return Mix(c0, c1, ray);
    });
    // The ring: a dark outline, then the blue-to-violet band.
    constexpr double ringRadius = 40;
    const auto ring = [&](double x, double y) { return std::fabs(SdHexagon(x, y, c, c, ringRadius)) - 4.5; };
    FillShape(canvas, 0, 0, kSize - 1, kSize - 1, [&](double x, double y) { return ring(x, y) - 1.8; },
              [](double, double) { return Rgb{12, 10, 40}; });
    FillShape(canvas, 0, 0, kSize - 1, kSize - 1, ring, [&](double, double y) {
        return Mix(Rgb{60, 200, 255}, Rgb{150, 60, 255}, (y - c + ringRadius) / (2 * ringRadius));
    });
    // Six balls at the corners, lit from the top left.
    for (int k = 0; k < 6; ++k) {
        const double a = (k * 60 - 90) / 180.0 * kPi;
        const double vx = c + ringRadius * std::cos(a), vy = c + ringRadius * std::sin(a);
        FillShape(canvas, vx - 12, vy - 12, vx + 12, vy + 12,
                  [&](double x, double y) { return SdCircle(x, y, vx, vy, 10); },
                  [](double, double) { return Rgb{12, 10, 40}; });
        FillShape(
            canvas, vx - 12, vy - 12, vx + 12, vy + 12, [&](double x, double y) { return SdCircle(x, y, vx, vy, 8); },
            [&](double x, double y) {
                const double l = Clamp(1 - std::hypot(x - vx + 2.5, y - vy + 2.5) / 10, 0, 1);
                return Mix(Rgb{230, 30, 140}, Rgb{255, 220, 245}, l * l);
            });
    }
    // A dark rim on the tile; outside it, transparent.
    constexpr double half = kSize / 2.0 - 2, radius = 22;
    FillShape(canvas, 0, 0, kSize - 1, kSize - 1,
              [&](double x, double y) { return std::fabs(SdRoundedBox(x, y, c, half, radius) + 1.5) - 1.5; },
              [](double, double) { return Rgb{12, 10, 40}; });
    std::vector<double> alpha(static_cast<size_t>(kSize) * kSize);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            alpha[static_cast<size_t>(y) * kSize + x] = Clamp(0.5 - SdRoundedBox(x + 0.5, y + 0.5, c, half, radius), 0, 1);
        }
    }
    return Png(canvas, alpha);
}

}  // namespace gen
