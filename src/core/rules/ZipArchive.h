#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// A zip archive held in memory, as an XLSX workbook is: its entries are found by name
// through the central directory and inflated one at a time, never past a size limit.
// Archives that span disks, entries that are encrypted, stored in 64-bit form or
// compressed other than by deflate are not read.
class ZipArchive {
public:
    enum class Entry { Read, Missing, Unreadable, Damaged };

    // Nothing when `bytes` holds no readable central directory.
    static std::optional<ZipArchive> fromBytes(QByteArray bytes);

    // The entry `name` into `out`, refused as Unreadable when it is larger than `maxBytes`
    // and as Damaged when its data does not inflate to the size and checksum recorded.
    Entry read(const QString& name, qint64 maxBytes, QByteArray& out) const;

private:
    struct Stored {
        quint16 flags = 0;
        quint16 method = 0;
        quint32 crc = 0;
        quint32 compressedSize = 0;
        quint32 size = 0;
        quint32 localHeader = 0;
    };

    QByteArray m_bytes;
    QHash<QString, Stored> m_entries;
};
