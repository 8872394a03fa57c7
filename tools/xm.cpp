#include "xm.h"

#include <stdexcept>

namespace gen {

namespace {

constexpr uint32_t kInstrumentHeaderSize = 263;  // what trackers write
constexpr uint32_t kSampleHeaderSize = 40;

void Require(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error("module: " + what);
}

Bytes PackPattern(const XmPattern& pattern, int channels) {
    Bytes out;
    for (const XmCell& c : pattern.cells) {
        uint8_t mask = 0x80;
        if (c.note) mask |= 0x01;
        if (c.instrument) mask |= 0x02;
        if (c.volume) mask |= 0x04;
        if (c.effect) mask |= 0x08;
        if (c.param) mask |= 0x10;
        out.push_back(mask);
        if (c.note) out.push_back(c.note);
        if (c.instrument) out.push_back(c.instrument);
        if (c.volume) out.push_back(c.volume);
        if (c.effect) out.push_back(c.effect);
        if (c.param) out.push_back(c.param);
    }
    Require(pattern.cells.size() == size_t(pattern.rows) * channels, "pattern size does not match its rows");
    return out;
}

void PutEnvelope(Bytes& out, const XmEnvelope& env) {
    for (size_t i = 0; i < 12; ++i) {
        PutLE16(out, i < env.points.size() ? env.points[i].first : 0);
        PutLE16(out, i < env.points.size() ? env.points[i].second : 0);
    }
}

}  // namespace

Bytes WriteXm(const XmModule& m) {
    Require(m.channels >= 1 && m.channels <= 32, "channel count out of range");
    Require(!m.patterns.empty() && m.patterns.size() <= 256, "pattern count out of range");
    Require(!m.orders.empty() && m.orders.size() <= 256, "order count out of range");
    Require(m.instruments.size() <= 128, "too many instruments");
    Require(m.speed >= 1 && m.speed <= 31 && m.bpm >= 32 && m.bpm <= 255, "speed or tempo out of range");
    for (uint8_t o : m.orders) Require(o < m.patterns.size(), "order refers to a missing pattern");

    Bytes out;
    PutText(out, "Extended Module: ", 17);
    PutText(out, m.name, 20);
    out.push_back(0x1A);
    PutText(out, m.tracker, 20);
    PutLE16(out, 0x0104);
    PutLE32(out, 276);
    PutLE16(out, uint16_t(m.orders.size()));
    PutLE16(out, uint16_t(m.restart));
    PutLE16(out, uint16_t(m.channels));
    PutLE16(out, uint16_t(m.patterns.size()));
    PutLE16(out, uint16_t(m.instruments.size()));
    PutLE16(out, 1);  // linear frequency table
    PutLE16(out, uint16_t(m.speed));
    PutLE16(out, uint16_t(m.bpm));
    for (size_t i = 0; i < 256; ++i) out.push_back(i < m.orders.size() ? m.orders[i] : 0);

    for (const XmPattern& p : m.patterns) {
        Require(p.rows >= 1 && p.rows <= 256, "pattern row count out of range");
        const Bytes packed = PackPattern(p, m.channels);
        Require(packed.size() <= 0xFFFF, "pattern too large");
        PutLE32(out, 9);
        out.push_back(0);
        PutLE16(out, uint16_t(p.rows));
        PutLE16(out, uint16_t(packed.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }

    for (const XmInstrument& ins : m.instruments) {
        const XmSample& s = ins.sample;
        Require(ins.volumeEnvelope.points.size() <= 12, "envelope has too many points");
        Require(!s.data.empty(), "instrument without sample data");
        Require(s.loopLength == 0 || s.loopStart + s.loopLength <= s.data.size(), "loop past the sample end");
        const size_t start = out.size();
        PutLE32(out, kInstrumentHeaderSize);
        PutText(out, ins.name, 22);
        out.push_back(0);
        PutLE16(out, 1);
        PutLE32(out, kSampleHeaderSize);
        for (int i = 0; i < 96; ++i) out.push_back(0);  // every note plays sample 0
        const XmEnvelope& env = ins.volumeEnvelope;
        PutEnvelope(out, env);
        PutEnvelope(out, XmEnvelope{});
        out.push_back(uint8_t(env.points.size()));
        out.push_back(0);
        out.push_back(uint8_t(env.sustain < 0 ? 0 : env.sustain));
        out.push_back(0);  // volume loop start
        out.push_back(0);  // volume loop end
        out.push_back(0);  // panning sustain, loop start, loop end
        out.push_back(0);
        out.push_back(0);
        uint8_t volumeType = 0;
        if (!env.points.empty()) volumeType |= 1;
        if (!env.points.empty() && env.sustain >= 0) volumeType |= 2;
        out.push_back(volumeType);
        out.push_back(0);  // panning envelope off
        out.push_back(ins.vibratoType);
        out.push_back(ins.vibratoSweep);
        out.push_back(ins.vibratoDepth);
        out.push_back(ins.vibratoRate);
        PutLE16(out, ins.fadeout);
        while (out.size() - start < kInstrumentHeaderSize) out.push_back(0);

        // Sample header; lengths and loop points are in bytes.
        PutLE32(out, uint32_t(s.data.size() * 2));
        PutLE32(out, s.loopStart * 2);
        PutLE32(out, s.loopLength * 2);
        out.push_back(s.volume);
        out.push_back(uint8_t(s.finetune));
        out.push_back(uint8_t(0x10 | (s.loopLength ? 1 : 0)));
        out.push_back(s.panning);
        out.push_back(uint8_t(s.relativeNote));
        out.push_back(0);
        PutText(out, s.name, 22);
        int16_t old = 0;
        for (int16_t v : s.data) {
            PutLE16(out, uint16_t(int16_t(v - old)));
            old = v;
        }
    }
    return out;
}

}  // namespace gen
