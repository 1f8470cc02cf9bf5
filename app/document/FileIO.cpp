#include "FileIO.h"

#include <QDir>
#include <QFile>
#include <new>

#include "AppTexts.h"
#include "AtomicFile.h"

namespace pivotta::app {

namespace {

// The shared save takes UTF-8 on Windows and the file system's own bytes elsewhere.
std::string FileSystemName(const QString& path)
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(path).toStdString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

}  // namespace

bool ReadWholeFile(const QString& path, std::vector<uint8_t>& bytes, QString* error)
{
    QFile file(path);
    const auto fail = [&] {
        bytes.clear();
        if (error) *error = texts::kCannotOpenFile.arg(QDir::toNativeSeparators(path));
        return false;
    };
    if (!file.open(QIODevice::ReadOnly)) return fail();
    try {
        bytes.resize(static_cast<size_t>(file.size()));
    } catch (const std::bad_alloc&) {
        return fail();
    }
    qint64 done = 0;
    while (done < static_cast<qint64>(bytes.size())) {
        const qint64 got = file.read(reinterpret_cast<char*>(bytes.data()) + done,
                                     static_cast<qint64>(bytes.size()) - done);
        if (got <= 0) return fail();
        done += got;
    }
    return true;
}

bool WriteFileAtomically(const QString& path, const uint8_t* data, size_t size, QString* error)
{
    // The command-line tool's save: a temporary file beside the target renamed over it, a
    // write-protected file or a folder refused, a device written into, owner and mode kept.
    const pivotta::files::WriteResult saved = pivotta::files::SaveFile(FileSystemName(path), {data, size});
    if (!saved.ok && error) *error = texts::kCannotCreateFile.arg(QDir::toNativeSeparators(path));
    return saved.ok;
}

}  // namespace pivotta::app
