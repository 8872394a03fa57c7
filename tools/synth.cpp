// The module's instruments, synthesised sample by sample. Pitched sounds
// are built from whole periods of 128 samples (or loops of whole cycles of
// every partial), so their loops join without a click.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "music.h"

namespace gen {

namespace {

constexpr double kMiddleC = 261.6255653005986;
constexpr int kPeriod = 128;
constexpr double kPitchedRate = kMiddleC * kPeriod;  // one period of 128 samples is middle C
constexpr double kDrumRate = 44100;
constexpr double kWideRate = 22050;  // long noisy sounds
constexpr double kTwoPi = 2 * kPi;

// Relative note and finetune that make note C-4 play the sample at `rate`.
void Tune(XmSample& s, double rate) {
    const double semis = 12 * std::log2(rate / 8363.0);
    int rel = int(std::lround(semis));
    int fine = int(std::lround((semis - rel) * 128));
    fine = std::clamp(fine, -128, 127);
    s.relativeNote = int8_t(rel);
    s.finetune = int8_t(fine);
}

std::vector<int16_t> ToPcm(const std::vector<double>& x, double peak = 0.95) {
    double m = 0;
    for (double v : x) m = std::max(m, std::fabs(v));
    if (m <= 0) throw std::runtime_error("silent instrument");
    std::vector<int16_t> out(x.size());
    for (size_t i = 0; i < x.size(); ++i) out[i] = int16_t(std::lround(x[i] / m * peak * 32767));
    return out;
}

// Short fade at the end of a one-shot sound so it never stops on a click.
void FadeTail(std::vector<double>& x, double rate, double seconds = 0.02) {
    const size_t n = std::min(x.size(), size_t(rate * seconds));
    for (size_t i = 0; i < n; ++i) x[x.size() - 1 - i] *= double(i) / n;
}

struct OnePole {
    double a, state = 0;
    OnePole(double cutoff, double rate) : a(1 - std::exp(-kTwoPi * cutoff / rate)) {}
    double low(double x) { return state += a * (x - state); }
    double high(double x) { return x - low(x); }
};

// Chamberlin state-variable filter, band-pass output.
struct StateVariable {
    double low = 0, band = 0;
    double step(double x, double cutoff, double rate, double damping) {
        const double f = 2 * std::sin(kPi * std::min(cutoff, rate / 6) / rate);
        low += f * band;
        const double high = x - low - damping * band;
        band += f * high;
        return band;
    }
};

// Six detuned square waves: the metallic part of hats and cymbals.
double Metal(double t, double scale) {
    static const double freqs[] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    double v = 0;
    for (double f : freqs) v += std::sin(kTwoPi * f * scale * t) >= 0 ? 1 : -1;
    return v / 6;
}

XmInstrument OneShot(const std::string& name, std::vector<double> x, double rate, uint8_t panning) {
    FadeTail(x, rate);
    XmInstrument ins;
    ins.name = name;
    ins.sample.name = name;
    ins.sample.data = ToPcm(x);
    ins.sample.panning = panning;
    Tune(ins.sample, rate);
    return ins;
}

XmInstrument Kick() {
    Random rng(0x6B1C);
    std::vector<double> x(size_t(0.42 * kDrumRate));
    double phase = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = i / kDrumRate;
        const double f = 46 + 120 * std::exp(-t / 0.03) + 60 * std::exp(-t / 0.005);
        phase += kTwoPi * f / kDrumRate;
        const double body = std::sin(phase) * std::exp(-t / 0.17) * std::min(1.0, t / 0.0008);
        const double click = rng.range(-1, 1) * std::exp(-t / 0.0015) * 0.35;
        x[i] = std::tanh(1.7 * (body + click));
    }
    return OneShot("kick", x, kDrumRate, 128);
}

XmInstrument Snare() {
    Random rng(0x5A4E);
    std::vector<double> x(size_t(0.32 * kDrumRate));
    OnePole hp(700, kDrumRate), lp(8000, kDrumRate);
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = i / kDrumRate;
        const double tone =
            0.6 * (std::sin(kTwoPi * 185 * t) + 0.5 * std::sin(kTwoPi * 330 * t)) * std::exp(-t / 0.045);
        const double noise = lp.low(hp.high(rng.range(-1, 1))) * std::exp(-t / 0.085) * 1.4;
        x[i] = std::tanh(1.3 * (tone + noise)) * std::min(1.0, t / 0.0005);
    }
    return OneShot("snare", x, kDrumRate, 124);
}

