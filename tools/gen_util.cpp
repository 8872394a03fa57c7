#include "gen_util.h"

#include <cmath>
#include <cstring>

namespace gen {

uint8_t ToByte(double v) {
    if (!(v > 0)) return 0;
    if (v >= 255) return 255;
    return uint8_t(std::lround(v));
}

Bytes CanvasToRaw(const Canvas& canvas) {
    Bytes out;
    out.reserve(canvas.pixels.size() * 3);
    for (const Rgb& p : canvas.pixels) {
        out.push_back(ToByte(p.r));
        out.push_back(ToByte(p.g));
        out.push_back(ToByte(p.b));
    }
    return out;
}

uint64_t Random::next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Random::uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

double Random::range(double lo, double hi) { return lo + (hi - lo) * uniform(); }

int Random::below(int n) { return n <= 0 ? 0 : int(next() % uint64_t(n)); }

double Hash3(int x, int y, int z, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B1u;
    h ^= uint32_t(x) * 0x85EBCA77u;
    h = (h << 13) | (h >> 19);
    h ^= uint32_t(y) * 0xC2B2AE3Du;
    h = (h << 17) | (h >> 15);
    h ^= uint32_t(z) * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return double(h) / 4294967296.0;
}

static double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

double ValueNoise3(double x, double y, double z, uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    const int ix = int(fx), iy = int(fy), iz = int(fz);
    const double tx = Fade(x - fx), ty = Fade(y - fy), tz = Fade(z - fz);
    double c[2][2][2];
    for (int dz = 0; dz < 2; ++dz)
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx) c[dz][dy][dx] = Hash3(ix + dx, iy + dy, iz + dz, seed);
    auto lerp = [](double a, double b, double t) { return a + (b - a) * t; };
    const double y0 = lerp(lerp(c[0][0][0], c[0][0][1], tx), lerp(c[0][1][0], c[0][1][1], tx), ty);
    const double y1 = lerp(lerp(c[1][0][0], c[1][0][1], tx), lerp(c[1][1][0], c[1][1][1], tx), ty);
    return lerp(y0, y1, tz);
}

double Fbm3(double x, double y, double z, int octaves, double lacunarity, double gain, uint32_t seed) {
    double sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * ValueNoise3(x, y, z, seed + uint32_t(o) * 101u);
        norm += amp;
        amp *= gain;
        x *= lacunarity;
        y *= lacunarity;
        z *= lacunarity;
    }
    return sum / norm;
}

double ValueNoise2(double x, double y, uint32_t seed) { return ValueNoise3(x, y, 0.5, seed); }

double Fbm2(double x, double y, int octaves, uint32_t seed) {
    return Fbm3(x, y, 0.5, octaves, 2.0, 0.5, seed);
}

double Clamp(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

double SmoothStep(double e0, double e1, double x) {
    const double t = Clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

void PutBE16(Bytes& out, uint16_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void PutBE32(Bytes& out, uint32_t v) {
    PutBE16(out, uint16_t(v >> 16));
    PutBE16(out, uint16_t(v));
}

void PutBEFloat(Bytes& out, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    PutBE32(out, bits);
}

void PutLE16(Bytes& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void PutLE32(Bytes& out, uint32_t v) {
    PutLE16(out, uint16_t(v));
    PutLE16(out, uint16_t(v >> 16));
}

void PutText(Bytes& out, const std::string& text, size_t fieldSize) {
    for (size_t i = 0; i < fieldSize; ++i) out.push_back(i < text.size() ? uint8_t(text[i]) : 0);
}

}  // namespace gen
