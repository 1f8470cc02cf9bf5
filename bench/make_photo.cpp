// Writes a photo-like picture as binary PPM, for benchmark inputs that compress like a
// camera's: a sky gradient with soft clouds, fractal ground texture whose strength varies
// across the frame, hard-edged buildings with window grids, and per-pixel sensor noise.
// Optionally also writes a box-filtered thumbnail of it.
//
//   make_photo [--dense] WIDTH HEIGHT SEED OUT.ppm [THUMB.ppm THUMB_WIDTH THUMB_HEIGHT]
//
// --dense paints a landscape of fine detail instead: a strip of sky over foliage and gravel
// texture down to single pixels everywhere, as a high-end camera records it: at the same
// size and quality its file is about 1.6 times the mixed scene's. Without --dense the output is
// what it always was, so that earlier benchmark figures still compare.
//
// Rows are generated and written one at a time, so memory stays small for any size.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

uint64_t Mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() { return Mix(state_ += 0x9E3779B97F4A7C15ull); }
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    double Range(double lo, double hi) { return lo + (hi - lo) * Unit(); }

private:
    uint64_t state_;
};

// Smooth value noise in [0, 1) over an integer lattice, hashed so that it needs no tables.
class ValueNoise {
public:
    explicit ValueNoise(uint64_t seed) : seed_(seed) {}

    double At(double x, double y) const {
        const double fx = std::floor(x), fy = std::floor(y);
        const auto ix = static_cast<int64_t>(fx), iy = static_cast<int64_t>(fy);
        const double tx = Smooth(x - fx), ty = Smooth(y - fy);
        const double top = Lerp(Lattice(ix, iy), Lattice(ix + 1, iy), tx);
        const double bottom = Lerp(Lattice(ix, iy + 1), Lattice(ix + 1, iy + 1), tx);
        return Lerp(top, bottom, ty);
    }

    // Octaves of halving amplitude; the result stays in [0, 1).
    double Fractal(double x, double y, int octaves) const {
        double sum = 0, amplitude = 0.5, norm = 0;
        for (int o = 0; o < octaves; ++o) {
            sum += amplitude * At(x, y);
            norm += amplitude;
            x = x * 2.03 + 17.1;
            y = y * 2.03 + 5.3;
            amplitude *= 0.5;
        }
        return sum / norm;
    }

private:
    static double Smooth(double t) { return t * t * (3 - 2 * t); }
    static double Lerp(double a, double b, double t) { return a + (b - a) * t; }
    double Lattice(int64_t x, int64_t y) const {
        const uint64_t h = Mix(seed_ ^ Mix(static_cast<uint64_t>(x) * 0x9E3779B1u + static_cast<uint64_t>(y)));
        return static_cast<double>(h >> 11) * 0x1.0p-53;
    }
    uint64_t seed_;
};

enum class Scene { Mixed, Dense };

struct Building {
    int x0, x1, top;         // columns [x0, x1), rows from top to the bottom of the frame
    double rgb[3];
    int windowW, windowH, gap;
};

class PhotoScene {
public:
    PhotoScene(Scene scene, int width, int height, uint64_t seed)
        : scene_(scene), width_(width), height_(height), clouds_(seed * 3 + 1), ground_(seed * 3 + 2),
          mask_(seed * 3 + 3), random_(seed) {
        const int count = 3 + static_cast<int>(random_.Next() % 5);
        for (int i = 0; i < count; ++i) {
            Building b;
            const int w = static_cast<int>(random_.Range(0.05, 0.15) * width);
            b.x0 = static_cast<int>(random_.Range(0, 0.95) * width);
            b.x1 = std::min(width, b.x0 + w);
            b.top = static_cast<int>(random_.Range(0.2, 0.5) * height);
            for (double& c : b.rgb) c = random_.Range(60, 200);
            b.windowW = 4 + static_cast<int>(random_.Next() % 12);
            b.windowH = 6 + static_cast<int>(random_.Next() % 14);
            b.gap = 3 + static_cast<int>(random_.Next() % 8);
            buildings_.push_back(b);
        }
    }

