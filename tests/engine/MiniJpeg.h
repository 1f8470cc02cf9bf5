// Hand-built baseline JPEG streams for engine tests: every byte is chosen by the test, so
// single symbols, runs, markers and segment layouts can be exercised exactly.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "MemoryStream.h"

namespace pivotta::test {

using Bytes = std::vector<uint8_t>;

// ITU T.81 Annex K tables (DC/AC x identifier 0/1) as DHT payload bodies: 16 counts + symbols.
Bytes StandardTableBody(int tableClass, int id);

// Writes entropy-coded bits MSB first with FF 00 stuffing; pads partial bytes with 1-bits
// (T.81 B.1.1.5), as the engine and jpegtran do.
class ScanBitWriter {
public:
    void Bits(uint32_t value, int count);
    // The standard table's code for a symbol, then `extra` in `extraBits` bits.
    void Symbol(int tableClass, int id, int symbol);
    void Dc(int id, int diff);                   // category code plus extra bits
    void Ac(int id, int run, int value);          // value 0 with run 0 is EOB, run 15 is ZRL
    Bytes Finish();                               // pads and returns the stuffed bytes
    void Marker(uint16_t marker);                 // pads, then writes a marker (e.g. RSTn)

private:
    void Flush(bool pad);
    Bytes out_;
    uint32_t acc_ = 0;
    int bits_ = 0;
};

struct MiniComponent {
    int id;
    int h, v;
    int tq;
    int dcTable, acTable;
};

// Segment helpers: marker plus big-endian length plus body.
Bytes Segment(uint16_t marker, const Bytes& body);
Bytes Dqt(int id, int firstValue = 1);            // values firstValue, firstValue+1, ... in zig-zag order
Bytes Sof0(int width, int height, const std::vector<MiniComponent>& components);
Bytes Sos(const std::vector<MiniComponent>& components);
Bytes Dri(int interval);
Bytes StandardDht();                              // all four standard tables in one segment

// SOI, DQT 0/1, SOF0, standard DHT, [DRI], SOS, the given scan bytes, EOI.
Bytes BuildJpeg(int width, int height, const std::vector<MiniComponent>& components, const Bytes& scan,
                int restartInterval = -1);
inline std::vector<MiniComponent> Gray() { return {{1, 1, 1, 0, 0, 0}}; }
inline std::vector<MiniComponent> Ycc(int h, int v) {
    return {{1, h, v, 0, 0, 0}, {2, 1, 1, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};
}

Bytes Concat(std::initializer_list<Bytes> parts);
// The first byte of entropy-coded data: after the scan header, found by walking the segments
// from SOI (a byte search could stop inside an Exif thumbnail). 0 when there is none.
size_t ScanDataStart(const Bytes& jpeg);
inline TMemoryStream Stream(const Bytes& bytes) { return TMemoryStream(bytes); }

// Records every hook call of an engine run in order.
struct HookLog {
    std::vector<std::pair<std::string, int>> messages;
    int dhtWarnings = 0;
    std::vector<int> progressMax;
    std::vector<int> progress;
    template <class Engine>
    void Attach(Engine& engine) {
        engine.OnMessage = [this](const std::string& text, int level) { messages.emplace_back(text, level); };
        engine.OnDHTWarning = [this] { ++dhtWarnings; };
        engine.OnProgressMax = [this](int max) { progressMax.push_back(max); };
        engine.OnProgress = [this](int position) { progress.push_back(position); };
    }
    int ErrorCount() const {
        int n = 0;
        for (const auto& m : messages) n += m.second == 2;
        return n;
    }
};

}  // namespace pivotta::test
