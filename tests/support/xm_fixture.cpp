#include "support/xm_fixture.h"

#include <algorithm>
#include <cstdio>

namespace {

struct ByteWriter {
    std::vector<uint8_t> bytes;

    void U8(uint32_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void U16(uint32_t v) {
        U8(v & 0xFF);
        U8((v >> 8) & 0xFF);
    }
    void U32(uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Text(const std::string& text, size_t width) {
        for (size_t i = 0; i < width; ++i) U8(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
    }
    void Zeros(size_t count) { bytes.insert(bytes.end(), count, 0); }
    void PadTo(size_t start, size_t size) {
        if (bytes.size() < start + size) Zeros(start + size - bytes.size());
    }
};

constexpr uint32_t kInstrumentHeaderSize = 263;
constexpr uint32_t kSampleHeaderSize = 40;
constexpr int kSampleLength = 256;
constexpr int kSquarePeriod = 32;

void WriteCell(ByteWriter& out, const XmCell& cell) {
    uint8_t mask = 0x80;
    if (cell.note) mask |= 0x01;
    if (cell.instrument) mask |= 0x02;
    if (cell.volume) mask |= 0x04;
    if (cell.effect) mask |= 0x08;
    if (cell.param) mask |= 0x10;
    out.U8(mask);
    if (cell.note) out.U8(cell.note);
    if (cell.instrument) out.U8(cell.instrument);
    if (cell.volume) out.U8(cell.volume);
    if (cell.effect) out.U8(cell.effect);
    if (cell.param) out.U8(cell.param);
}

void WritePattern(ByteWriter& out, const XmPattern& pattern, uint16_t channels) {
    ByteWriter packed;
    const size_t cellCount = static_cast<size_t>(pattern.rows) * channels;
    for (size_t i = 0; i < cellCount; ++i)
        WriteCell(packed, i < pattern.cells.size() ? pattern.cells[i] : XmCell{});
    out.U32(9);
    out.U8(0);
    out.U16(pattern.rows);
    out.U16(static_cast<uint32_t>(packed.bytes.size()));
    out.bytes.insert(out.bytes.end(), packed.bytes.begin(), packed.bytes.end());
}

void WriteSquareInstrument(ByteWriter& out) {
    const size_t start = out.bytes.size();
    out.U32(kInstrumentHeaderSize);
    out.Text("square", 22);
    out.U8(0);
    out.U16(1);
    out.U32(kSampleHeaderSize);
    out.Zeros(96);  // every note plays sample 0
    // Volume envelope off; a flat point pair keeps trackers happy.
    out.U16(0);
    out.U16(64);
    out.U16(1);
    out.U16(64);
    out.Zeros(40);
    out.Zeros(48);  // panning envelope
    out.U8(2);      // volume points
    out.U8(0);      // panning points
    out.Zeros(6);   // sustain / loop points
    out.U8(0);      // volume envelope type
    out.U8(0);      // panning envelope type
    out.Zeros(4);   // vibrato
    out.U16(0);     // fadeout
    out.PadTo(start, kInstrumentHeaderSize);

    out.U32(kSampleLength);
    out.U32(0);
    out.U32(kSampleLength);
    out.U8(48);    // volume
    out.U8(0);     // finetune
    out.U8(1);     // forward loop, 8-bit
    out.U8(128);   // panning
    out.U8(0);     // relative note
    out.U8(0);
    out.Text("square", 22);

    int8_t previous = 0;
    for (int i = 0; i < kSampleLength; ++i) {
        const int8_t value = (i % kSquarePeriod) < kSquarePeriod / 2 ? 40 : -40;
        out.U8(static_cast<uint8_t>(value - previous));
        previous = value;
    }
}

}  // namespace

XmPattern MakeXmPattern(uint16_t rows, uint16_t channels) {
    XmPattern pattern;
    pattern.rows = rows;
    pattern.cells.assign(static_cast<size_t>(rows) * channels, XmCell{});
    return pattern;
}

XmCell& XmCellAt(XmPattern& pattern, uint16_t channels, uint16_t row, uint16_t channel) {
    return pattern.cells.at(static_cast<size_t>(row) * channels + channel);
}

uint8_t XmBreakParam(int row) { return static_cast<uint8_t>((row / 10) * 16 + row % 10); }

double XmRowSeconds(int speed, int bpm) { return speed * 2.5 / bpm; }

std::vector<uint8_t> BuildXm(const XmSong& song) {
    ByteWriter out;
    out.Text("Extended Module: ", 17);
    out.Text(song.name, 20);
    out.U8(0x1A);
    out.Text("sixscene tests", 20);
    out.U16(0x0104);
    const size_t headerStart = out.bytes.size();
    out.U32(276);
    out.U16(static_cast<uint32_t>(song.orders.size()));
    out.U16(song.restart);
    out.U16(song.channels);
    out.U16(static_cast<uint32_t>(song.patterns.size()));
    out.U16(song.withInstrument ? 1 : 0);
    out.U16(1);  // linear frequency table
    out.U16(song.speed);
    out.U16(song.bpm);
    for (size_t i = 0; i < 256; ++i) out.U8(i < song.orders.size() ? song.orders[i] : 0);
    out.PadTo(headerStart, 276);

    for (const XmPattern& pattern : song.patterns) WritePattern(out, pattern, song.channels);
    if (song.withInstrument) WriteSquareInstrument(out);
    return out.bytes;
}

bool WriteXm(const XmSong& song, const std::string& path) {
    const std::vector<uint8_t> bytes = BuildXm(song);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}
