#include "core/rules/QuantityFile.h"

#include "core/rules/Cp1251.h"
#include "core/rules/XmlDocument.h"
#include "core/rules/ZipArchive.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringConverter>

namespace {

// The separator that splits the first row into the most fields, quotes respected.
QChar detectSeparator(QStringView text)
{
    int semicolons = 0, commas = 0, tabs = 0;
    bool quoted = false;
    for (QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('\n'))
            break;
        else if (!quoted && c == QLatin1Char(';'))
            ++semicolons;
        else if (!quoted && c == QLatin1Char(','))
            ++commas;
        else if (!quoted && c == QLatin1Char('\t'))
            ++tabs;
    }
    if (tabs >= semicolons && tabs >= commas && tabs > 0)
        return QLatin1Char('\t');
    if (semicolons >= commas && semicolons > 0)
        return QLatin1Char(';');
    return commas > 0 ? QLatin1Char(',') : QLatin1Char(';');
}

bool isBlank(const QStringList& cells)
{
    return std::all_of(cells.begin(), cells.end(),
                       [](const QString& cell) { return cell.trimmed().isEmpty(); });
}

// "A1" → 0, "AB7" → 27; -1 for a reference without letters.
int columnOf(QStringView reference)
{
    int column = 0;
    int letters = 0;
    for (QChar c : reference) {
        if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
            break;
        column = column * 26 + (c.unicode() - 'A' + 1);
        ++letters;
        if (letters > 3)
            return -1;
    }
    return letters == 0 ? -1 : column - 1;
}

std::optional<QByteArray> readEntry(const ZipArchive& zip, const QString& name, QString* error)
{
    QByteArray bytes;
    QString problem;
    switch (zip.read(name, QuantityFile::MaxBytes, bytes)) {
    case ZipArchive::Entry::Read:
        return bytes;
    case ZipArchive::Entry::Missing:
        problem = QStringLiteral("в книге нет части %1").arg(name);
        break;
    case ZipArchive::Entry::Unreadable:
        problem = QStringLiteral("часть %1 книги не читается").arg(name);
        break;
    case ZipArchive::Entry::Damaged:
        problem = QStringLiteral("часть %1 книги повреждена").arg(name);
        break;
    }
    if (error)
        *error = problem;
    return std::nullopt;
}

XmlNode child(const XmlNode& node, const QString& name)
{
    for (const XmlNode& c : node.childNodes()) {
        if (c.isElement() && c.name() == name)
            return c;
    }
    return {};
}

// The worksheet the workbook names first.
QString firstSheetPath(const ZipArchive& zip)
{
    const QString fallback = QStringLiteral("xl/worksheets/sheet1.xml");
    const std::optional<QByteArray> workbook =
        readEntry(zip, QStringLiteral("xl/workbook.xml"), nullptr);
    const std::optional<QByteArray> rels =
        readEntry(zip, QStringLiteral("xl/_rels/workbook.xml.rels"), nullptr);
    if (!workbook || !rels)
        return fallback;
    // The documents live as long as the nodes read from them.
    const XmlDocument book = XmlDocument::fromBytes(*workbook);
    const XmlDocument relations = XmlDocument::fromBytes(*rels);
    const QString id = child(child(book.root(), QStringLiteral("sheets")), QStringLiteral("sheet"))
                           .attribute("id");
    for (const XmlNode& rel : relations.root().childNodes()) {
        if (rel.isElement() && rel.attribute("Id") == id) {
            const QString target = rel.attribute("Target");
            return target.startsWith(QLatin1Char('/')) ? target.mid(1)
                                                       : QStringLiteral("xl/") + target;
        }
    }
    return fallback;
}

QStringList sharedStrings(const ZipArchive& zip)
{
    QStringList strings;
    const std::optional<QByteArray> bytes =
        readEntry(zip, QStringLiteral("xl/sharedStrings.xml"), nullptr);
    if (!bytes)
        return strings;
    const XmlDocument document = XmlDocument::fromBytes(*bytes);
    for (const XmlNode& item : document.root().childNodes()) {
        if (!item.isElement() || item.name() != QLatin1String("si"))
            continue;
        // Rich text runs hold their text in r/t; phonetic hints (rPh) are not the text.
        QString text;
        for (const XmlNode& part : item.childNodes()) {
            if (part.name() == QLatin1String("t"))
                text += part.text();
            else if (part.name() == QLatin1String("r"))
                text += child(part, QStringLiteral("t")).text();
        }
        strings.append(text);
    }
    return strings;
}

} // namespace

