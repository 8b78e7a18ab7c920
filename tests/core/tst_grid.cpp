#include "RecordingMessages.h"
#include "TestSupport.h"
#include "control/Columns.h"
#include "control/Confirmation.h"
#include "control/Grid.h"
#include "control/RuntimeError.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

namespace {
constexpr Rgb White = rgb(255, 255, 255);
constexpr Rgb Teal = rgb(37, 145, 170);
constexpr auto ReportToQtTest = QAbstractItemModelTester::FailureReportingMode::QtTest;

QStringList rowTexts(const Grid& grid, int16_t row)
{
    QStringList texts;
    for (int16_t c = 0; c < grid.columns(); ++c)
        texts.append(grid.text(row, c));
    return texts;
}
} // namespace

class TestGrid : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(); }

    void modelStaysConsistentThroughChanges()
    {
        Grid grid(LineColumnCount, 2, White, 300);
        QAbstractItemModelTester tester(&grid, ReportToQtTest);
        grid.setRows(6);
        for (int16_t r = 1; r < 6; ++r)
            grid.setText(r, ColName, QString::number(r));
        grid.setRowBackground(2, 1, 17, Teal);
        grid.setCellAlignment(1, ColConfirmed, Qt::AlignRight);
        grid.removeRow(3);
        grid.removeRow(grid.rows() - 1);
        {
            RedrawPause pause(grid); // the collected range must not outlive the rows
            grid.setText(1, ColEan, QStringLiteral("4601234567893"));
            grid.setText(3, ColEan, QStringLiteral("4601234567909"));
            grid.setRows(3);
        }
        grid.repaint();
        grid.setRows(0);
        grid.setRows(2);
        QCOMPARE(rowTexts(grid, 1), QStringList(LineColumnCount, QString()));
    }

    void cellIndex_data()
    {
        QTest::addColumn<bool>("summary");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("index"); // -1: the overflow error
        QTest::newRow("the first cell is at zero") << false << 0 << 0 << 0;
        QTest::newRow("a line row is nineteen cells wide") << false << 1 << 0 << 19;
        QTest::newRow("a summary row is two cells wide") << true << 1 << 1 << 3;
        QTest::newRow("the last addressable cell") << false << 1724 << 11 << 32767;
        QTest::newRow("one cell further overflows") << false << 1724 << 12 << -1;
        QTest::newRow("below the 16-bit range overflows") << false << -1724 << -13 << -1;
        QTest::newRow("the summary overflows at its own stride") << true << 16384 << 0 << -1;
    }
    void cellIndex()
    {
        QFETCH(bool, summary);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, index);
        RecordingMessages messages;
        const Confirmation form(messages);
        const auto r = int16_t(row), c = int16_t(column);
        try {
            QCOMPARE(int(summary ? form.IndexGrdSuma(r, c) : form.IndexGrdPozycje(r, c)), index);
        } catch (const RuntimeError& e) {
            QCOMPARE(index, -1);
            QCOMPARE(e.number(), int(RuntimeError::Overflow));
        }
    }

    void resumingRedrawAnnouncesOneRange()
    {
        Grid grid(LineColumnCount, 5, White, 300);
        QSignalSpy changed(&grid, &Grid::dataChanged);
        QSignalSpy moved(&grid, &Grid::currentCellChanged);
        grid.setRedraw(false);
        grid.setText(1, ColName, QStringLiteral("Кефир"));
        grid.setCurrentCell(3, 1);
        grid.setBackground(3, ColPackageId, Teal);
        grid.setText(2, ColConfirmed, QStringLiteral("4,000"));
        grid.setCurrentCell(1, 1);
        QCOMPARE(changed.count() + moved.count(), 0);

        grid.setRedraw(true);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].toModelIndex(), grid.index(1, ColName));
        QCOMPARE(changed[0][1].toModelIndex(), grid.index(3, ColPackageId));
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved[0], (QVariantList{1, 1}));
    }

    void freshControlHasEmptyTablesUnderItsHeaders()
    {
        RecordingMessages messages;
        const Confirmation form(messages);
        const Grid& lines = form.lines();
        QCOMPARE(lines.rows(), 2);
        QCOMPARE(
            rowTexts(lines, 0),
            (QStringList{"№ п.п", "EAN продукта", "Название продукта", "Количество заказа",
                         "Подтверждённое количество", "Цена з НДС", "Код продукта покупателя",
                         "Код продукта продавца", "Идентификатор возвратной упаковки",
                         "Единица измерения", "Iloњж sztuk detal. w opakowaniu handlowym",
                         "EAN produktu zastкpuj№cego", "Nazwa produktu zastкpuj№cego",
                         "Kod produktu zastкpuj№cego kupuj№cego",
                         "Kod produktu zastкpuj№cego sprzedaj№cego", "Скидка",
                         "Подтверждённая дата поставки", "Подтверждённое время поставки", ""}));
        QCOMPARE(rowTexts(lines, 1), QStringList(LineColumnCount, QString()));
        const Grid& summary = form.summary();
        QCOMPARE(summary.rows(), 2);
        QCOMPARE(rowTexts(summary, 0),
                 (QStringList{"Количество линий", "Общее количество подтверждённых"}));

        QCOMPARE(form.field(Confirmation::Field::lblVersion),
                 QStringLiteral("WEXAПодтверждениеЗаказа 1.0.0.218"));
        QVERIFY(messages.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestGrid)
#include "tst_grid.moc"