    void Row(int y, std::vector<uint8_t>& rgb) {
        const double scale = 1.0 / std::max(width_, height_);
        for (int x = 0; x < width_; ++x) {
            double c[3];
            if (scene_ == Scene::Dense) {
                DenseLandscape(x, y, scale, c);
            } else {
                Background(x, y, scale, c);
                for (const Building& b : buildings_) Paint(b, x, y, c);
            }
            for (int i = 0; i < 3; ++i) {
                // Sensor noise: about +-3 levels, independent per channel.
                const double noise = static_cast<double>(random_.Next() % 7) - 3.0;
                rgb[static_cast<size_t>(x) * 3 + i] = static_cast<uint8_t>(std::clamp(c[i] + noise, 0.0, 255.0));
            }
        }
    }

private:
    // A wavy horizon at a share of the height, and above it a gradient towards the horizon
    // with soft clouds blended in.
    struct SkyLook {
        double horizon, swing, waves;    // share of the height, its variation, waves across
        double cloudFrom, cloudGain;     // fractal values above cloudFrom become cloud
        double cloudLevel;
        double top[3], rise[3];          // colour at the top, and its change to the horizon
    };
    static constexpr SkyLook kMixedSky{0.45, 0.1, 3, 0.45, 2.2, 245, {90, 140, 220}, {80, 60, 20}};
    static constexpr SkyLook kDenseSky{0.18, 0.06, 5, 0.5, 1.6, 240, {110, 160, 225}, {60, 40, 15}};

    // Whether row y is sky at u; then c is its colour.
    bool Sky(const SkyLook& look, double u, double v, int y, double c[3]) const {
        const double horizon = height_ * (look.horizon + look.swing * (ground_.At(u * look.waves, 0.5) - 0.5));
        if (y >= horizon) return false;
        const double t = y / horizon;
        const double cloud = std::max(0.0, clouds_.Fractal(u * 6, v * 12, 4) - look.cloudFrom) * look.cloudGain;
        for (int i = 0; i < 3; ++i) {
            const double sky = look.top[i] + look.rise[i] * t;
            c[i] = sky + (look.cloudLevel - sky) * std::min(1.0, cloud);
        }
        return true;
    }

    void Background(int x, int y, double scale, double c[3]) const {
        const double u = x * scale, v = y * scale;
        if (Sky(kMixedSky, u, v, y, c)) return;
        // Ground: detail varies across the frame, as focus and subject matter do.
        const double detail = 0.3 + 1.4 * mask_.At(u * 4, v * 4);
        const double t = ground_.Fractal(u * 40, v * 40, 5);
        const double fine = ground_.At(u * 700, v * 700) - 0.5;
        const double shade = (t - 0.5) * 160 * detail + fine * 50 * detail;
        const double grass[3] = {70, 110, 40}, soil[3] = {120, 90, 60};
        const double mixAmount = std::clamp(mask_.At(u * 9 + 3, v * 9), 0.0, 1.0);
        for (int i = 0; i < 3; ++i) c[i] = grass[i] + (soil[i] - grass[i]) * mixAmount + shade;
    }

    // Sky in the top fifth; below it texture at every scale from patches of shrubs down to
    // grains of one or two pixels, strong everywhere, which is what fills a camera's file.
    void DenseLandscape(int x, int y, double scale, double c[3]) const {
        const double u = x * scale, v = y * scale;
        if (Sky(kDenseSky, u, v, y, c)) return;
        const double detail = 0.8 + 0.4 * mask_.At(u * 4, v * 4);
        const double patches = ground_.Fractal(u * 40, v * 40, 5) - 0.5;
        const double leaves = ground_.Fractal(u * 400 + 7.7, v * 400, 3) - 0.5;
        const double grains = ground_.At(u * kGrainCells, v * kGrainCells) - 0.5;
        const double speckle = PixelHash(x, y) - 0.5;
        const double shade = detail * (patches * 120 + leaves * 90 + grains * kGrainLevels + speckle * kSpeckleLevels);
        const double foliage[3] = {60, 95, 35}, gravel[3] = {135, 125, 110};
        const double mixAmount = std::clamp(mask_.Fractal(u * 12 + 3, v * 12, 3) * 1.6 - 0.3, 0.0, 1.0);
        // Leaves and stones differ in hue too, so the chroma carries detail as well.
        const double tint[3] = {1.0 + 0.25 * leaves, 1.0, 1.0 - 0.25 * leaves};
        for (int i = 0; i < 3; ++i) c[i] = foliage[i] + (gravel[i] - foliage[i]) * mixAmount + shade * tint[i];
    }

    // In [0, 1), from the position alone: the sensor noise's generator stays untouched.
    static double PixelHash(int x, int y) {
        const uint64_t h = Mix(static_cast<uint64_t>(y) * 0x1000193u + static_cast<uint64_t>(x));
        return static_cast<double>(h >> 11) * 0x1.0p-53;
    }

