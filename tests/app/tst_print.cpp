#include "AppTest.h"
#include "CoreTable.h"

#include "app/print/ConfirmationPrint.h"
#include "app/print/PrintCommands.h"

#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QRegularExpression>

using namespace DocumentTexts;

namespace {

constexpr int LongOrder = 1723;

// Every fifth line has a name long enough to take three lines of its row, ending in a
// mark of its own, so that a row split between two pages would show.
QString longOrder()
{
    QStringList lines;
    for (int n = 1; n <= LongOrder; ++n) {
        Elements item = orderItem(n);
        if (n % 5 == 0)
            item[4].second = QStringLiteral("Товар %1 в картонной коробке с ручкой для переноски, "
                                            "упаковка по двенадцать штук, партия для сети "
                                            "конец-%1")
                                 .arg(n);
        lines.append(line(item));
    }
    return order(lines);
}

// What a program prints, or nothing when it could not be run.
QString run(const QString& program, const QStringList& arguments)
{
    const Ran ran = Run{.program = program, .arguments = arguments, .deadline = 60000}();
    return ran.exitCode == 0 ? QString::fromUtf8(ran.out) : QString();
}

// The text of each page, as pdftotext lays it out.
QStringList pagesOf(const QString& pdf)
{
    QStringList pages = run("pdftotext", {"-layout", pdf, "-"}).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT
private:
    UserHome m_home;
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(setUpSellerAndBuyer(m_home)); }
    void init() { freshProcess(); }

    // An order of 1,723 lines printed to a PDF: every page has the header row and its
    // number, and every line is there once, whole, on one page.
    void aLongOrderPrintsEveryLineWholeOnce()
    {
        WEXA_REQUIRE_TOOL("pdftotext");
        WEXA_REQUIRE_TOOL("pdfinfo");
        OrderForm sheet(longOrder());
        QVERIFY(sheet.read);
        Confirmation& form = sheet.form;
        form.selectCboxTyp(OnScreen::Change);
        form.lines().setText(7, ColConfirmed, QStringLiteral("3,000"));
        form.lines().setText(LongOrder, ColConfirmed, QStringLiteral("0,000"));
        const QString path = m_dir.filePath("long.pdf");
        QString error;
        QVERIFY2(ConfirmationPrint::writePdf(form, path, error), qPrintable(error));

        const QStringList pages = pagesOf(path);
        QCOMPARE(QRegularExpression("Pages:\\s+(\\d+)").match(run("pdfinfo", {path})).captured(1),
                 QString::number(pages.size()));
        QVERIFY(pages.size() > 20);
        // The first page names the order and where it goes; a change gives its reason.
        for (const char* text :
             {"Номер заказа:", "ZK-1", "Склад Север, ул. Лесная, 5, ILN 4607000000031", "Причина:"})
            QVERIFY2(pages.first().contains(QString::fromUtf8(text)), text);
        const QRegularExpression row(QStringLiteral(
            R"(^\s*(\d+)\s+(460123456\d{4})\s+B-(\d+)\s+S-(\d+)\s.*?\s([\d,]+)\s+([\d,]+)\s+(\S+)\s*$)"));
        int expected = 1;
        for (int p = 0; p < pages.size(); ++p) {
            QVERIFY2(pages[p].contains("EAN продукта") && pages[p].contains("Подтверждено"),
                     qPrintable(QStringLiteral("page %1 has no header row").arg(p + 1)));
            QVERIFY(pages[p].contains(
                QStringLiteral("Страница %1 из %2").arg(p + 1).arg(pages.size())));
            int onPage = 0;
            for (const QString& text : pages[p].split(QLatin1Char('\n'))) {
                const QRegularExpressionMatch m = row.match(text);
                if (!m.hasMatch())
                    continue;
                ++onPage;
                const int n = m.captured(1).toInt();
                QCOMPARE(n, expected);
                QCOMPARE(m.captured(2), QStringLiteral("460123456%1").arg(n, 4, 10, QChar('0')));
                QCOMPARE(m.captured(3).toInt(), n);
                QCOMPARE(m.captured(5), form.lines().text(int16_t(n), ColOrdered));
                QCOMPARE(m.captured(6), form.lines().text(int16_t(n), ColConfirmed));
                if (n % 5 == 0)
                    QVERIFY2(pages[p].contains(QStringLiteral("конец-%1").arg(n)),
                             qPrintable(QStringLiteral("line %1 is cut").arg(n)));
                ++expected;
            }
            // No page ends early: past the header of the first, a page holds some twenty
            // lines or more, but the last.
            QVERIFY2(onPage >= (p == 0 ? 10 : 20) || p == pages.size() - 1,
                     qPrintable(QStringLiteral("page %1 holds %2 lines").arg(p + 1).arg(onPage)));
            QCOMPARE(pages[p].contains("Количество линий:"), p == pages.size() - 1);
        }
        QCOMPARE(expected - 1, LongOrder);
        // 10 + 20 + ... + 17230 ordered; 70 changed to 3 and 17230 to 0.
        const QString totals = pages.last().simplified();
        QVERIFY2(totals.contains("Заказано всего: 14852260,000 Подтверждено всего: 14834963,000 "
                                 "Разница: -17297,000"),
                 qPrintable(totals.right(300)));
    }

