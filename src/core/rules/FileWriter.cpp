#include "core/rules/FileWriter.h"

#include "core/rules/SafeNames.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace FileWriter {
namespace {

// The system's own text for a full disk is often only "Unknown error".
QString describe(const QIODevice& device, int error)
{
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    if (error == ENOSPC || error == EDQUOT || (file && file->error() == QFileDevice::ResourceError))
        return DiskFull;
    return device.errorString();
}

bool fail(const QIODevice& device, QString* error)
{
    const int number = errno;
    if (error)
        *error = describe(device, number);
    return false;
}

} // namespace

bool write(QIODevice& device, const QByteArray& bytes, QString* error)
{
    errno = 0;
    if (device.write(bytes) != bytes.size())
        return fail(device, error);
    if (auto* file = qobject_cast<QFileDevice*>(&device); file && !file->flush())
        return fail(device, error);
    return true;
}

bool write(const QString& path, const QByteArray& bytes, QString* error)
{
    const QString refusal =
        path.isEmpty() ? QStringLiteral("пусто") : SafeNames::lineRefusal(path, path.size());
    if (!refusal.isEmpty()) {
        if (error)
            *error = QStringLiteral("недопустимое имя файла: оно ") + refusal;
        return false;
    }
    const QFileInfo target(path);
    errno = 0;
    if (!target.exists() || target.isFile()) {
        QSaveFile replacement(path);
        if (!replacement.open(QIODevice::WriteOnly))
            return fail(replacement, error);
        return write(replacement, bytes, error) &&
               (replacement.commit() || fail(replacement, error));
    }
    QFile direct(path);
    if (!direct.open(QIODevice::WriteOnly))
        return fail(direct, error);
    if (!write(direct, bytes, error))
        return false;
    direct.close();
    if (direct.error() != QFileDevice::NoError)
        return fail(direct, error);
    return true;
}

} // namespace FileWriter