    static void Paint(const Building& b, int x, int y, double c[3]) {
        if (x < b.x0 || x >= b.x1 || y < b.top) return;
        const int px = (x - b.x0) % (b.windowW + b.gap), py = (y - b.top) % (b.windowH + b.gap);
        const bool window = px >= b.gap && py >= b.gap;
        for (int i = 0; i < 3; ++i) c[i] = window ? 30 + 0.3 * b.rgb[i] : b.rgb[i];
    }

    // Strength of the finest texture, tuned so that a 6000 x 4000 frame at cjpeg -quality 92
    // 4:2:0 comes to about 6.9 MB, as a high-end camera's landscape does.
    static constexpr double kGrainCells = 1500;  // lattice cells across the frame: grains of 4 pixels at 6000
    static constexpr double kGrainLevels = 50;
    static constexpr double kSpeckleLevels = 14;

    Scene scene_;
    int width_, height_;
    ValueNoise clouds_, ground_, mask_;
    Random random_;
    std::vector<Building> buildings_;
};

// Sums pixels into thumbnail cells row by row; each cell is the mean of its source box.
class Thumbnail {
public:
    Thumbnail(int width, int height, int thumbWidth, int thumbHeight)
        : width_(width), height_(height), tw_(thumbWidth), th_(thumbHeight),
          sums_(static_cast<size_t>(thumbWidth) * thumbHeight * 3), counts_(sums_.size() / 3) {}

    void Add(int y, const std::vector<uint8_t>& rgb) {
        const int ty = static_cast<int>(static_cast<int64_t>(y) * th_ / height_);
        for (int x = 0; x < width_; ++x) {
            const int tx = static_cast<int>(static_cast<int64_t>(x) * tw_ / width_);
            const size_t cell = static_cast<size_t>(ty) * tw_ + tx;
            for (int i = 0; i < 3; ++i) sums_[cell * 3 + i] += rgb[static_cast<size_t>(x) * 3 + i];
            ++counts_[cell];
        }
    }

    std::vector<uint8_t> Pixels() const {
        std::vector<uint8_t> pixels(sums_.size());
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint8_t>(sums_[i] / std::max<uint64_t>(1, counts_[i / 3]));
        return pixels;
    }

private:
    int width_, height_, tw_, th_;
    std::vector<uint64_t> sums_;
    std::vector<uint64_t> counts_;
};

bool WritePpmHeader(std::FILE* file, int width, int height) {
    return std::fprintf(file, "P6\n%d %d\n255\n", width, height) > 0;
}

int Usage() {
    std::fprintf(stderr, "usage: make_photo [--dense] WIDTH HEIGHT SEED OUT.ppm [THUMB.ppm THUMB_WIDTH THUMB_HEIGHT]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Scene sceneKind = Scene::Mixed;
    if (argc > 1 && std::string(argv[1]) == "--dense") {
        sceneKind = Scene::Dense;
        --argc;
        ++argv;
    }
    if (argc != 5 && argc != 8) return Usage();
    const int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
    const uint64_t seed = std::strtoull(argv[3], nullptr, 10);
    const int thumbWidth = argc == 8 ? std::atoi(argv[6]) : 0, thumbHeight = argc == 8 ? std::atoi(argv[7]) : 0;
    if (width <= 0 || height <= 0 || (argc == 8 && (thumbWidth <= 0 || thumbHeight <= 0))) return Usage();

    std::FILE* out = std::fopen(argv[4], "wb");
    if (!out || !WritePpmHeader(out, width, height)) {
        std::fprintf(stderr, "make_photo: cannot write %s\n", argv[4]);
        return 1;
    }
    PhotoScene scene(sceneKind, width, height, seed);
    Thumbnail thumbnail(width, height, std::max(1, thumbWidth), std::max(1, thumbHeight));
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        scene.Row(y, row);
        if (argc == 8) thumbnail.Add(y, row);
        if (std::fwrite(row.data(), 1, row.size(), out) != row.size()) {
            std::fprintf(stderr, "make_photo: cannot write %s\n", argv[4]);
            return 1;
        }
    }
    if (std::fclose(out) != 0) return 1;

    if (argc == 8) {
        std::FILE* thumb = std::fopen(argv[5], "wb");
        const std::vector<uint8_t> pixels = thumbnail.Pixels();
        if (!thumb || !WritePpmHeader(thumb, thumbWidth, thumbHeight) ||
            std::fwrite(pixels.data(), 1, pixels.size(), thumb) != pixels.size() || std::fclose(thumb) != 0) {
            std::fprintf(stderr, "make_photo: cannot write %s\n", argv[5]);
            return 1;
        }
    }
    return 0;
}
