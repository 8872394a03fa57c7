// Rasterizer throughput in pixels per second on fixed triangle sets, with
// SDL2's software renderer drawing the same triangles for comparison.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "assets/image.h"
#include "geometry/object3d.h"
#include "raster/triangle.h"

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;
constexpr int32_t kTexture = 256;
constexpr uint32_t kUnwritten = 0xFFFFFFFFu;  // no mode produces it here

struct Corner {
    ScreenVertex vertex;
    VertexIntensity shade;
    TexCoord uv;
};

struct TriangleSet {
    std::vector<Corner> corners;  // three per triangle
};

enum class Set { kSmall, kMedium, kScreen, kClipped };

// The texture is laid over [-240, 600) x [-200, 520), wide enough for the
// clipped set, so every sampled position is inside it.
TexCoord MapTexture(double x, double y) { return {(x + 240) / 840 * (kTexture - 1), (y + 200) / 720 * (kTexture - 1)}; }

TriangleSet MakeSet(Set which) {
    std::mt19937 random(1234 + static_cast<int>(which));
    auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    TriangleSet set;
    auto add = [&](double x, double y) {
        Corner c;
        c.vertex = {x, y, uniform(1, 4)};
        c.shade = {uniform(0.2, 1), uniform(0.2, 1), uniform(0.2, 1)};
        c.uv = MapTexture(x, y);
        set.corners.push_back(c);
    };
    auto scattered = [&](int count, double size, double xLow, double xHigh, double yLow, double yHigh) {
        for (int i = 0; i < count; ++i) {
            const double x = uniform(xLow, xHigh), y = uniform(yLow, yHigh);
            add(x, y);
            add(x + uniform(0.5, 1) * size, y + uniform(-0.3, 0.3) * size);
            add(x + uniform(-0.3, 0.3) * size, y + uniform(0.5, 1) * size);
        }
    };
    switch (which) {
        case Set::kSmall: scattered(4000, 12, 0, kWidth - 12, 0, kHeight - 12); break;
        case Set::kMedium: scattered(400, 80, 0, kWidth - 80, 0, kHeight - 80); break;
        case Set::kScreen:
            add(0, 0), add(319, 0), add(319, 239);
            add(0, 0), add(319, 239), add(0, 239);
            break;
        case Set::kClipped: scattered(200, 260, -160, kWidth, -120, kHeight); break;
    }
    return set;
}

struct Scene {
    std::vector<uint32_t> target = std::vector<uint32_t>(kWidth * kHeight, kUnwritten);
    std::vector<uint32_t> texels = std::vector<uint32_t>(kTexture * kTexture);
    Image texture;
    TriangleSet set;

    explicit Scene(Set which) : set(MakeSet(which)) {
        for (int i = 0; i < kTexture * kTexture; ++i) texels[i] = static_cast<uint32_t>(i) * 2654435761u & 0xFFFFFFu;
        texture.pixels = texels.data();
        texture.width = kTexture;
        texture.height = kTexture;
        texture.pixelCount = kTexture * kTexture;
    }

    void Draw(void (*draw)(TriangleRequest&), size_t triangle) {
        TriangleRequest request;
        for (int k = 0; k < 3; ++k) {
            Corner& c = set.corners[triangle * 3 + k];
            request.vertex[k] = &c.vertex;
            request.shade[k] = &c.shade;
            request.uv[k] = &c.uv;
        }
        request.colour = 0xFFE0C0;
        request.texture = &texture;
        request.pixels = target.data();
        request.width = kWidth;
        request.height = kHeight;
        draw(request);
    }

    size_t Triangles() const { return set.corners.size() / 3; }

    // The pixels one pass over the set writes, counted triangle by triangle.
    int64_t CountPixels(void (*draw)(TriangleRequest&)) {
        int64_t total = 0;
        for (size_t t = 0; t < Triangles(); ++t) {
            std::fill(target.begin(), target.end(), kUnwritten);
            Draw(draw, t);
            total += std::count_if(target.begin(), target.end(), [](uint32_t p) { return p != kUnwritten; });
        }
        return total;
    }
};

