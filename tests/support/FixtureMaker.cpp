// Synthetic photo-like pictures compressed by libjpeg. The texture mixes smooth gradients
// (small AC coefficients, DC prediction across blocks), hard-edged shapes (large coefficients
// and long codes) and noise (non-zero high frequencies, so runs and end-of-block cases vary).
#include <algorithm>
#include <cmath>
#include <utility>

#include <gtest/gtest.h>

#include "JpegFixtures.h"
#include "LibjpegErrors.h"

namespace pivotta::test {
namespace {

class SplitMix {
public:
    explicit SplitMix(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Uniform(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1)); }

private:
    uint64_t state_;
};

struct Shape {
    bool ellipse;
    int x0, y0, x1, y1;
    int rgb[3];
};

std::vector<uint8_t> MakeTexture(const FixtureSpec& spec) {
    SplitMix rng(spec.seed * 0x100000001B3ull + 7);
    const int w = spec.width, h = spec.height, channels = spec.components;
    int base[3], slopeX[3], slopeY[3];
    for (int c = 0; c < 3; ++c) {
        base[c] = rng.Uniform(40, 200);
        slopeX[c] = rng.Uniform(-120, 120);
        slopeY[c] = rng.Uniform(-120, 120);
    }
    std::vector<Shape> shapes(static_cast<size_t>(rng.Uniform(2, 5)));
    for (Shape& s : shapes) {
        s.ellipse = rng.Next() & 1;
        s.x0 = rng.Uniform(-w / 4, w - 1);
        s.y0 = rng.Uniform(-h / 4, h - 1);
        s.x1 = s.x0 + rng.Uniform(3, std::max(4, w / 2));
        s.y1 = s.y0 + rng.Uniform(3, std::max(4, h / 2));
        for (int& v : s.rgb) v = rng.Uniform(0, 255);
    }
    const int noise = rng.Uniform(6, 20);
    const double waveX = rng.Uniform(3, 11), waveY = rng.Uniform(3, 11);

    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * channels);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int rgb[3];
            for (int c = 0; c < 3; ++c)
                rgb[c] = base[c] + slopeX[c] * x / std::max(1, w) + slopeY[c] * y / std::max(1, h);
            for (const Shape& s : shapes) {
                bool inside;
                if (s.ellipse) {
                    const double cx = (s.x0 + s.x1) / 2.0, cy = (s.y0 + s.y1) / 2.0;
                    const double rx = (s.x1 - s.x0) / 2.0, ry = (s.y1 - s.y0) / 2.0;
                    inside = std::pow((x - cx) / rx, 2) + std::pow((y - cy) / ry, 2) <= 1.0;
                } else {
                    inside = x >= s.x0 && x < s.x1 && y >= s.y0 && y < s.y1;
                }
                if (inside) std::copy(std::begin(s.rgb), std::end(s.rgb), rgb);
            }
            const int ripple = static_cast<int>(10 * std::sin(x / waveX + std::cos(y / waveY)));
            uint8_t* out = &pixels[(static_cast<size_t>(y) * w + x) * channels];
            if (channels == 1) {
                const int luma = (rgb[0] * 3 + rgb[1] * 4 + rgb[2]) / 8;
                out[0] = static_cast<uint8_t>(std::clamp(luma + ripple + rng.Uniform(-noise, noise), 0, 255));
            } else {
                for (int c = 0; c < 3; ++c)
                    out[c] = static_cast<uint8_t>(std::clamp(rgb[c] + ripple + rng.Uniform(-noise, noise), 0, 255));
                // CMYK: a black plate of its own, darker where the colours are.
                if (channels == 4) out[3] = static_cast<uint8_t>(255 - std::max({out[0], out[1], out[2]}));
            }
        }
    }
    return pixels;
}

