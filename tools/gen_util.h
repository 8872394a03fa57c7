#pragma once
// Small helpers shared by the data generator: a float RGB canvas, a seeded
// random source, lattice noise and byte writers. Everything here is
// deterministic: the same inputs give the same bytes on every run.
#include <cstdint>
#include <string>
#include <vector>

namespace gen {

using Bytes = std::vector<uint8_t>;

struct Rgb {
    double r = 0, g = 0, b = 0;
};

inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator-(Rgb a, Rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Rgb operator*(Rgb a, double k) { return {a.r * k, a.g * k, a.b * k}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
inline Rgb Mix(Rgb a, Rgb b, double t) { return a + (b - a) * t; }
// Colour from 0..255 components.
inline Rgb Hex(uint32_t rgb) {
    return {double((rgb >> 16) & 255), double((rgb >> 8) & 255), double(rgb & 255)};
}

// Components are 0..255 (values outside are clamped on output).
struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    Canvas(int w, int h, Rgb fill = {}) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    Rgb& at(int x, int y) { return pixels[size_t(y) * width + x]; }
    const Rgb& at(int x, int y) const { return pixels[size_t(y) * width + x]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // Alpha-composites colour c with coverage a (0..1) over the pixel.
    void blend(int x, int y, Rgb c, double a) {
        if (!inside(x, y) || a <= 0) return;
        Rgb& p = at(x, y);
        p = Mix(p, c, a > 1 ? 1 : a);
    }
};

// Headerless 24-bit r, g, b bytes, components rounded and clamped.
Bytes CanvasToRaw(const Canvas& canvas);
uint8_t ToByte(double v);

// SplitMix64: a tiny seeded generator, so every run makes the same data.
struct Random {
    uint64_t state;
    explicit Random(uint64_t seed) : state(seed) {}
    uint64_t next();
    double uniform();                    // [0, 1)
    double range(double lo, double hi);  // [lo, hi)
    int below(int n);                    // 0 .. n-1
};

// Integer hash of lattice coordinates to [0, 1).
double Hash3(int x, int y, int z, uint32_t seed);
// Smooth value noise in [0, 1] and its fractal sum (normalised to [0, 1]).
double ValueNoise3(double x, double y, double z, uint32_t seed);
double Fbm3(double x, double y, double z, int octaves, double lacunarity, double gain, uint32_t seed);
double ValueNoise2(double x, double y, uint32_t seed);
double Fbm2(double x, double y, int octaves, uint32_t seed);

double Clamp(double v, double lo, double hi);
double SmoothStep(double e0, double e1, double x);
constexpr double kPi = 3.141592653589793;

// Byte writers for the two endiannesses the file formats use.
void PutBE16(Bytes& out, uint16_t v);
void PutBE32(Bytes& out, uint32_t v);
void PutBEFloat(Bytes& out, float v);
void PutLE16(Bytes& out, uint16_t v);
void PutLE32(Bytes& out, uint32_t v);
void PutText(Bytes& out, const std::string& text, size_t fieldSize);  // zero-padded

}  // namespace gen
