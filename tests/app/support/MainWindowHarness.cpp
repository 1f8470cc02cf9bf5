#include "MainWindowHarness.h"


#include <QFile>
#include <QSettings>
#include <stdexcept>

#include "JpegFixtures.h"
#include "JpegRotation.h"

namespace pivotta::app {

namespace {

size_t FindMarker(const std::vector<uint8_t>& jpeg, uint8_t marker)
{
    for (size_t i = 2; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) return i;
    }
    throw std::runtime_error("marker not found in test JPEG");
}

std::vector<uint8_t> MakeFixture(int width, int height, uint32_t seed, bool progressive, bool optimized)
{
    pivotta::test::FixtureSpec spec;
    spec.width = width;
    spec.height = height;
    spec.seed = seed;
    spec.progressive = progressive;
    spec.optimizeHuffman = optimized;
    return pivotta::test::MakeJpeg(spec);
}

}  // namespace

MainWindowHarness::MainWindowHarness(const QStringList& arguments)
{
    platform.desktopFolder = dir_.path() + QStringLiteral("/desktop");
    Recreate(arguments);
}

MainWindowHarness::~MainWindowHarness() = default;

QString MainWindowHarness::SettingsPath() const
{
    return dir_.filePath(QStringLiteral("Pivotta.conf"));
}

void MainWindowHarness::Restart(const QStringList& arguments)
{
    windows_->Main.close();
    Recreate(arguments);
}

void MainWindowHarness::Recreate(const QStringList& arguments)
{
    windows_.reset();
    key_ = std::make_unique<QSettingsKey>(std::make_unique<QSettings>(SettingsPath(), QSettings::IniFormat));
    windows_ = std::make_unique<ProgramWindows>(platform, *key_, arguments);
}

QString MainWindowHarness::Path(const QString& name) const
{
    return dir_.filePath(name);
}

QString MainWindowHarness::WriteFile(const QString& name, const std::vector<uint8_t>& bytes) const
{
    const QString path = Path(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw std::runtime_error("cannot write test file");
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
}

std::vector<uint8_t> TestJpeg(int width, int height, uint32_t seed)
{
    return MakeFixture(width, height, seed, false, false);
}

std::vector<uint8_t> OptimizedJpeg(int width, int height)
{
    return MakeFixture(width, height, 1, false, true);
}

std::vector<uint8_t> CutShortScan(const std::vector<uint8_t>& jpeg)
{
    const size_t sos = FindMarker(jpeg, 0xDA);
    const size_t scanStart = sos + 2 + ((jpeg[sos + 2] << 8) | jpeg[sos + 3]);
    std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(scanStart + 16));
    cut.push_back(0xFF);
    cut.push_back(0xD9);
    return cut;
}

std::vector<uint8_t> UndefinedQuantTable(const std::vector<uint8_t>& jpeg)
{
    std::vector<uint8_t> changed = jpeg;
    const size_t sof = FindMarker(changed, 0xC0);
    // FF C0, length, precision, height, width, count, then (id, sampling, Tq) per component.
    changed[sof + 2 + 2 + 1 + 2 + 2 + 1 + 2] = 3;
    return changed;
}

std::vector<uint8_t> EngineTransform(const std::vector<uint8_t>& jpeg, pivotta::TransformKind kind)
{
    pivotta::TJpegRotation engine;
    const pivotta::TMemoryStream input(jpeg);
    pivotta::TMemoryStream output;
    if (!engine.CheckJpeg(input) || !engine.RotateJpeg(input, output, kind)) return {};
    return output.Bytes();
}

std::vector<uint8_t> ReadBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<uint8_t> StreamBytes(const pivotta::TMemoryStream& stream)
{
    return stream.Bytes();
}

}  // namespace pivotta::app