void RunMode(benchmark::State& state, void (*draw)(TriangleRequest&), Set which) {
    Scene scene(which);
    const int64_t pixels = scene.CountPixels(draw);
    for (auto _ : state) {
        for (size_t t = 0; t < scene.Triangles(); ++t) scene.Draw(draw, t);
        benchmark::DoNotOptimize(scene.target.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pixels);
    state.counters["Mpixel"] =
        benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["pixels/pass"] = static_cast<double>(pixels);
}

// SDL2's software renderer on the same triangles: Gouraud colours for mode
// 1, a colour-modulated affine texture for mode 4 (the closest it has). Its
// rate counts the pixels it writes itself, triangle by triangle; coverage
// rules differ from ours by at most the edge pixels.
void RunSdl(benchmark::State& state, bool textured, Set which) {
    Scene scene(which);
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(scene.target.data(), kWidth, kHeight, 32, kWidth * 4,
                                                              SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* renderer = surface ? SDL_CreateSoftwareRenderer(surface) : nullptr;
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(scene.texels.data(), kTexture, kTexture, 32,
                                                              kTexture * 4, SDL_PIXELFORMAT_ARGB8888);
    SDL_Texture* texture = renderer && picture ? SDL_CreateTextureFromSurface(renderer, picture) : nullptr;
    if (renderer == nullptr || texture == nullptr) {
        state.SkipWithError(SDL_GetError());
    } else {
        std::vector<SDL_Vertex> vertices;
        for (const Corner& c : scene.set.corners) {
            SDL_Vertex v;
            v.position = {static_cast<float>(c.vertex.x), static_cast<float>(c.vertex.y)};
            v.color = {static_cast<Uint8>(c.shade.red * 255), static_cast<Uint8>(c.shade.green * 224),
                       static_cast<Uint8>(c.shade.blue * 192), 255};
            v.tex_coord = {static_cast<float>(c.uv.u / kTexture), static_cast<float>(c.uv.v / kTexture)};
            vertices.push_back(v);
        }
        SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
        // Written pixels get alpha 255 (Gouraud) or the texels' 0, and no
        // colour here is white, so none can equal kUnwritten.
        int64_t pixels = 0;
        for (size_t t = 0; t < scene.Triangles(); ++t) {
            std::fill(scene.target.begin(), scene.target.end(), kUnwritten);
            SDL_RenderGeometry(renderer, textured ? texture : nullptr, vertices.data() + 3 * t, 3, nullptr, 0);
            SDL_RenderFlush(renderer);
            pixels += std::count_if(scene.target.begin(), scene.target.end(),
                                    [](uint32_t p) { return p != kUnwritten; });
        }
        for (auto _ : state) {
            if (SDL_RenderGeometry(renderer, textured ? texture : nullptr, vertices.data(),
                                   static_cast<int>(vertices.size()), nullptr, 0) != 0 ||
                SDL_RenderFlush(renderer) != 0) {
                state.SkipWithError(SDL_GetError());
                break;
            }
            benchmark::DoNotOptimize(scene.target.data());
        }
        state.SetItemsProcessed(state.iterations() * pixels);
        state.counters["Mpixel"] =
            benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
        state.counters["pixels/pass"] = static_cast<double>(pixels);
    }
    if (texture) SDL_DestroyTexture(texture);
    if (picture) SDL_FreeSurface(picture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (surface) SDL_FreeSurface(surface);
}

void BM_RasterMode1(benchmark::State& state, Set which) { RunMode(state, DrawTriangleMode1, which); }
void BM_RasterMode4(benchmark::State& state, Set which) { RunMode(state, DrawTriangleMode4, which); }
void BM_RasterMode5(benchmark::State& state, Set which) { RunMode(state, DrawTriangleMode5, which); }
void BM_RasterSdlGouraud(benchmark::State& state, Set which) { RunSdl(state, false, which); }
void BM_RasterSdlTextured(benchmark::State& state, Set which) { RunSdl(state, true, which); }

#define RASTER_BENCH(NAME)                                    \
    BENCHMARK_CAPTURE(NAME, small, Set::kSmall);              \
    BENCHMARK_CAPTURE(NAME, medium, Set::kMedium);            \
    BENCHMARK_CAPTURE(NAME, screen, Set::kScreen);            \
    BENCHMARK_CAPTURE(NAME, clipped, Set::kClipped)

RASTER_BENCH(BM_RasterMode1);
RASTER_BENCH(BM_RasterMode4);
RASTER_BENCH(BM_RasterMode5);
RASTER_BENCH(BM_RasterSdlGouraud);
RASTER_BENCH(BM_RasterSdlTextured);

}  // namespace
