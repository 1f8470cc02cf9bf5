#include "LibjpegDecode.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

namespace pivotta::app {

namespace libjpeg_decode {
namespace {

constexpr long kMaxLibjpegMemory = 512L * 1024 * 1024;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

void InstallErrorManager(jpeg_decompress_struct* cinfo, ErrorManager* errors)
{
    cinfo->err = jpeg_std_error(&errors->pub);
    errors->pub.error_exit = ErrorExit;
    errors->pub.output_message = IgnoreMessage;
}

Status FailureOf(j_decompress_ptr cinfo, ErrorManager& errors)
{
    Status status;
    // A refusal without a number of its own still has to read as a failure.
    if (errors.pub.msg_code == kOk) errors.pub.msg_code = JERR_BAD_LENGTH;
    status.code = errors.pub.msg_code;
    status.unsupportedKind = status.code == JERR_SOF_UNSUPPORTED || status.code == JERR_BAD_PRECISION ||
                             status.code == JERR_NOT_COMPILED || status.code == JERR_ARITH_NOTIMPL;
    static_assert(sizeof(status.message) >= JMSG_LENGTH_MAX);
    errors.pub.format_message(reinterpret_cast<j_common_ptr>(cinfo), status.message);
    return status;
}

bool IsInkColour(J_COLOR_SPACE space) { return space == JCS_CMYK || space == JCS_YCCK; }

// CMYK as Adobe writes it (inverted) or plainly, turned into RGBX in place.
void CmykRowToRgbx(uint8_t* row, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x) {
        uint8_t* p = row + 4 * x;
        const int k = inverted ? p[3] : 255 - p[3];
        for (int c = 0; c < 3; ++c) {
            const int ink = inverted ? p[c] : 255 - p[c];
            p[c] = static_cast<uint8_t>(ink * k / 255);
        }
        p[3] = 255;
    }
}

// The one place that calls libjpeg, so the one place with a setjmp. Without allocate it
// stops after the header.
Status Decompress(const uint8_t* data, size_t size, int scaleNumerator, AllocateRows allocate, void* context,
               HeaderInfo* info)
{
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    InstallErrorManager(&cinfo, &errors);
    if (setjmp(errors.jump)) {
        const Status failure = FailureOf(&cinfo, errors);
        jpeg_destroy_decompress(&cinfo);
        return failure;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    info->width = static_cast<int>(cinfo.image_width);
    info->height = static_cast<int>(cinfo.image_height);
    if (!allocate) {
        jpeg_destroy_decompress(&cinfo);
        return {};
    }

    // A progressive picture keeps all its coefficients; a header that claims an enormous one
    // must fail here rather than exhaust the machine.
    cinfo.mem->max_memory_to_use = kMaxLibjpegMemory;
    const bool ink = IsInkColour(cinfo.jpeg_color_space);
    cinfo.out_color_space = ink ? JCS_CMYK : JCS_EXT_RGBX;
    cinfo.scale_num = static_cast<unsigned int>(scaleNumerator);
    cinfo.scale_denom = 8;
    jpeg_start_decompress(&cinfo);

    RgbxTarget target;
    if (!allocate(context, static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height), &target)) {
        ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 0);
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = target.pixels + target.stride * static_cast<ptrdiff_t>(cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) break;
        if (ink) CmykRowToRgbx(row, cinfo.output_width, cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return {};
}

}  // namespace

Status ReadHeader(const uint8_t* data, size_t size, HeaderInfo* info)
{
    return Decompress(data, size, 8, nullptr, nullptr, info);
}

Status DecodeRgbx(const uint8_t* data, size_t size, int scaleNumerator, AllocateRows allocate, void* context)
{
    HeaderInfo header;
    return Decompress(data, size, scaleNumerator, allocate, context, &header);
}

}  // namespace libjpeg_decode

}  // namespace pivotta::app