QString QuantityFile::decodeText(const QByteArray& bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    return Cp1251::decode(view.toByteArray());
}

QuantityFile QuantityFile::parseCsv(const QByteArray& bytes)
{
    const QString text = decodeText(bytes);
    const QChar separator = detectSeparator(text);
    QuantityFile file;
    QStringList cells;
    QString cell;
    bool quoted = false;
    int line = 1;
    int rowLine = 1;
    const auto endRow = [&] {
        cells.append(cell);
        cell.clear();
        if (!isBlank(cells))
            file.rows.append({rowLine, cells});
        cells.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() &&
                text.at(i + 1) == QLatin1Char('"')) {
                cell += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                line += c == QLatin1Char('\n') ? 1 : 0;
                cell += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == separator) {
            cells.append(cell);
            cell.clear();
        } else if (c == QLatin1Char('\n')) {
            endRow();
            rowLine = ++line;
        } else if (c != QLatin1Char('\r')) {
            cell += c;
        }
    }
    if (!cell.isEmpty() || !cells.isEmpty())
        endRow();
    return file;
}

std::optional<QuantityFile> QuantityFile::readXlsx(const QString& path, QString* error)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error)
            *error = in.errorString();
        return std::nullopt;
    }
    QByteArray bytes = in.read(MaxBytes + 1);
    if (bytes.size() > MaxBytes) {
        if (error)
            *error = QStringLiteral("файл больше %1 МБ").arg(MaxBytes / (1024 * 1024));
        return std::nullopt;
    }
    const std::optional<ZipArchive> zip = ZipArchive::fromBytes(std::move(bytes));
    if (!zip) {
        if (error)
            *error = QStringLiteral("файл не является книгой XLSX");
        return std::nullopt;
    }
    const QStringList strings = sharedStrings(*zip);
    const std::optional<QByteArray> sheet = readEntry(*zip, firstSheetPath(*zip), error);
    if (!sheet)
        return std::nullopt;
    const XmlDocument document = XmlDocument::fromBytes(*sheet);
    const XmlNode data = child(document.root(), QStringLiteral("sheetData"));
    if (document.isEmpty() || data.isNull()) {
        if (error)
            *error = QStringLiteral("лист книги повреждён");
        return std::nullopt;
    }
    QuantityFile file;
    // A row without its number follows the row before it, blank or not.
    int previous = 0;
    for (const XmlNode& row : data.childNodes()) {
        if (!row.isElement() || row.name() != QLatin1String("row"))
            continue;
        Row read;
        read.line = row.attribute("r").toInt();
        if (read.line <= 0)
            read.line = previous + 1;
        previous = read.line;
        for (const XmlNode& c : row.childNodes()) {
            if (!c.isElement() || c.name() != QLatin1String("c"))
                continue;
            int column = columnOf(c.attribute("r"));
            if (column < 0)
                column = int(read.cells.size());
            if (column > 16383)
                continue;
            const QString type = c.attribute("t");
            QString value;
            if (type == QLatin1String("s"))
                value = strings.value(child(c, QStringLiteral("v")).text().toInt());
            else if (type == QLatin1String("inlineStr"))
                value = child(c, QStringLiteral("is")).text();
            else
                value = child(c, QStringLiteral("v")).text();
            while (read.cells.size() <= column)
                read.cells.append(QString());
            read.cells[column] = value;
        }
        if (!isBlank(read.cells))
            file.rows.append(read);
    }
    return file;
}

std::optional<QuantityFile> QuantityFile::read(const QString& path, QString* error)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error)
            *error = in.errorString();
        return std::nullopt;
    }
    if (in.size() > MaxBytes) {
        if (error)
            *error = QStringLiteral("файл больше %1 МБ").arg(MaxBytes / (1024 * 1024));
        return std::nullopt;
    }
    const QByteArray head = in.peek(4);
    // An XLSX workbook is a zip archive.
    if (head.startsWith("PK\x03\x04") ||
        QFileInfo(path).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0) {
        in.close();
        return readXlsx(path, error);
    }
    return parseCsv(in.readAll());
}
