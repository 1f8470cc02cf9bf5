// The binary arithmetic coder of ITU T.81 Annex D (the QM coder): adaptive probability
// estimates per context bin, a decoder over one interval of entropy-coded data and an
// encoder that produces one. Each context bin is one byte: the state index in the low 7 bits,
// the more probable symbol in the top bit; 0 is the initial state (D.1.5.1).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pivotta {

// A bin that never adapts, Qe = 0x5A1D with MPS 0: the sign and refinement decisions that
// T.81 codes with a fixed estimate (F.1.4.3.1, G.1.3.1).
inline constexpr uint8_t kFixedBin = 113;

class ArithmeticDecoder {
public:
    explicit ArithmeticDecoder(std::span<const uint8_t> data) : p_(data.data()), end_(data.data() + data.size()) {
        Start();
    }

    // One decision in a context bin, adapting the bin (D.2.4).
    int Decode(uint8_t& bin);

    // At the end of an interval: skips what the encoder's flush left of it, takes the
    // expected restart marker and starts afresh. False when another marker stands there.
    [[nodiscard]] bool TakeRestart(uint16_t marker);
    // 0-bytes fed past a marker or the end of the data in this interval (D.2.6), and the
    // decisions made since the first of them. An encoder may leave out the 0-bytes that end
    // an interval, so both can be legitimate; many decisions mean the data stops short.
    size_t BytesPastEnd() const { return pastEnd_; }
    uint64_t DecisionsPastEnd() const { return decisionsPastEnd_; }
    const uint8_t* Position() const { return p_; }

private:
    void Start();  // Initdec (D.2.5)
    uint32_t NextByte();

    const uint8_t* p_;
    const uint8_t* end_;
    uint32_t a_ = 0;  // interval size, 0x8000 <= a_ <= 0x10000 between decisions
    uint32_t c_ = 0;  // code offset: bits 16-31 compare with a_, bits 8-15 the next byte
    int ct_ = 0;      // bits below the top 16 not yet shifted up
    size_t pastEnd_ = 0;
    uint64_t decisionsPastEnd_ = 0;
};

class ArithmeticEncoder {
public:
    ArithmeticEncoder() { Start(); }

    // Codes one decision (0 or 1) in a context bin, adapting the bin (D.1.2-D.1.5).
    void Encode(uint8_t& bin, int decision);
    // Ends the interval (D.1.8) and appends its bytes, stuffed, to `out`; the next decision
    // starts a new interval. Final 0-bytes are kept, so that a decoder never has to make
    // more than a few decisions past the data.
    void FinishInterval(std::vector<uint8_t>& out);

private:
    void Start();
    void Renormalize();
    void ByteOut();

    std::vector<uint8_t> bytes_;  // the interval's bytes before stuffing: carries can still reach them
    uint32_t a_ = 0;
    uint32_t c_ = 0;  // bits 0-15 the fraction, above them the byte being formed and its carry
    int ct_ = 0;      // shifts until the next byte is complete
};

}  // namespace pivotta
