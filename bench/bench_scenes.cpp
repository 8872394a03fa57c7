// One frame of each scene at representative moments: the timeline step alone
// (the host's clear and present are not included), per frame.
#include <benchmark/benchmark.h>

#include <string>

#include "show_fixture.h"

namespace {

void RunMoment(benchmark::State& state, bench::Moment moment) {
    std::string error;
    bench::ShowState* show = bench::StateAt(moment, error);
    if (!show) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        show->Step(show->position, 0);
        benchmark::DoNotOptimize(show->target.data());
        benchmark::ClobberMemory();
    }
}

using bench::Moment;

// Scene 1 and 2: a full-screen picture.
BENCHMARK_CAPTURE(RunMoment, s1_title, Moment{1, 0, 10});
BENCHMARK_CAPTURE(RunMoment, s2_credits, Moment{2, 100, 10});
// Scene 3: the red trail far, middle and close (z = 600, 300, 50).
BENCHMARK_CAPTURE(RunMoment, s3_ball_far, Moment{3, 260, 10});
BENCHMARK_CAPTURE(RunMoment, s3_ball_mid, Moment{3, 260, 40});
BENCHMARK_CAPTURE(RunMoment, s3_ball_close, Moment{3, 260, 65});
// Scene 4: every window of the panel, the text and the box.
BENCHMARK_CAPTURE(RunMoment, s4_panel_rising_e200, Moment{4, 500, 200});
BENCHMARK_CAPTURE(RunMoment, s4_panel_turning_e600, Moment{4, 500, 600});
BENCHMARK_CAPTURE(RunMoment, s4_panel_e750, Moment{4, 500, 750});
BENCHMARK_CAPTURE(RunMoment, s4_panel_text_e2000, Moment{4, 500, 2000});
BENCHMARK_CAPTURE(RunMoment, s4_panel_text_e4500, Moment{4, 500, 4500});
BENCHMARK_CAPTURE(RunMoment, s4_panel_box_e5000, Moment{4, 500, 5000});
BENCHMARK_CAPTURE(RunMoment, s4_panel_box_band_e5700, Moment{4, 500, 5700});
BENCHMARK_CAPTURE(RunMoment, s4_leaving_e5950, Moment{4, 500, 5950});
BENCHMARK_CAPTURE(RunMoment, s4_box_e6030, Moment{4, 500, 6030});
BENCHMARK_CAPTURE(RunMoment, s4_box_band_e6500, Moment{4, 500, 6500});
BENCHMARK_CAPTURE(RunMoment, s4_black_e7350, Moment{4, 500, 7350});
// Scene 5: the globe coming closer, with the strip, and the climax.
BENCHMARK_CAPTURE(RunMoment, s5_globe_e100, Moment{5, 900, 100});
BENCHMARK_CAPTURE(RunMoment, s5_globe_e400, Moment{5, 900, 400});
BENCHMARK_CAPTURE(RunMoment, s5_globe_strip_e1500, Moment{5, 1000, 1500});
BENCHMARK_CAPTURE(RunMoment, s5_climax_start, Moment{5, 1000, 2170, 1055, 2});
BENCHMARK_CAPTURE(RunMoment, s5_climax_late, Moment{5, 1000, 2200, 1055, 32});
// Scene 6: the logo fan.
BENCHMARK_CAPTURE(RunMoment, s6_logo_e100, Moment{6, 1100, 100});
BENCHMARK_CAPTURE(RunMoment, s6_logo_e800, Moment{6, 1100, 800});

}  // namespace