    void thePreviewShowsTheSamePages()
    {
        WindowWithOrder w;
        QVERIFY(w.open(150));
        QPdfWriter writer(m_dir.filePath("same.pdf"));
        const int pages = ConfirmationPrint::paint(ConfirmationSheet::of(w->form()), writer);
        int previewed = -1;
        OnScreen::whenShown<QPrintPreviewDialog>(this, [&](QPrintPreviewDialog& dialog) {
            auto* preview = dialog.findChild<QPrintPreviewWidget*>();
            if (!preview || preview->pageCount() == 0)
                return false;
            previewed = preview->pageCount();
            return dialog.close();
        });
        OnScreen::press(Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(previewed, pages);
        QVERIFY(pages > 1);
    }

    void aPdfThatCannotBeWrittenIsTold()
    {
        OrderForm sheet(order(2));
        auto& [messages, form, read] = sheet;
        QVERIFY(read);
        QVERIFY(PrintCommands::exportPdf(nullptr, form, messages, "/nonexistent/x.pdf").isEmpty());
        QCOMPARE(messages.texts().size(), 1);
        QVERIFY(messages.texts().first().startsWith("Файл «/nonexistent/x.pdf» не записан: "));
        const QString written = m_dir.filePath("written.pdf");
        QCOMPARE(PrintCommands::exportPdf(nullptr, form, messages, written), written);
        QVERIFY(readFile(written).startsWith("%PDF"));
    }

    void respondWritesThePdfWithoutADisplay_data()
    {
        columns<QString, QStringList, int, QString>("pdf", "more", "exit", "said");
        QTest::newRow("beside the response") << "answer.pdf" << QStringList() << 0 << "";
        QTest::newRow("a folder that does not exist is said")
            << "missing/answer.pdf" << QStringList() << 1 << "cannot write";
        QTest::newRow("one PDF for one order only")
            << "answer.pdf" << QStringList{WEXA_SOURCE_DIR "/samples/order.xml"} << 2
            << "--pdf takes one FILE";
    }
    void respondWritesThePdfWithoutADisplay()
    {
        const auto [pdf, more, said] = fetch<QString, QStringList, QString>("pdf", "more", "said");
        WEXA_REQUIRE_TOOL("pdftotext");
        QTemporaryDir dir;
        const Ran respond =
            Run{.arguments = QStringList{"respond", WEXA_SOURCE_DIR "/samples/order.xml"} + more +
                             QStringList{"--partner-iln", OnScreen::BuyerIln, "--type", "change",
                                         "--quantity", "2=7", "-o", dir.filePath("answer.xml"),
                                         "--pdf", dir.filePath(pdf)}}
                .withoutDisplay()();
        QTEST(respond.exitCode, "exit");
        QVERIFY(QString::fromUtf8(respond.err).contains(said));
        if (respond.exitCode != 0)
            return;
        const QString text = pagesOf(dir.filePath(pdf)).join(QString());
        for (const char* shown : {"ZK/2026/1187", "4601234567909", "7.000"}) // the C locale's point
            QVERIFY2(text.contains(shown), shown);
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
