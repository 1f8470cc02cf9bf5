// Writes the seed corpora of the three fuzzers:
//   make_seeds OUTDIR [CAMERA_DIR]
// OUTDIR/transform: small whole JPEG files (hand-built, made by libjpeg, camera thumbnails);
// OUTDIR/exif: the TIFF data of camera-like Exif segments (and of real ones);
// OUTDIR/bitstream: entropy-coded data and marker patterns;
// OUTDIR/scans: described scans of every process and pass with their data (ScanFuzzInput.h);
// OUTDIR/mpf, OUTDIR/xmp: MP indexes and XMP packets that fit the photo carrier's layout.
// CAMERA_DIR, when given and present, adds the thumbnails and Exif data of real camera files;
// the files themselves are too large to fuzz quickly.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ExifBuilder.h"
#include "JpegFixtures.h"
#include "MpfIndex.h"
#include "PhotoCarrier.h"
#include "ScanFuzzInput.h"
#include "SyntheticJpeg.h"

namespace {

namespace fs = std::filesystem;
using pivotta::fuzz::Bytes;
using pivotta::fuzz::SyntheticJpeg;
using pivotta::fuzz::SyntheticSpec;
using pivotta::fuzz::WithSegmentAfterSoi;
using namespace pivotta::test;

class SeedDir {
public:
    SeedDir(const fs::path& root, const std::string& name) : dir_(root / name) { fs::create_directories(dir_); }
    void Add(const std::string& name, const Bytes& bytes) {
        if (bytes.empty()) return;
        std::ofstream file(dir_ / name, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ++count_;
    }
    int Count() const { return count_; }

private:
    fs::path dir_;
    int count_ = 0;
};

Bytes Append(Bytes jpeg, const Bytes& tail) {
    jpeg.insert(jpeg.end(), tail.begin(), tail.end());
    return jpeg;
}

// The stream with the two bytes before its final EOI replaced by `marker` + EOI.
Bytes WithBeforeEoi(Bytes jpeg, const Bytes& inserted) {
    jpeg.insert(jpeg.end() - 2, inserted.begin(), inserted.end());
    return jpeg;
}

Bytes TiffPart(const Bytes& exifPayload) { return Bytes(exifPayload.begin() + kTiffStart, exifPayload.end()); }

void AddHandBuilt(SeedDir& transform, SeedDir& bitstream) {
    const std::vector<std::pair<std::string, SyntheticSpec>> specs = {
        {"gray8x8", {.width = 8, .height = 8, .components = Gray()}},
        {"gray17x9", {.width = 17, .height = 9, .components = Gray(), .seed = 2}},
        {"gray_rst1", {.width = 24, .height = 16, .components = Gray(), .restartInterval = 1, .seed = 3}},
        {"ycc420_24x20", {.width = 24, .height = 20, .components = Ycc(2, 2), .seed = 4}},
        {"ycc420_rst2", {.width = 48, .height = 32, .components = Ycc(2, 2), .restartInterval = 2, .seed = 5}},
        {"ycc422_40x16", {.width = 40, .height = 16, .components = Ycc(2, 1), .seed = 6}},
        {"ycc440_16x40", {.width = 16, .height = 40, .components = Ycc(1, 2), .seed = 7}},
        {"ycc444_16x8", {.width = 16, .height = 8, .components = Ycc(1, 1), .seed = 8}},
        {"ycc411_70x9", {.width = 70, .height = 9, .components = Ycc(4, 1), .seed = 9}},
        {"ycc_rst0", {.width = 16, .height = 16, .components = Ycc(2, 2), .restartInterval = 0, .seed = 10}},
        {"two_comp", {.width = 16, .height = 16, .components = {{1, 2, 2, 0, 0, 0}, {2, 1, 1, 1, 1, 1}}, .seed = 11}},
        // At least 2048 MCUs: large enough for the scan to be split between threads.
        {"split_gray_rst5", {.width = 512, .height = 256, .components = Gray(), .restartInterval = 5, .seed = 14,
                             .flat = true}},
        {"split_420_rst64", {.width = 1024, .height = 512, .restartInterval = 64, .seed = 15, .flat = true}},
        {"split_422", {.width = 1024, .height = 256, .components = Ycc(2, 1), .seed = 16, .flat = true}},
        {"cmyk", {.width = 8, .height = 8, .components = {{1, 1, 1, 0, 0, 0}, {2, 1, 1, 0, 0, 0},
                                                          {3, 1, 1, 0, 0, 0}, {4, 1, 1, 0, 0, 0}}, .seed = 12}},
    };
    for (const auto& [name, spec] : specs) {
        const Bytes jpeg = SyntheticJpeg(spec);
        transform.Add(name + ".jpg", jpeg);
        const Bytes scan = pivotta::fuzz::SyntheticScan(spec);
        if (scan.size() <= 4096) bitstream.Add(name + ".scan", scan);  // the bit stream fuzzer's limit
    }

    const Bytes base = SyntheticJpeg({.width = 24, .height = 24, .seed = 13});
    transform.Add("app0_com_app2.jpg",
                  WithSegmentAfterSoi(WithSegmentAfterSoi(WithSegmentAfterSoi(base, 0xFFE2, {1, 2, 3}), 0xFFFE,
                                                          {'h', 'i'}),
                                      0xFFE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));
    transform.Add("tail_after_eoi.jpg", Append(base, {0x00, 0x11, 0xFF, 0xD9, 0xFF}));
    transform.Add("rst_before_eoi.jpg", WithBeforeEoi(base, {0xFF, 0xD3}));
    transform.Add("fill_before_eoi.jpg", WithBeforeEoi(base, {0xFF, 0xFF}));
    transform.Add("xmp_app1.jpg", WithSegmentAfterSoi(base, 0xFFE1, {'h', 't', 't', 'p', ':', '/', '/', 0}));
    transform.Add("huge_frame.jpg", pivotta::test::BuildJpeg(65535, 65535, Ycc(2, 2), {0x00}));

    bitstream.Add("stuffing", {0xFF, 0x00, 0x80, 0xFF, 0x00, 0xFF, 0x00, 0x12, 0x34});
    bitstream.Add("markers", {0x12, 0xFF, 0xD0, 0xA5, 0xFF, 0xFF, 0xD9, 0x00, 0xFF});
    bitstream.Add("segment", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
}

void AddLibjpeg(SeedDir& transform) {
    const std::vector<std::pair<std::string, FixtureSpec>> specs = {
        {"lj_420.jpg", {.width = 48, .height = 32}},
        {"lj_420_ragged_opt.jpg", {.width = 37, .height = 21, .optimizeHuffman = true}},
        {"lj_422_rst.jpg", {.width = 64, .height = 16, .hSamp = 2, .vSamp = 1, .restartInterval = 3}},
        {"lj_444.jpg", {.width = 24, .height = 24, .hSamp = 1, .vSamp = 1, .quality = 95}},
        {"lj_gray_opt.jpg", {.width = 33, .height = 17, .components = 1, .optimizeHuffman = true}},
        {"lj_progressive.jpg", {.width = 32, .height = 32, .progressive = true}},
        {"lj_rgb_ids.jpg", {.width = 16, .height = 16, .hSamp = 1, .vSamp = 1, .rgbIds = true}},
        {"lj_progressive_rst.jpg", {.width = 27, .height = 19, .restartInterval = 1, .progressive = true}},
        {"lj_arithmetic.jpg", {.width = 40, .height = 24, .hSamp = 2, .vSamp = 1, .arithmetic = true}},
        {"lj_arithmetic_progressive.jpg", {.width = 21, .height = 30, .progressive = true, .arithmetic = true}},
        {"lj_cmyk.jpg", {.width = 24, .height = 16, .components = 4, .hSamp = 1, .vSamp = 1}},
        {"lj_cmyk_progressive.jpg", {.width = 17, .height = 9, .components = 4, .progressive = true}},
    };
    for (const auto& [name, spec] : specs) transform.Add(name, MakeJpeg(spec));
}

void AddExif(SeedDir& transform, SeedDir& exif) {
    const Bytes thumbnail = SyntheticJpeg({.width = 16, .height = 8, .seed = 21});
    const Bytes optimized = MakeJpeg({.width = 24, .height = 16, .optimizeHuffman = true});
    const Bytes progressive = MakeJpeg({.width = 16, .height = 16, .progressive = true});
    const Bytes carrier = SyntheticJpeg({.width = 40, .height = 20, .seed = 22});
    for (const bool little : {false, true}) {
        const std::string order = little ? "ii_" : "mm_";
        const auto add = [&](const std::string& name, const CameraExifSpec& spec) {
            const Bytes payload = CameraExif(spec).Build();
            exif.Add(order + name + ".tiff", TiffPart(payload));
            transform.Add("exif_" + order + name + ".jpg", WithSegmentAfterSoi(carrier, 0xFFE1, payload));
        };
        add("thumb", CameraExifSpec(little).Thumbnail(thumbnail));
        add("thumb_optimized", CameraExifSpec(little).Thumbnail(optimized));
        add("thumb_progressive", CameraExifSpec(little).Thumbnail(progressive));
        add("thumb_garbage", CameraExifSpec(little).Thumbnail({0xFF, 0xD8, 0xFF, 0xC0, 0x00}));
        add("short_pixels", CameraExifSpec(little).Pixels(40, 20, TiffType::Short).Thumbnail(thumbnail));
        add("no_pixel_y", CameraExifSpec(little).WithoutPixelY().Thumbnail(thumbnail));
        add("no_ifd1", CameraExifSpec(little).WithoutIfd1());
        add("uncompressed", CameraExifSpec(little).Compression(1).Thumbnail(Bytes(48, 0x80)));
        add("trailer", CameraExifSpec(little).Thumbnail(thumbnail).Trailer(Bytes(16, 0xAA)));
    }
}

// Real camera files: their Exif data, and their thumbnails as small real-world JPEGs.
void AddCameraFiles(const fs::path& dir, SeedDir& transform, SeedDir& exif) {
    if (!fs::is_directory(dir)) return;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".jpg") continue;
        std::ifstream file(entry.path(), std::ios::binary);
        const Bytes jpeg((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const Bytes payload = FirstApp1Payload(jpeg);
        if (payload.size() < kTiffStart + 8 || payload[0] != 'E' || payload[1] != 'x') continue;
        const std::string stem = entry.path().stem().string();
        exif.Add("camera_" + stem + ".tiff", TiffPart(payload));
        // The thumbnail: the first complete JPEG stream inside the Exif data.
        for (size_t start = kTiffStart; start + 4 < payload.size(); ++start) {
            if (payload[start] != 0xFF || payload[start + 1] != 0xD8 || payload[start + 2] != 0xFF) continue;
            for (size_t end = start + 4; end + 1 < payload.size(); ++end) {
                if (payload[end] == 0xFF && payload[end + 1] == 0xD9) {
                    transform.Add("thumb_" + stem + ".jpg", Bytes(payload.begin() + start, payload.begin() + end + 2));
                    break;
                }
            }
            break;
        }
    }
}

// Indexes whose offsets point at the carrier's second picture, in both byte orders, with an
// attribute IFD; and packets in both forms with a container directory.
void AddPhoto(SeedDir& mpf, SeedDir& xmp) {
    for (const bool little : {false, true}) {
        pivotta::MpfIndex index;
        index.littleEndian = little;
        index.entries = {{0x20030000, 0, 0}, {0, static_cast<uint32_t>(pivotta::fuzz::SecondPicture().size()), 0}};
        index.attributes = {{0xB101, 4, 1, {1, 0, 0, 0}}};
        const size_t mainSize = pivotta::fuzz::MainPicture().size() + 4 + pivotta::WriteMpfSegment(index).size();
        index.entries[0].size = static_cast<uint32_t>(mainSize);
        index.entries[1].offset = static_cast<uint32_t>(mainSize - 10);
        mpf.Add(little ? "index_ii.mpf" : "index_mm.mpf", pivotta::WriteMpfSegment(index));
    }
    const std::string length = std::to_string(pivotta::fuzz::SecondPicture().size());
    const std::string packets[] = {
        "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta><rdf:Description tiff:Orientation=\"6\" "
        "tiff:ImageWidth=\"32\" tiff:ImageLength=\"16\" exif:PixelXDimension=\"32\" exif:PixelYDimension=\"16\">"
        "<Container:Directory><rdf:Seq><rdf:li><Container:Item Item:Semantic=\"Primary\" Item:Mime=\"image/jpeg\"/>"
        "</rdf:li><rdf:li><Container:Item Item:Semantic=\"GainMap\" Item:Mime=\"image/jpeg\" Item:Length=\"" + length +
            "\"/></rdf:li></rdf:Seq></Container:Directory></rdf:Description></x:xmpmeta>          <?xpacket end=\"w\"?>",
        "<?xpacket begin=\"\"?><x:xmpmeta><tiff:Orientation>8</tiff:Orientation><Container:Directory><rdf:Seq>"
        "<rdf:li><Container:Item><Item:Semantic>Primary</Item:Semantic></Container:Item></rdf:li><rdf:li>"
        "<Container:Item><Item:Semantic>GainMap</Item:Semantic><Item:Length>" + length +
            "</Item:Length><Item:Padding>0</Item:Padding></Container:Item></rdf:li></rdf:Seq></Container:Directory>"
            "<hdrgm:Version>1.0</hdrgm:Version></x:xmpmeta>\n\n<?xpacket end=\"w\"?>",
    };
    int n = 0;
    for (const std::string& packet : packets) xmp.Add("packet" + std::to_string(n++) + ".xmp", Bytes(packet.begin(), packet.end()));
}

}  // namespace

// Each pass of each process over a small picture of sparse coefficients, coded with the
// fuzzer's own tables.
void AddScans(SeedDir& scans) {
    struct Seed {
        const char* name;
        uint8_t flags;
        int components;
        std::array<uint8_t, 4> sampling;
        int width, height, mask, Ss, Se, Ah, Al, restart;
    };
    const Seed seeds[] = {
        {"sequential_gray", 0, 1, {0, 0, 0, 0}, 40, 24, 1, 0, 63, 0, 0, 0},
        {"sequential_420_restart", 0, 3, {5, 0, 0, 0}, 45, 37, 7, 0, 63, 0, 0, 2},
        {"sequential_cmyk", 0, 4, {0, 0, 0, 0}, 24, 16, 15, 0, 63, 0, 0, 0},
        {"dc_first", 2, 3, {5, 0, 0, 0}, 45, 37, 7, 0, 0, 0, 1, 0},
        {"dc_refine", 2, 3, {5, 0, 0, 0}, 45, 37, 7, 0, 0, 1, 0, 3},
        {"ac_first", 2, 3, {5, 0, 0, 0}, 45, 37, 1, 1, 63, 0, 1, 0},
        {"ac_first_chroma_restart", 2, 3, {5, 0, 0, 0}, 45, 37, 2, 1, 63, 0, 0, 4},
        {"ac_refine", 2, 1, {0, 0, 0, 0}, 60, 30, 1, 1, 63, 1, 0, 0},
        {"ac_refine_band", 2, 1, {0, 0, 0, 0}, 60, 30, 1, 6, 20, 2, 1, 5},
        {"twelve_bit", 4, 1, {0, 0, 0, 0}, 30, 20, 1, 0, 63, 0, 0, 0},
        {"arith_sequential", 1, 3, {5, 0, 0, 0}, 45, 37, 7, 0, 63, 0, 0, 0},
        {"arith_dc_first", 3, 3, {5, 0, 0, 0}, 45, 37, 7, 0, 0, 0, 1, 2},
        {"arith_dc_refine", 3, 3, {5, 0, 0, 0}, 45, 37, 7, 0, 0, 1, 0, 0},
        {"arith_ac_first", 3, 1, {0, 0, 0, 0}, 60, 30, 1, 1, 63, 0, 0, 3},
        {"arith_ac_refine", 3, 1, {0, 0, 0, 0}, 60, 30, 1, 1, 63, 1, 0, 0},
        {"arith_twelve_bit", 7, 1, {0, 0, 0, 0}, 30, 20, 1, 1, 63, 0, 2, 0},
    };
    static const pivotta::fuzz::ScanFuzzTables tables;
    uint32_t random = 12345;
    for (const Seed& seed : seeds) {
        Bytes input = pivotta::fuzz::ScanFuzzHeader(seed.flags, seed.components, seed.sampling, seed.width,
                                                    seed.height, seed.mask, seed.Ss, seed.Se, seed.Ah, seed.Al,
                                                    seed.restart);
        pivotta::fuzz::ScanFuzzCase c;
        if (!pivotta::fuzz::ParseScanFuzzInput(input, c)) continue;
        std::vector<std::vector<pivotta::CoefBlock>> blocks;
        std::vector<pivotta::CoefficientPlane> views;
        for (int i = 0; i < c.frameComponents; ++i) blocks.emplace_back(c.PlaneBlocks(i), pivotta::CoefBlock{});
        for (int i = 0; i < c.frameComponents; ++i) views.push_back({blocks[i].data(), c.PlaneStride(i)});
        for (auto& plane : blocks) {
            for (pivotta::CoefBlock& block : plane) {
                for (int k = 0; k < 64; ++k) {
                    random = random * 1103515245u + 12345u;
                    const int r = static_cast<int>(random >> 16 & 0x7FFF);
                    block[k] = static_cast<int16_t>(k == 0 ? r % 200 - 100 : r % 9 == 0 ? r % 7 - 3 : 0);
                }
            }
        }
        Bytes data;
        const pivotta::ScanResult result =
            c.arithmetic ? pivotta::EncodeArithmeticScan(c.layout, c.conditioning, views, data)
                         : pivotta::EncodeHuffmanScan(c.layout, tables.encoders, views, data);
        if (!result.ok()) continue;
        input.insert(input.end(), data.begin(), data.end());
        scans.Add(seed.name, input);
    }
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_seeds OUTDIR [CAMERA_DIR]\n");
        return 2;
    }
    const fs::path root = argv[1];
    SeedDir transform(root, "transform"), exif(root, "exif"), bitstream(root, "bitstream"), scans(root, "scans"),
        mpf(root, "mpf"), xmp(root, "xmp");
    AddPhoto(mpf, xmp);
    AddHandBuilt(transform, bitstream);
    AddLibjpeg(transform);
    AddExif(transform, exif);
    AddScans(scans);
    if (argc > 2) AddCameraFiles(argv[2], transform, exif);
    std::printf("seeds: %d transform, %d exif, %d bitstream, %d scans in %s\n", transform.Count(), exif.Count(),
                bitstream.Count(), scans.Count(), root.c_str());
    return 0;
}
