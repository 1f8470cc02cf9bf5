// Writes damaged copies of real JPEG files, the way cards, cables and downloads damage them:
//   make_mutants SOURCE_DIR OUT_DIR COUNT [SEED]
// Each copy gets one to three kinds of damage (cut short, bits flipped, bytes overwritten,
// runs lost, repeated or zeroed, garbage inserted), aimed at the headers half of the time.
// File names say what was done: 00042-Canon_40D-cut@51234.jpg.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct Source {
    std::string name;
    Bytes bytes;
    size_t scanStart = 0;  // first byte after the scan header, or 0 when not found
};

size_t FindScanStart(const Bytes& b) {
    for (size_t i = 0; i + 3 < b.size(); ++i) {
        if (b[i] == 0xFF && b[i + 1] == 0xDA) return i + 2 + (static_cast<size_t>(b[i + 2]) << 8 | b[i + 3]);
    }
    return 0;
}

class Mutator {
public:
    explicit Mutator(uint32_t seed) : random_(seed) {}

    std::string Damage(Bytes& file, const Source& source) {
        if (file.size() < 4) return "tiny";
        // Half of the damage falls on the headers, where one byte changes the most.
        const size_t headerEnd = source.scanStart != 0 ? std::min(source.scanStart, file.size()) : file.size();
        const size_t at = Below(2) == 0 ? Below(headerEnd) : Below(file.size());
        switch (Below(7)) {
            case 0:
                file.resize(at);
                return "cut@" + std::to_string(at);
            case 1:
                file[at] ^= static_cast<uint8_t>(1u << Below(8));
                return "flip@" + std::to_string(at);
            case 2:
                file[at] = static_cast<uint8_t>(Below(256));
                return "byte@" + std::to_string(at);
            case 3: {
                const size_t length = std::min(file.size() - at, 1 + Below(64));
                file.erase(file.begin() + static_cast<std::ptrdiff_t>(at), file.begin() + static_cast<std::ptrdiff_t>(at + length));
                return "lose" + std::to_string(length) + "@" + std::to_string(at);
            }
            case 4: {
                const size_t length = std::min(file.size() - at, 1 + Below(64));
                const Bytes run(file.begin() + static_cast<std::ptrdiff_t>(at), file.begin() + static_cast<std::ptrdiff_t>(at + length));
                file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), run.begin(), run.end());
                return "repeat" + std::to_string(length) + "@" + std::to_string(at);
            }
            case 5: {
                const size_t length = std::min(file.size() - at, 1 + Below(4096));
                std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(at), length, Below(2) == 0 ? 0x00 : 0xFF);
                return "fill" + std::to_string(length) + "@" + std::to_string(at);
            }
            default: {
                Bytes garbage(1 + Below(32));
                for (uint8_t& g : garbage) g = static_cast<uint8_t>(Below(256));
                file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), garbage.begin(), garbage.end());
                return "insert" + std::to_string(garbage.size()) + "@" + std::to_string(at);
            }
        }
    }

    size_t Below(size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random_); }

private:
    std::mt19937 random_;
};

std::vector<Source> LoadSources(const fs::path& dir) {
    std::vector<Source> sources;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".jpg") continue;
        std::ifstream file(entry.path(), std::ios::binary);
        Source source{entry.path().stem().string(),
                      Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>())};
        source.scanStart = FindScanStart(source.bytes);
        sources.push_back(std::move(source));
    }
    std::sort(sources.begin(), sources.end(), [](const Source& a, const Source& b) { return a.name < b.name; });
    return sources;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_mutants SOURCE_DIR OUT_DIR COUNT [SEED]\n");
        return 2;
    }
    const std::vector<Source> sources = LoadSources(argv[1]);
    if (sources.empty()) {
        std::fprintf(stderr, "make_mutants: no .jpg files in %s\n", argv[1]);
        return 1;
    }
    const fs::path out = argv[2];
    fs::create_directories(out);
    const int count = std::atoi(argv[3]);
    Mutator mutator(argc > 4 ? static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)) : 1);
    for (int i = 0; i < count; ++i) {
        const Source& source = sources[static_cast<size_t>(i) % sources.size()];
        Bytes file = source.bytes;
        std::string how;
        for (size_t n = 1 + mutator.Below(3); n > 0; --n) how += (how.empty() ? "" : "+") + mutator.Damage(file, source);
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%05d-", i);
        std::ofstream(out / (prefix + source.name + "-" + how + ".jpg"), std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    std::printf("%d damaged copies of %zu files in %s\n", count, sources.size(), argv[2]);
    return 0;
}
