#include "storage/FileWriter.h"

#include <QFileInfo>
#include <QSaveFile>

bool FileWriter::write(const QString& path, const QByteArray& bytes, QString* error)
{
    const QFileInfo target(path);
    const bool replace = !target.exists() || target.isFile();
    QSaveFile replacement(path);
    QFile direct(path);
    QFileDevice& file = replace ? static_cast<QFileDevice&>(replacement) : direct;
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
        (!replace || replacement.commit()))
        return true;
    if (error)
        *error = file.errorString();
    return false;
}
