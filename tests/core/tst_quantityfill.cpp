#include "CoreForm.h"
#include "CoreRulesFixture.h"

#include "core/actions/QuantityFill.h"
#include "core/rules/Cp1251.h"
#include "core/rules/QuantityFile.h"
#include "core/rules/ResponseType.h"
#include "core/rules/ZipArchive.h"

#include <QBuffer>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

using namespace DocumentTexts;
using Rows = QList<std::pair<int, QStringList>>;

namespace {

QString ean(int n)
{
    return QStringLiteral("460123456%1").arg(n, 4, 10, QLatin1Char('0'));
}

// An archive written by an independent zip implementation, deflated unless `method` is 0.
QByteArray zipBytes(const QList<std::pair<QString, QByteArray>>& parts, int method = Z_DEFLATED)
{
    QBuffer buffer;
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdCreate))
        return {};
    for (const auto& [name, bytes] : parts) {
        QuaZipFile part(&zip);
        if (!part.open(QIODevice::WriteOnly, QuaZipNewInfo(name), nullptr, 0, method) ||
            part.write(bytes) != bytes.size())
            return {};
        part.close();
    }
    zip.close();
    return zip.getZipError() == 0 ? buffer.data() : QByteArray();
}

const QByteArray Workbook =
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<sheets><sheet name=\"Остатки\" sheetId=\"1\" r:id=\"rId7\"/></sheets></workbook>";
const QByteArray Relations =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId7\" Target=\"worksheets/stock.xml\"/></Relationships>";
const QByteArray Shared =
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<si><t>ШК</t></si><si><r><t>Оста</t></r><r><t>ток</t></r></si></sst>";
// Shared strings, an inline string, numbers, a cell left out, an empty row the sheet leaves
// out (3), a blank one, and one that gives neither its number nor its cells' (6).
const QByteArray Sheet =
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
    "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"C1\" t=\"s\"><v>1</v></c></row>"
    "<row r=\"2\"><c r=\"A2\"><v>4601234560001</v></c><c r=\"C2\"><v>7.5</v></c></row>"
    "<row r=\"4\"><c r=\"A4\" t=\"inlineStr\"><is><t>4601234560002</t></is></c>"
    "<c r=\"B4\" t=\"inlineStr\"><is><t>примечание</t></is></c><c r=\"C4\"><v>3</v></c></row>"
    "<row r=\"5\"><c r=\"B5\" t=\"inlineStr\"><is><t> </t></is></c></row>"
    "<row><c t=\"inlineStr\"><is><t>4601234560003</t></is></c><c/><c><v>2</v></c></row>"
    "</sheetData></worksheet>";

} // namespace

