#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

// Writes a whole file so that nothing is ever half-written: a regular file is replaced
// only once the new content is complete; a pipe or a device is written to as it is.
// Every write, flush and close is checked; a full disk is said in so many words. A path
// that is empty or holds a control character (a NUL would cut it short) is not written.
namespace FileWriter {
bool write(const QString& path, const QByteArray& bytes, QString* error = nullptr);
// Writes to a device that is already open, such as standard output, and flushes it.
bool write(QIODevice& device, const QByteArray& bytes, QString* error = nullptr);

inline const QString DiskFull = QStringLiteral("Диск заполнен: нет места для записи");
} // namespace FileWriter
