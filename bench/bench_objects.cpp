// The object renderers on the show's four objects, placed as their scenes
// show them, per call: the whole pipeline (matrices, transform, projection,
// normals, lighting, near cut, back faces) and the rasterizers.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "geometry/mapping.h"
#include "geometry/renderer.h"
#include "show_fixture.h"

namespace {

enum class Which { kPanel, kBall, kGlobe, kBox };

struct Placed {
    bench::ShowState show;
    PointLight light{{0, 0, 0}, 1.0, 1.0, 1.0};
    std::string error;

    // Placements from the scenes: the panel waving with the text (scene 4,
    // e = 2000), the ball halfway in (scene 3), the globe after its approach
    // (scene 5, e = 480) and the box spinning (scene 4, e = 5300).
    bool SetUp() {
        if (!show.SetUp()) {
            error = show.error;
            return false;
        }
        ShowObjects& o = show.objects;
        o.nrect.angles = {15, 15, 0};
        o.nrect.position = {0, 20, 130};
        show.timeline.scenes.wave.Apply(400.0);
        o.nball.position.z = 300;
        o.nball.nearZ = 12;
        MapTextureSpherical(o.nballx, show.pictures.zemlja, Vector3{0.0, 30.0, 0.0});
        o.nballx.position.z = 185;
        o.nballx.angles = {-45, 205, 0};
        o.nbox.position = {55, 0, 100};
        o.nbox.scale = {0.25, 0.25, 0.25};
        o.nbox.angles = {381, 381, 381};
        for (Object3D* object : {&o.nrect, &o.nball, &o.nballx, &o.nbox}) object->pixels = show.target.data();
        return true;
    }

    Object3D& Get(Which which) {
        switch (which) {
            case Which::kPanel: return show.objects.nrect;
            case Which::kBall: return show.objects.nball;
            case Which::kGlobe: return show.objects.nballx;
            case Which::kBox: break;
        }
        return show.objects.nbox;
    }
};

Placed* Shared(std::string& error) {
    static std::unique_ptr<Placed> placed;
    if (!placed) {
        auto made = std::make_unique<Placed>();
        if (!made->SetUp()) {
            error = made->error;
            return nullptr;
        }
        placed = std::move(made);
    }
    return placed.get();
}

void RunObject(benchmark::State& state, Which which, bool textured) {
    std::string error;
    Placed* placed = Shared(error);
    if (!placed) {
        state.SkipWithError(error.c_str());
        return;
    }
    Object3D& object = placed->Get(which);
    for (auto _ : state) {
        if (textured) {
            DrawObject(object, placed->light);
        } else {
            DrawObjectUntextured(object, placed->light);
        }
        benchmark::DoNotOptimize(placed->show.target.data());
        benchmark::ClobberMemory();
    }
    state.counters["faces"] = object.faceCount;
    state.counters["points"] = object.pointCount;
}

BENCHMARK_CAPTURE(RunObject, DrawObject_nrect, Which::kPanel, true);
BENCHMARK_CAPTURE(RunObject, DrawObject_nball, Which::kBall, true);
BENCHMARK_CAPTURE(RunObject, DrawObject_nballx, Which::kGlobe, true);
BENCHMARK_CAPTURE(RunObject, DrawObject_nbox, Which::kBox, true);
BENCHMARK_CAPTURE(RunObject, DrawObjectUntextured_nrect, Which::kPanel, false);
BENCHMARK_CAPTURE(RunObject, DrawObjectUntextured_nball, Which::kBall, false);
BENCHMARK_CAPTURE(RunObject, DrawObjectUntextured_nballx, Which::kGlobe, false);
BENCHMARK_CAPTURE(RunObject, DrawObjectUntextured_nbox, Which::kBox, false);

}  // namespace
