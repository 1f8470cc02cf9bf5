#include "FileIO.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <new>

#include "AppTexts.h"

#ifdef Q_OS_WIN
#include "AtomicReplace.h"
#endif

namespace pivotta::app {

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
#ifdef Q_OS_WIN
    // ReplaceFileW keeps the replaced file's creation time, attributes and ACL, as the
    // command-line tool's saves do; a read-only file is refused, as creating it anew would be.
    const bool saved = pivotta::win32::WriteFileAtomically(QDir::toNativeSeparators(path).toStdWString(), data, size) == 0;
    if (!saved && error) *error = texts::kCannotCreateFile.arg(QDir::toNativeSeparators(path));
    return saved;
#else
    QSaveFile file(path);
    // Unbuffered, so that a short write (a full disk, a size limit) is seen here: a buffered
    // QSaveFile loses that error when it flushes and commits the truncated file.
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    const auto total = static_cast<qint64>(size);
    qint64 done = 0;
    while (written && done < total) {
        const qint64 chunk = file.write(reinterpret_cast<const char*>(data) + done, total - done);
        written = chunk > 0;
        if (written) done += chunk;
    }
    written = written && file.size() == total;
    // commit() renames the finished file over the old one; cancelled, it removes the temporary.
    if (written) {
        written = file.commit();
    } else {
        file.cancelWriting();
    }
    if (!written && error) *error = texts::kCannotCreateFile.arg(QDir::toNativeSeparators(path));
    return written;
#endif
}

}  // namespace pivotta::app
