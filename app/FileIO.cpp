#include "FileIO.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <new>

#include "AppTexts.h"

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
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    if (written) written = file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
                           static_cast<qint64>(size);
    // commit() renames the finished file over the old one; cancelled, it removes the temporary.
    if (written) {
        written = file.commit();
    } else {
        file.cancelWriting();
    }
    if (!written && error) *error = texts::kCannotCreateFile.arg(QDir::toNativeSeparators(path));
    return written;
}
