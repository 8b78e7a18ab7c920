#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A warehouse's list of quantities as rows of text cells: a CSV file (separator ";", ","
// or tab, found from the file; UTF-8 with or without a byte-order mark, or
// windows-1251; quoted fields) or the first sheet of an XLSX workbook. Blank rows are
// left out; each row keeps the number of its line in the file.
struct QuantityFile {
    struct Row {
        int line = 0; // 1-based, as a spreadsheet numbers it
        QStringList cells;
    };
    QList<Row> rows;

    // A file larger than this is not read.
    static constexpr qint64 MaxBytes = 64 * 1024 * 1024;

    // Nothing, with the reason in `error`, when the file cannot be read.
    static std::optional<QuantityFile> read(const QString& path, QString* error = nullptr);
    static QuantityFile parseCsv(const QByteArray& bytes);
    static std::optional<QuantityFile> readXlsx(const QString& path, QString* error = nullptr);
    // The text of CSV bytes: UTF-8 when they are valid UTF-8, else windows-1251.
    static QString decodeText(const QByteArray& bytes);
};
