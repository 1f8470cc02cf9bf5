// The entropy codecs of every DCT process, driven by a described frame and scan and the
// input's bytes as its entropy-coded data (ScanFuzzInput.h). A scan the script checker
// accepts (after the first scans a refinement needs) is decoded; whatever decodes must
// encode to data that decodes to the same coefficients.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ArithmeticScan.h"
#include "ScanFuzzInput.h"
#include "ScanScript.h"

namespace {

using namespace pivotta;

struct Planes {
    std::vector<std::vector<CoefBlock>> blocks;
    std::vector<CoefficientPlane> views;
    explicit Planes(const fuzz::ScanFuzzCase& c) {
        for (int i = 0; i < c.frameComponents; ++i) blocks.emplace_back(c.PlaneBlocks(i), CoefBlock{});
        for (int i = 0; i < c.frameComponents; ++i) views.push_back({blocks[i].data(), c.PlaneStride(i)});
    }
};

// The first scans that make a refinement or an AC band legal, then the scan itself.
bool Accepted(const fuzz::ScanFuzzCase& c) {
    ScanScriptChecker checker(c.frameComponents, c.layout.progressive);
    if (c.layout.progressive) {
        ScanLayout dc = c.layout;
        dc.Ss = dc.Se = dc.Ah = dc.Al = 0;
        if (c.layout.Ss > 0 && checker.Add(dc) != ScriptError::None) return false;
        ScanLayout first = c.layout;
        first.Ah = 0;
        first.Al = c.layout.Ah;
        if (c.layout.Ah > 0 && checker.Add(first) != ScriptError::None) return false;
    }
    return checker.Add(c.layout) == ScriptError::None;
}

ScanResult Decode(const fuzz::ScanFuzzCase& c, const fuzz::ScanFuzzTables& t, std::span<const uint8_t> data, Planes& planes) {
    return c.arithmetic ? DecodeArithmeticScan(c.layout, c.conditioning, data, planes.views)
                        : DecodeHuffmanScan(c.layout, t.decoders, data, planes.views);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScanFuzzTables tables;
    fuzz::ScanFuzzCase c;
    if (!fuzz::ParseScanFuzzInput({data, size}, c) || !Accepted(c)) return 0;
    Planes decoded(c);
    if (!Decode(c, tables, c.data, decoded).ok()) return 0;

    std::vector<uint8_t> encoded;
    const ScanResult written = c.arithmetic ? EncodeArithmeticScan(c.layout, c.conditioning, decoded.views, encoded)
                                            : EncodeHuffmanScan(c.layout, tables.encoders, decoded.views, encoded);
    if (!written.ok()) {
        // Only values no code holds may stop the encoder: a 16-bit DC difference, a symbol
        // the standard table lacks.
        if (written.error != ScanError::BadCode && written.error != ScanError::MissingCode) std::abort();
        return 0;
    }
    Planes again(c);
    const ScanResult reread = Decode(c, tables, encoded, again);
    if (!reread.ok() || again.blocks != decoded.blocks) {
        std::fprintf(stderr, "re-encoded scan (%zu bytes) decodes %s %d in MCU row %lld\n", encoded.size(),
                     reread.ok() ? "to other coefficients" : "with error", static_cast<int>(reread.error),
                     static_cast<long long>(reread.mcuRow));
        std::abort();
    }
    return 0;
}