XmInstrument Hat(bool open) {
    Random rng(open ? 0x0FE7 : 0xC105);
    const double decay = open ? 0.13 : 0.016;
    std::vector<double> x(size_t((open ? 0.5 : 0.09) * kDrumRate));
    OnePole hp1(6500, kDrumRate), hp2(6500, kDrumRate);
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = i / kDrumRate;
        const double raw = 0.7 * rng.range(-1, 1) + 0.5 * Metal(t, 1.0);
        x[i] = hp2.high(hp1.high(raw)) * std::exp(-t / decay);
    }
    return OneShot(open ? "open hat" : "closed hat", x, kDrumRate, open ? 156 : 164);
}

XmInstrument Crash() {
    Random rng(0xC2A5);
    std::vector<double> x(size_t(1.9 * kWideRate));
    OnePole hp1(2500, kWideRate), hp2(2500, kWideRate), lp(9000, kWideRate);
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = i / kWideRate;
        const double raw = 0.8 * rng.range(-1, 1) + 0.35 * Metal(t, 2.1);
        x[i] = lp.low(hp2.high(hp1.high(raw))) * std::exp(-t / 0.55) * std::min(1.0, t / 0.002);
    }
    return OneShot("crash", x, kWideRate, 110);
}

XmInstrument Tom() {
    Random rng(0x7013);
    std::vector<double> x(size_t(0.5 * kDrumRate));
    double phase = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = i / kDrumRate;
        phase += kTwoPi * (92 + 75 * std::exp(-t / 0.05)) / kDrumRate;
        x[i] = std::tanh(
            1.4 * (std::sin(phase) * std::exp(-t / 0.2) + rng.range(-1, 1) * std::exp(-t / 0.01) * 0.3));
    }
    return OneShot("tom", x, kDrumRate, 140);
}

XmInstrument Riser() {
    Random rng(0x5EE9);
    const double seconds = 5.0;
    std::vector<double> x(size_t(seconds * kWideRate));
    StateVariable svf;
    double phase = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = i / kWideRate, u = t / seconds;
        const double cutoff = 180 * std::pow(2.0, u * 5.2);
        const double noise = svf.step(rng.range(-1, 1), cutoff, kWideRate, 0.35);
        phase += kTwoPi * (110 * std::pow(2.0, u * 3)) / kWideRate;
        x[i] = (noise * 0.9 + 0.25 * std::sin(phase)) * std::pow(u, 1.6);
    }
    return OneShot("riser", x, kWideRate, 128);
}

XmInstrument Looped(const std::string& name, const std::vector<double>& x, uint32_t loopStart,
                    uint8_t panning) {
    XmInstrument ins;
    ins.name = name;
    ins.sample.name = name;
    ins.sample.data = ToPcm(x, 0.9);
    ins.sample.loopStart = loopStart;
    ins.sample.loopLength = uint32_t(x.size()) - loopStart;
    ins.sample.panning = panning;
    Tune(ins.sample, kPitchedRate);
    return ins;
}

XmInstrument Bass() {
    // A plucked saw: the partials above a falling cut-off fade during the
    // first periods; the last four periods repeat unchanged.
    constexpr int attack = 24, loop = 4;
    const double cEnd = 3.4;
    std::vector<double> x(size_t(attack + loop) * kPeriod);
    for (size_t i = 0; i < x.size(); ++i) {
        const double k = double(i) / kPeriod;
        const double cut = k < attack ? cEnd + 18 * (std::exp(-k / 3.5) - std::exp(-attack / 3.5)) : cEnd;
        const double pos = double(i % kPeriod) / kPeriod;
        double v = 0;
        for (int h = 1; h <= 40; ++h) {
            const double amp = (h == 1 ? 1.4 : 1.0) / h / std::sqrt(1 + std::pow(h / cut, 4));
            v += amp * std::sin(kTwoPi * h * pos);
        }
        x[i] = v;
    }
    XmInstrument ins = Looped("bass", x, attack * kPeriod, 128);
    ins.volumeEnvelope.points = {{0, 64}, {6, 54}, {30, 46}};
    ins.volumeEnvelope.sustain = 2;
    ins.fadeout = 0x800;
    return ins;
}

