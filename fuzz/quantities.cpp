// A warehouse's list of quantities: CSV text, or an XLSX workbook, a zip archive whose
// directory the core reads itself.
#include "FuzzSupport.h"

#include "core/rules/QuantityFile.h"
#include "core/rules/ZipArchive.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = bytesOf(data, size);
    QuantityFile::parseCsv(bytes);
    if (const std::optional<ZipArchive> zip = ZipArchive::fromBytes(bytes)) {
        QByteArray read;
        for (const char* name : {"xl/workbook.xml", "xl/_rels/workbook.xml.rels",
                                 "xl/sharedStrings.xml", "xl/worksheets/sheet1.xml"})
            zip->read(QString::fromLatin1(name), 64 * 1024, read);
    }
    // Only an archive is worth the round through a file.
    if (!bytes.startsWith("PK"))
        return 0;
    static QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("list.xlsx"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
        file.close();
        QuantityFile::readXlsx(path);
    }
    return 0;
}