class TestQuantityFill : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(); }

    // A list is comma-separated text or a workbook, whose first sheet is read.
    void readsAList_data()
    {
        // No rows: the file cannot be read, and says why.
        columns<QByteArray, Rows>("bytes", "rows");
        QTest::newRow("a Russian spreadsheet's export: windows-1251, semicolons, decimal comma")
            << Cp1251::encode("ШК;Кол-во\r\n4601234560001;12,5\r\n")
            << Rows{{1, {"ШК", "Кол-во"}}, {2, {"4601234560001", "12,5"}}};
        QTest::newRow("UTF-8 with a byte-order mark and tabs")
            << QByteArray("\uFEFFEAN\tQty\n4601234560001\t3.5\n")
            << Rows{{1, {"EAN", "Qty"}}, {2, {"4601234560001", "3.5"}}};
        QTest::newRow("a tab, a semicolon and a comma as often in the first line: tabs")
            << QByteArray("EAN\tКол-во; шт, уп\n4601\t2,5\n")
            << Rows{{1, {"EAN", "Кол-во; шт, уп"}}, {2, {"4601", "2,5"}}};
        QTest::newRow("a semicolon and a comma as often in the first line: semicolons")
            << QByteArray("EAN;Кол-во, шт\n4601;2,5\n")
            << Rows{{1, {"EAN", "Кол-во, шт"}}, {2, {"4601", "2,5"}}};
        QTest::newRow("commas, quoted fields holding commas and doubled quotes")
            << QByteArray("EAN,Name,Qty\n4601,\"Молоко, 1 л \"\"Домик\"\"\",3\n")
            << Rows{{1, {"EAN", "Name", "Qty"}}, {2, {"4601", "Молоко, 1 л \"Домик\"", "3"}}};
        QTest::newRow("blank rows are left out and the rows keep their line numbers")
            << QByteArray("EAN;Qty\n\n;\n4602;1") << Rows{{1, {"EAN", "Qty"}}, {4, {"4602", "1"}}};
        QTest::newRow("a quoted field across two lines is one cell")
            << QByteArray("EAN;Note;Qty\n4601;\"a\nb\";2\n4602;x;3\n")
            << Rows{{1, {"EAN", "Note", "Qty"}},
                    {2, {"4601", "a\nb", "2"}},
                    {4, {"4602", "x", "3"}}};
        QByteArray bytes = "EAN;Количество\n";
        Rows rows{{1, {"EAN", "Количество"}}};
        for (int n = 1; n <= 10000; ++n) {
            bytes += ean(n).toLatin1() + ';' + QByteArray::number(n % 9) + ",5\n";
            rows.append({n + 1, {ean(n), QString::number(n % 9) + ",5"}});
        }
        QTest::newRow("ten thousand rows") << bytes << rows;
        const auto workbook = [](const QByteArray& book, const QString& sheet) {
            QList<std::pair<QString, QByteArray>> parts = {
                {"xl/workbook.xml", book},
                {"xl/_rels/workbook.xml.rels", Relations},
                {"xl/sharedStrings.xml", Shared}};
            if (!sheet.isEmpty())
                parts.append({sheet, Sheet});
            return zipBytes(parts);
        };
        const Rows sheet{{1, {"ШК", "", "Остаток"}},
                         {2, {"4601234560001", "", "7.5"}},
                         {4, {"4601234560002", "примечание", "3"}},
                         {6, {"4601234560003", "", "2"}}};
        QTest::newRow("a whole workbook") << workbook(Workbook, "xl/worksheets/stock.xml") << sheet;
        QTest::newRow("a workbook without its sheet cannot be read")
            << workbook(Workbook, {}) << Rows();
        QTest::newRow("a workbook that names no sheet is read from the first sheet's file")
            << workbook("<workbook/>", "xl/worksheets/sheet1.xml") << sheet;
        QTest::newRow("a damaged workbook says why")
            << QByteArray("PK\x03\x04", 4) + QByteArray(300, '\x7f') << Rows();
    }
    void readsAList()
    {
        const auto [bytes, rows] = fetch<QByteArray, Rows>("bytes", "rows");
        QTemporaryDir dir;
        QVERIFY(!bytes.isEmpty() && writeFile(dir.filePath("list"), bytes));
        QString error;
        const std::optional<QuantityFile> file = QuantityFile::read(dir.filePath("list"), &error);
        QVERIFY2(file.has_value() == !rows.isEmpty() && error.isEmpty() == !rows.isEmpty(),
                 qPrintable(error));
        Rows read;
        for (const QuantityFile::Row& row : file.value_or(QuantityFile()).rows)
            read.append({row.line, row.cells});
        QCOMPARE(read, rows);
    }

    void readsZipEntries_data()
    {
        // `damage` is "offset:byte" into the entry's data, or "flags:byte", "method:number"
        // or "size:byte" (the compressed size's top byte) of its directory record.
        columns<int, QString, qint64, QByteArray, int>("method", "name", "limit", "damage",
                                                       "entry");
        using E = ZipArchive::Entry;
        auto row = [](const char* name, E entry, const char* damage = "", int method = Z_DEFLATED,
                      qint64 limit = 1024, const char* entryName = "xl/a.xml") {
            QTest::newRow(name) << method << entryName << limit << QByteArray(damage) << int(entry);
        };
        row("deflated", E::Read);
        row("stored", E::Read, "", 0);
        row("exactly at the limit", E::Read, "", Z_DEFLATED, 598);
        row("names are case-sensitive", E::Missing, "", Z_DEFLATED, 1024, "XL/a.xml");
        row("over the limit", E::Unreadable, "", Z_DEFLATED, 597);
        row("encrypted", E::Unreadable, "flags:1");
        row("a compression method of its own", E::Unreadable, "method:12");
        row("stored bytes changed", E::Damaged, "5:33", 0);
        row("deflated bytes changed", E::Damaged, "3:255");
        row("a compressed size past the archive's end", E::Damaged, "size:127");
    }
    void readsZipEntries()
    {
        const auto [method, name, limit, damage] =
            fetch<int, QString, qint64, QByteArray>("method", "name", "limit", "damage");
        const QByteArray part = QByteArray("<a>") + QByteArray(590, 'x') + "</a>\n";
        QByteArray bytes = zipBytes({{"xl/b.xml", "<b/>"}, {"xl/a.xml", part}}, method);
        QVERIFY(!bytes.isEmpty());
        if (!damage.isEmpty()) {
            const QList<QByteArray> at = damage.split(':');
            const qsizetype record = bytes.lastIndexOf("PK\x01\x02");
            const qsizetype local = bytes.indexOf("PK\x03\x04", 1);
            const qsizetype data = local + 30 + uchar(bytes[local + 26]) + uchar(bytes[local + 28]);
            const QHash<QByteArray, qsizetype> field{
                {"flags", record + 8}, {"method", record + 10}, {"size", record + 23}};
            const qsizetype where = field.value(at[0], data + at[0].toInt());
            bytes[where] = char(at[0] == "flags" ? bytes[where] | at[1].toInt() : at[1].toInt());
        }
        const std::optional<ZipArchive> zip = ZipArchive::fromBytes(bytes);
        QVERIFY(zip);
        QByteArray read;
        const ZipArchive::Entry entry = zip->read(name, limit, read);
        QTEST(int(entry), "entry");
        QCOMPARE(read, entry == ZipArchive::Entry::Read ? part : QByteArray());
        QCOMPARE(zip->read("xl/b.xml", limit, read), ZipArchive::Entry::Read);
        QCOMPARE(read, QByteArray("<b/>"));
    }

    void refusesWhatIsNoArchive_data()
    {
        columns<QByteArray>("bytes");
        const QByteArray whole = zipBytes({{"xl/a.xml", "<a/>"}});
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("cut short") << whole.left(whole.size() - 3);
        QTest::newRow("a local header and nothing else") << whole.left(40);
        QTest::newRow("a directory pointing past its end")
            << whole.left(whole.size() - 6) + QByteArray("\xff\xff\xff\x00\x00\x00", 6);
        // One record more is counted than there are: the next starts with a record's
        // signature four bytes before the end record, and would run past the file.
        const qsizetype end = whole.lastIndexOf("PK\x05\x06");
        QByteArray counted = whole.left(end) + "PK\x01\x02" + whole.mid(end);
        counted[end + 4 + 8] = counted[end + 4 + 10] = 2;
        QTest::newRow("a directory record cut short by the end record") << counted;
    }
    void refusesWhatIsNoArchive()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!ZipArchive::fromBytes(bytes));
    }

    // The columns found in a list's first row; chosen by the user instead, that row is a
    // header unless it has a number where the quantity is.
    void recognisesHeaders_data()
    {
        columns<QStringList, int, int, int, bool>("header", "key", "kind", "quantity",
                                                  "headerRow"); // key -1: none
        const int ean = int(QuantityFill::Key::Ean);
        QTest::newRow("Russian EAN and quantity")
            << QStringList{"Наименование", "Штрих-код", "Кол-во"} << 1 << ean << 2 << true;
        QTest::newRow("English, any case") << QStringList{"QTY", "ean"} << 1 << ean << 0 << true;
        QTest::newRow("the supplier's article when there is no EAN")
            << QStringList{"Артикул", "Остаток"} << 0 << int(QuantityFill::Key::SupplierCode) << 1
            << true;
        QTest::newRow("the EAN wins over an item code")
            << QStringList{"Код поставщика", "EAN", "Количество"} << 1 << ean << 2 << true;
        QTest::newRow("no quantity column") << QStringList{"EAN", "Цена"} << -1 << 0 << -1 << true;
        QTest::newRow("a first row of names is a header")
            << QStringList{"a", "b"} << -1 << 0 << -1 << true;
        QTest::newRow("a first row with a number is data")
            << QStringList{"4601", "1"} << -1 << 0 << -1 << false;
    }
    void recognisesHeaders()
    {
        const auto [header, key, kind, quantity] =
            fetch<QStringList, int, int, int>("header", "key", "kind", "quantity");
        const std::optional<QuantityFill::Columns> found = QuantityFill::recognise(header);
        QCOMPARE((found ? QList<int>{found->key, int(found->keyKind), found->quantity}
                        : QList<int>{-1, 0, -1}),
                 (QList<int>{key, kind, quantity}));
        const QuantityFile file =
            QuantityFile::parseCsv((header.join(';') + "\n4602;2\n").toUtf8());
        const QuantityFill::Columns chosen =
            QuantityFill::chosen(file, 0, QuantityFill::Key::Ean, 1);
        QTEST(chosen.headerRow, "headerRow");
        QCOMPARE(chosen.quantity, 1);
    }

    void fillsThroughTheCellRules_data()
    {
        // `list` is under an "EAN;Кол-во" header; `confirmed`: lines 1 to 3 afterwards and their
        // total; `report`: the lines filled, then the quantities refused, the list's rows not in
        // the order and the order's lines not in the list, each exactly; none: the order is
        // accepted, and only a change is filled.
        columns<QString, QByteArray, QStringList, QStringList, QStringList>(
            "partner", "list", "confirmed", "report", "duplicates");
        const auto row = [](const char* name, const QByteArray& list, const QStringList& confirmed,
                            const QStringList& report, const QStringList& duplicates = {},
                            const QString& partner = BuyerIln) {
            QTest::newRow(name) << partner << "EAN;Кол-во\n" + list << confirmed << report
                                << duplicates;
        };
        const auto line = [](int n) {
            return QStringLiteral("№ %1, EAN %2, Товар %1").arg(n).arg(ean(n));
        };
        const QStringList unchanged{"10,000", "20,000", "30,000", "60,000"};
        row("values within the ordered quantity, normalised",
            "4601234560001;7\n4601234560002;1 234,5\n4601234560003;12.25\n",
            {"7,000", "20,000", "12,250", "39,250"},
            {"2", line(2) + ": 1234,500 — больше заказанного (20,000)"});
        row("the buyer that takes more than ordered", "4601234560002;25\n",
            {"10,000", "25,000", "30,000", "65,000"}, {"1", line(1), line(3)}, {},
            QStringLiteral("4607175249997"));
        row("an accepted order is not filled", "4601234560001;1\n", unchanged, {});
        row("letters are no number", "4601234560001;пять\n", unchanged,
            {"0", line(1) + ": «пять» — не число", line(2), line(3)});
        row("a name given twice leaves its line", "4601234560003;1\n4601234560003;2\n", unchanged,
            {"0", line(1), line(2)}, {"4601234560003 — 2 раза"});
        row("rows naming no line and lines the list does not name are listed",
            "4609999999999;1\n4601234560001;4\n", {"4,000", "20,000", "30,000", "54,000"},
            {"1", "строка 2: 4609999999999", line(2), line(3)});
        row("an EAN a spreadsheet wrote as a number is named as such",
            "4,60123E+12;1\n4601234560001;4\n", {"4,000", "20,000", "30,000", "54,000"},
            {"1",
             "строка 2: 4,60123E+12 — EAN записан таблицей как число, его цифры потеряны; задайте "
             "столбцу текстовый формат",
             line(2), line(3)});
        QTest::newRow("the buyer's item codes, found without regard to case")
            << BuyerIln << QByteArray("Код покупателя;Количество\nb-2;5\n")
            << QStringList{"10,000", "5,000", "30,000", "45,000"}
            << QStringList{"1", line(1), line(3)} << QStringList();
    }
    void fillsThroughTheCellRules()
    {
        const auto [partner, list, report, duplicates] =
            fetch<QString, QByteArray, QStringList, QStringList>("partner", "list", "report",
                                                                 "duplicates");
        OrderForm f(3, partner);
        f.form.selectCboxTyp(report.isEmpty() ? ResponseType::Accept : ResponseType::Change);
        const QuantityFile file = QuantityFile::parseCsv(list);
        const std::optional<QuantityFill::Report> filled =
            QuantityFill::fill(f.form, file, *QuantityFill::columnsOf(file));
        QCOMPARE(filled.has_value(), !report.isEmpty());
        // Recoloured, counted and totalled once, as after a commit.
        QTEST(texts(f.form.lines(), 1, ColConfirmed, 3, ColConfirmed)
                  << f.form.summary().text(1, SumConfirmed),
              "confirmed");
        QCOMPARE(f.messages.texts(), QStringList());
        QCOMPARE(f.form.validLineCount(), int16_t(3));
        if (!filled)
            return;
        QCOMPARE(QStringList{QString::number(filled->filled)} + filled->refused +
                     filled->notInOrder + filled->notInList,
                 report);
        QCOMPARE(filled->duplicates, duplicates);
    }

    // The refusals, which the clerk must act on, come before what did not match.
    void theReportPutsRefusalsFirst()
    {
        QuantityFill::Report report;
        std::tie(report.refused, report.notInOrder, report.notInList, report.duplicates) =
            std::tuple(QStringList{"a"}, QStringList{"b"}, QStringList{"c"}, QStringList{"d"});
        QCOMPARE(report.text(), "Заполнено строк: 0\n\nНе принятые количества (1):\n  a\n\n"
                                "Строки файла, которых нет в заказе (1):\n  b\n\n"
                                "Строки заказа, которых нет в файле (1):\n  c\n\n"
                                "Повторы в файле (эти строки не заполнены) (1):\n  d\n");
        QVERIFY(QuantityFill::spreadsheetNumber("4.6E+12"));
        QVERIFY(!QuantityFill::spreadsheetNumber("4601234560001"));
    }
};

QTEST_GUILESS_MAIN(TestQuantityFill)
#include "tst_quantityfill.moc"