// Sum of detuned saw voices over a loop of 128 periods: each voice makes a
// whole number of cycles, so the loop is seamless.
std::vector<double> Ensemble(const std::vector<std::pair<int, double>>& voices, int harmonics, double rolloff,
                             double (*shape)(int), uint64_t seed) {
    const size_t length = size_t(kPeriod) * 128;
    std::vector<double> x(length, 0.0);
    Random rng(seed);
    for (const auto& [cycles, gain] : voices) {
        const double phase = rng.range(0, kTwoPi);
        for (int h = 1; h <= harmonics; ++h) {
            const double amp = gain * shape(h) / (1 + (h / rolloff) * (h / rolloff));
            if (amp == 0) continue;
            const double w = kTwoPi * h * cycles / double(length);
            for (size_t i = 0; i < length; ++i) x[i] += amp * std::sin(w * i + h * phase);
        }
    }
    return x;
}

double SawShape(int h) { return 1.0 / h; }
double PulseShape(int h) { return std::sin(kPi * h * 0.32) / h; }
double GlassShape(int h) {
    static const double amps[] = {0, 1.0, 0.45, 0.22, 0.1};
    return h < 5 ? amps[h] : 0;
}

XmInstrument Pad() {
    const auto x = Ensemble({{127, 1.0}, {128, 0.9}, {129, 1.0}, {64, 0.45}}, 18, 7, SawShape, 0x9AD);
    XmInstrument ins = Looped("pad", x, 0, 128);
    ins.volumeEnvelope.points = {{0, 0}, {14, 40}, {36, 58}, {80, 50}};
    ins.volumeEnvelope.sustain = 3;
    ins.fadeout = 0x180;
    return ins;
}

XmInstrument Lead() {
    const auto x = Ensemble({{128, 1.0}, {129, 0.8}}, 20, 15, PulseShape, 0x1EAD);
    XmInstrument ins = Looped("lead", x, 0, 128);
    ins.volumeEnvelope.points = {{0, 50}, {3, 64}, {14, 54}, {90, 44}};
    ins.volumeEnvelope.sustain = 3;
    ins.fadeout = 0x500;
    ins.vibratoType = 0;
    ins.vibratoSweep = 40;
    ins.vibratoDepth = 3;
    ins.vibratoRate = 14;
    return ins;
}

XmInstrument Glass() {
    const auto x = Ensemble({{128, 1.0}, {129, 0.8}, {256, 0.3}}, 4, 100, GlassShape, 0x61A5);
    XmInstrument ins = Looped("glass", x, 0, 128);
    ins.volumeEnvelope.points = {{0, 0}, {6, 52}, {30, 64}, {120, 46}};
    ins.volumeEnvelope.sustain = 3;
    ins.fadeout = 0x200;
    return ins;
}

XmInstrument Bell() {
    // Two-operator FM: the brightness falls faster than the loudness.
    std::vector<double> x(size_t(1.8 * kPitchedRate));
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = i / kPitchedRate;
        const double carrier = kTwoPi * double(i) / kPeriod;
        const double index = 1.9 * std::exp(-t / 0.28) + 0.2;
        x[i] = std::sin(carrier + index * std::sin(3.5 * carrier)) * std::exp(-t / 0.5) *
               std::min(1.0, t / 0.002);
    }
    return OneShot("bell", x, kPitchedRate, 96);
}

}  // namespace

std::vector<XmInstrument> SynthesiseInstruments() {
    std::vector<XmInstrument> list = {Kick(), Snare(), Hat(false), Hat(true), Crash(), Tom(),
                                      Bass(), Pad(),   Lead(),     Bell(),    Riser(), Glass()};
    if (list.size() != kInstrumentCount) throw std::runtime_error("instrument table out of step");
    return list;
}

}  // namespace gen