void ConfigureCompressor(jpeg_compress_struct& info, const FixtureSpec& spec) {
    info.image_width = static_cast<JDIMENSION>(spec.width);
    info.image_height = static_cast<JDIMENSION>(spec.height);
    info.input_components = spec.components;
    info.in_color_space = spec.components == 1 ? JCS_GRAYSCALE : spec.components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    // Without a colour transform, libjpeg names the components 'R', 'G', 'B' (82, 71, 66).
    if (spec.rgbIds) jpeg_set_colorspace(&info, JCS_RGB);
    jpeg_set_quality(&info, spec.quality, TRUE);
    info.comp_info[0].h_samp_factor = spec.hSamp;
    info.comp_info[0].v_samp_factor = spec.vSamp;
    for (int c = 1; c < info.num_components; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    info.restart_interval = static_cast<unsigned int>(spec.restartInterval);
    info.optimize_coding = spec.optimizeHuffman ? TRUE : FALSE;
    if (spec.progressive) jpeg_simple_progression(&info);
    info.arith_code = spec.arithmetic ? TRUE : FALSE;
}

// Compressed bytes go straight into a vector, which stays valid whatever happens mid-way.
struct VectorDestination {
    jpeg_destination_mgr pub;  // first, so libjpeg's pointer is also ours
    std::vector<uint8_t>* bytes;
};

VectorDestination& DestinationOf(j_compress_ptr info) {
    return *reinterpret_cast<VectorDestination*>(info->dest);
}

void InitDestination(j_compress_ptr info) {
    VectorDestination& dest = DestinationOf(info);
    dest.bytes->assign(4096, 0);
    dest.pub.next_output_byte = dest.bytes->data();
    dest.pub.free_in_buffer = dest.bytes->size();
}

// Called when the buffer is full: all of it has been written.
boolean GrowDestination(j_compress_ptr info) {
    VectorDestination& dest = DestinationOf(info);
    const size_t used = dest.bytes->size();
    dest.bytes->resize(used * 2);
    dest.pub.next_output_byte = dest.bytes->data() + used;
    dest.pub.free_in_buffer = dest.bytes->size() - used;
    return TRUE;
}

void TermDestination(j_compress_ptr info) {
    VectorDestination& dest = DestinationOf(info);
    dest.bytes->resize(dest.bytes->size() - dest.pub.free_in_buffer);
}

// Everything the setjmp frame must find intact after a longjmp lives here.
struct CompressSession {
    jpeg_compress_struct info{};
    LibjpegErrorManager errors;
    VectorDestination destination{};
    std::vector<uint8_t> bytes;
};

bool Compress(CompressSession& session, const FixtureSpec& spec, const std::vector<uint8_t>& pixels) {
    jpeg_compress_struct& info = session.info;
    info.err = InstallErrorManager(session.errors, nullptr);
    jpeg_create_compress(&info);
    if (setjmp(session.errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    session.destination.pub.init_destination = InitDestination;
    session.destination.pub.empty_output_buffer = GrowDestination;
    session.destination.pub.term_destination = TermDestination;
    session.destination.bytes = &session.bytes;
    info.dest = &session.destination.pub;
    ConfigureCompressor(info, spec);
    jpeg_start_compress(&info, TRUE);
    const size_t stride = static_cast<size_t>(spec.width) * info.input_components;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(&pixels[info.next_scanline * stride]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

std::vector<uint8_t> MakeJpeg(const FixtureSpec& spec) {
    if (spec.width <= 0 || spec.height <= 0 || (spec.components != 1 && spec.components != 3 && spec.components != 4)) {
        ADD_FAILURE() << "MakeJpeg: unsupported spec " << spec.width << "x" << spec.height << ", "
                      << spec.components << " components";
        return {};
    }
    const std::vector<uint8_t> pixels = MakeTexture(spec);
    CompressSession session;
    const bool ok = Compress(session, spec, pixels);
    if (!ok) {
        ADD_FAILURE() << "MakeJpeg: libjpeg refused the fixture: " << session.errors.error;
        return {};
    }
    return std::move(session.bytes);
}

}  // namespace pivotta::test
