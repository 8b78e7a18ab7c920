#include "AppTest.h"
#include "CoreTable.h"

#include "app/host/FillFromFile.h"
#include "app/host/FillReportDialog.h"
#include "app/host/FindBar.h"
#include "core/rules/LineTally.h"

using namespace OnScreen;

namespace {

// A confirmation of an order of `lines` lines, watched for undo, under the given type.
struct Watched : OrderForm {
    explicit Watched(int lines, int type = Change) : OrderForm(order(lines))
    {
        form.selectCboxTyp(type);
        keeper.setReadyCheck([] { return QApplication::activeModalWidget() == nullptr; });
        keeper.startupFinished();
    }
    QString cell(int row) const { return form.lines().text(int16_t(row), ColConfirmed); }

    WorkKeeper keeper{form};
};

} // namespace

class TestFillFind : public QObject {
    Q_OBJECT
    UserHome m_home; // the folder of the last list read is remembered in the user's settings
private slots:
    void init()
    {
        freshProcess();
        QSettings("WEXA").clear();
    }

    void aFillIsOneUndoStep_data()
    {
        columns<int, QList<Answer>, QStringList>("type", "answers", "filled");
        QTest::newRow("under a change the list fills at once")
            << int(Change) << QList<Answer>{} << QStringList{"4,000", "20,000"};
        QTest::newRow("under full acceptance the clerk agrees to switch first")
            << int(Accept) << QList<Answer>{Answer::Yes} << QStringList{"4,000", "20,000"};
        QTest::newRow("declining to switch fills nothing")
            << int(Accept) << QList<Answer>{Answer::No} << QStringList{"10,000", "20,000"};
    }
    void aFillIsOneUndoStep()
    {
        const auto [type, answers] = fetch<int, QList<Answer>>("type", "answers");
        QTemporaryDir dir;
        Watched watched(2, type);
        watched.messages.answers = answers;
        const QStringList before{watched.cell(1), watched.cell(2)};
        const QString path = dir.filePath(QStringLiteral("stock.csv"));
        QVERIFY(writeFile(path, "EAN;Количество\n4601234500001;4\n"));
        QObject scope;
        whenShown<FillReportDialog>(&scope,
                                    [](FillReportDialog& report) { return report.close(); });
        const QString report = FillFromFile::run(nullptr, watched.form, watched.messages, path);
        QTEST((QStringList{watched.cell(1), watched.cell(2)}), "filled"); // lines 1 and 2
        QCOMPARE(QSettings("WEXA").value("FillFromFile/folder").toString(),
                 report.isEmpty() ? QString() : dir.path());
        if (report.isEmpty())
            return;
        QVERIFY(report.contains(QStringLiteral("№ 2, EAN 4601234500002")));
        QVERIFY(watched.keeper.watcher().settle());
        QCOMPARE(watched.keeper.undoStack().count(), 1);
        watched.keeper.undoStack().undo();
        QCOMPARE((QStringList{watched.cell(1), watched.cell(2)}), before);
        QCOMPARE(watched.form.cboxTyp(), type);
    }

    void anUnreadableListChangesNothing()
    {
        Watched watched(2);
        RecordingMessages& messages = watched.messages;
        QVERIFY(FillFromFile::run(nullptr, watched.form, messages, "/nonexistent/x.csv").isEmpty());
        QCOMPARE(messages.texts().size(), 1);
        QVERIFY(messages.texts().first().startsWith("Файл «/nonexistent/x.csv» не прочитан"));
        QVERIFY(!watched.keeper.watcher().settle());
    }

    void findsTheNextLine_data()
    {
        columns<QString, int, int>("text", "after", "found");
        QTest::newRow("a part of the EAN") << "500003" << 0 << 3;
        QTest::newRow("a name without regard to case") << "ТОВАР 2 В" << 0 << 2;
        QTest::newRow("ё is found as е") << "товар 4 в длинной упаковкё" << 0 << 4;
        QTest::newRow("the next match after the current line") << "товар" << 2 << 3;
        QTest::newRow("from the top again after the last line") << "товар 1 " << 4 << 1;
        QTest::newRow("no match") << "колбаса" << 0 << 0;
        QTest::newRow("nothing typed finds nothing") << "  " << 0 << 0;
    }
    void findsTheNextLine()
    {
        const auto [text, after] = fetch<QString, int>("text", "after");
        Watched watched(4);
        QTEST(FindBar::nextMatch(watched.form, text, after), "found");
    }

    void talliesTheLinesAsTheResponseWouldCarryThem()
    {
        Watched watched(4);
        for (const auto& [row, typed] : {std::pair(1, "0"), {2, "5"}, {3, "99"}})
            watched.form.lines().setText(int16_t(row), ColConfirmed, QString::fromLatin1(typed));
        const LineTally tally = LineTally::of(watched.form);
        // Refused, changed, in full, and failing: 99 is above the 30 ordered.
        QCOMPARE(QList({tally.refused, tally.changed, tally.full, tally.failing}),
                 QList({1, 2, 1, 1}));
    }
};

QTEST_MAIN(TestFillFind)
#include "tst_fillfind.moc"
