#pragma once

#include <QByteArray>
#include <QString>

// Writes a whole file so that nothing is ever half-written: a regular file is replaced
// only once the new content is complete; a pipe or a device is written to as it is.
namespace FileWriter {
bool write(const QString& path, const QByteArray& bytes, QString* error = nullptr);
} // namespace FileWriter
