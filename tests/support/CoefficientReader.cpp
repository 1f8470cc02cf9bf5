// Quantized coefficients read back through libjpeg's transcoding interface, which stops
// before any inverse DCT.
#include <sstream>

#include <gtest/gtest.h>

#include "JpegFixtures.h"
#include "LibjpegErrors.h"

namespace pivotta::test {
namespace {

int CeilDiv(int a, int b) { return (a + b - 1) / b; }

// A single scan that holds every component of a multi-component frame carries whole MCUs,
// so its padding blocks are in the file; otherwise each component carries only its own.
bool CarriesMcuGrid(const jpeg_decompress_struct& info) {
    return info.num_components > 1 && !info.progressive_mode && info.input_scan_number == 1 &&
           info.comps_in_scan == info.num_components;
}

void CopyComponent(jpeg_decompress_struct& info, jvirt_barray_ptr array, int index, bool mcuGrid,
                   ComponentCoefs& out) {
    const jpeg_component_info& comp = info.comp_info[index];
    out.id = comp.component_id;
    out.h = comp.h_samp_factor;
    out.v = comp.v_samp_factor;
    if (mcuGrid) {
        out.widthInBlocks = CeilDiv(static_cast<int>(info.image_width), 8 * info.max_h_samp_factor) * out.h;
        out.heightInBlocks = CeilDiv(static_cast<int>(info.image_height), 8 * info.max_v_samp_factor) * out.v;
    } else {
        out.widthInBlocks = static_cast<int>(comp.width_in_blocks);
        out.heightInBlocks = static_cast<int>(comp.height_in_blocks);
    }
    out.blocks.resize(static_cast<size_t>(out.widthInBlocks) * out.heightInBlocks);
    for (int y = 0; y < out.heightInBlocks; ++y) {
        JBLOCKARRAY row = (*info.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&info), array,
                                                          static_cast<JDIMENSION>(y), 1, FALSE);
        for (int x = 0; x < out.widthInBlocks; ++x) {
            NaturalBlock& block = out.blocks[static_cast<size_t>(y) * out.widthInBlocks + x];
            for (int k = 0; k < 64; ++k) block[k] = row[0][x][k];
        }
    }
    if (comp.quant_table) {
        for (int k = 0; k < 64; ++k) out.quant[k] = comp.quant_table->quantval[k];
    }
}

struct DecompressSession {
    jpeg_decompress_struct info{};
    LibjpegErrorManager errors;
};

bool Decode(DecompressSession& session, const std::vector<uint8_t>& jpeg, JpegCoefs& out,
            std::vector<std::string>* warnings) {
    jpeg_decompress_struct& info = session.info;
    info.err = InstallErrorManager(session.errors, warnings);
    jpeg_create_decompress(&info);
    if (setjmp(session.errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
    out.width = static_cast<int>(info.image_width);
    out.height = static_cast<int>(info.image_height);
    out.comps.resize(static_cast<size_t>(info.num_components));
    const bool mcuGrid = CarriesMcuGrid(info);
    for (int c = 0; c < info.num_components; ++c) CopyComponent(info, arrays[c], c, mcuGrid, out.comps[c]);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

bool TryReadCoefficients(const std::vector<uint8_t>& jpeg, JpegCoefs& out, std::string* error,
                         std::vector<std::string>* warnings) {
    out = JpegCoefs{};
    if (jpeg.empty()) {
        if (error) *error = "no data";
        return false;
    }
    DecompressSession session;
    if (Decode(session, jpeg, out, warnings)) return true;
    out = JpegCoefs{};
    if (error) *error = session.errors.error;
    return false;
}

JpegCoefs ReadCoefficients(const std::vector<uint8_t>& jpeg, std::string* warnings) {
    JpegCoefs coefs;
    std::string error;
    std::vector<std::string> found;
    if (!TryReadCoefficients(jpeg, coefs, &error, &found)) {
        ADD_FAILURE() << "libjpeg cannot decode the coefficients (" << jpeg.size() << " bytes): " << error;
        return JpegCoefs{};
    }
    if (warnings) {
        for (const std::string& w : found) *warnings += w + "\n";
    } else if (!found.empty()) {
        std::ostringstream text;
        for (const std::string& w : found) text << "\n  " << w;
        ADD_FAILURE() << "libjpeg warned while decoding the coefficients:" << text.str();
    }
    return coefs;
}

}  // namespace pivotta::test
