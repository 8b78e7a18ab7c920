#include "CoreForm.h"

#include "core/rules/ResponseWriter.h"
#include "core/session/Journal.h"
#include "core/session/JournalRecorder.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace {

// An order of that number whose line n has the EAN 460123456nnnn and the buyer's code B-n.
QString orderNumbered(const QString& number, int lines)
{
    return DocumentTexts::withText(DocumentTexts::order(lines), u"Order-Header/OrderNumber"_s,
                                   number);
}

// A confirmation read from an order, as the start-up leaves it, and its recorder.
struct Work : OrderForm {
    explicit Work(const QString& number = u"ZK/2026/1187"_s, int lines = 3)
        : OrderForm(orderNumbered(number, lines))
    {
        recorder.order(orderNumbered(number, lines).toUtf8(), u"fetched"_s, u"draft-1"_s,
                       u"https://edi.example:443"_s);
    }
    QByteArray response() { return MakeOrderResponse(form)->xml().toUtf8(); }

    QStringList told;
    JournalRecorder recorder{form, [this](const QString& text) { told.append(text); }};
};

template <typename Set> Journal::Filter filtered(Set set)
{
    Journal::Filter filter;
    set(filter);
    return filter;
}
Journal::Filter byText(const QString& text)
{
    return filtered([&](Journal::Filter& f) { f.text = text; });
}

} // namespace

class TestJournal : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_folder;

    QString path() const { return m_folder->filePath(Journal::fileName()); }
    // Runs each statement on the journal's file as anyone else would: the first row the last
    // one answers, or "failed" when a statement fails.
    QVariantList sql(const QStringList& statements) const
    {
        QVariantList row;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
            db.setDatabaseName(path());
            QSqlQuery query(db);
            for (const QString& statement : statements)
                if (!db.open() || !query.exec(statement))
                    row = {u"failed"_s};
            if (row.isEmpty() && query.next())
                for (int i = 0; i < query.record().count(); ++i)
                    row.append(query.value(i));
        }
        QSqlDatabase::removeDatabase("reader");
        return row;
    }
    std::unique_ptr<Journal> open() const
    {
        QString problem;
        return Journal::open(m_folder->path(), problem, nullptr);
    }

private slots:
    void init()
    {
        freshProcess();
        m_folder = std::make_unique<QTemporaryDir>();
        testProcess().workingFolder = m_folder->path();
    }

    // GIVEN a journal written by the first version, with an order in it WHEN this version
    // opens it THEN it is brought up to date and the order is found by its lines' codes.
    void anOlderJournalIsBroughtUpToDate()
    {
        QString problem;
        QVERIFY2(Journal::open(m_folder->path(), problem, nullptr, 1), qPrintable(problem));
        QCOMPARE(sql({"INSERT INTO documents (bytes) VALUES ('" + DocumentTexts::order(2) + "')",
                      "INSERT INTO entries VALUES (1, '2026-12-01T08:00:00.000Z', "
                      "'2026-12-01T08:00:00.000Z', 2, 'd', '', 'fetched', '4607000000017', 'ТД', "
                      "'', 'ZK-1', '2026-12-01', 'Пз_ZK-1', 2, 30, 1)"}),
                 QVariantList());

        std::unique_ptr<Journal> now = open();
        QVERIFY(now);
        const QList<Journal::Entry> found = now->search(byText(u"4601234560002"_s));
        QCOMPARE(std::tuple(found.size(), found.value(0).orderNumber, found.value(0).state),
                 std::tuple(1, u"ZK-1"_s, WorkState::Sent));
        QCOMPARE(now->search(byText(u"пз_zk"_s)).size(), 1);
    }

    void aResponseWithoutItsOrderIsRefused()
    {
        const std::unique_ptr<Journal> journal = open();
        QVERIFY(journal);
        Journal::Response response;
        response.number = u"Пз_1"_s;
        QVERIFY(!journal->recordResponse(42, response));
        QVERIFY(journal->lastError().contains(u"FOREIGN KEY"_s));
        // Nothing of it is left open: the next order is recorded beside it.
        Work next;
        QVERIFY2(next.told.isEmpty(), qPrintable(next.told.join('|')));
        QCOMPARE(journal->search({}).size(), 1);
    }

    // A journal is never lost: one of a newer version is left alone, a damaged one set aside.
    void aJournalThatCannotBeReadIsKept_data()
    {
        columns<bool>("newer");
        QTest::newRow("a newer version's journal is refused and left as it was") << true;
        QTest::newRow("a damaged journal is set aside and a new one begun") << false;
    }
    void aJournalThatCannotBeReadIsKept()
    {
        QFETCH(bool, newer);
        if (newer)
            QCOMPARE(sql({"PRAGMA user_version=99"}), QVariantList());
        else
            QVERIFY(writeFile(path(), QByteArray(8192, 'x')));
        const QByteArray before = readFile(path());

        QString problem, notice;
        const std::unique_ptr<Journal> journal = Journal::open(m_folder->path(), problem, &notice);

        QCOMPARE(journal != nullptr, !newer);
        if (newer) {
            QVERIFY2(problem.contains("более новой версией"), qPrintable(problem));
            QCOMPARE(readFile(path()), before);
            return;
        }
        QVERIFY2(notice.contains("отложен"), qPrintable(notice));
        const QStringList aside =
            QDir(m_folder->path()).entryList({Journal::fileName() + ".повреждён-*"}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(m_folder->filePath(aside[0])), before);
        QVERIFY2(journal->recordOrder({}), qPrintable(journal->lastError()));
    }

    // Each way a confirmation goes is recorded, and where it stands follows.
    void everyPathIsRecorded_data()
    {
        columns<QStringList, WorkState, QString, int>("steps", "state", "answer", "responses");
        using enum WorkState;
        QTest::newRow("an order fetched and not touched")
            << QStringList() << Received << QString() << 0;
        QTest::newRow("sent and accepted") << QStringList{"OK"} << Sent << "OK" << 1;
        QTest::newRow("sent and refused") << QStringList{"-1"} << Received << "-1" << 1;
        QTest::newRow("saved to a file") << QStringList{"save"} << Saved << QString() << 1;
        QTest::newRow("refused, then accepted") << QStringList{"ошибка", "OK"} << Sent << "OK" << 2;
        QTest::newRow("a copy saved after the send")
            << QStringList{"OK", "save"} << Sent << "OK" << 2;
        QTest::newRow("given up") << QStringList{"discard"} << Discarded << QString() << 0;
    }
    void everyPathIsRecorded()
    {
        const auto [steps, state, answer, responses] =
            fetch<QStringList, WorkState, QString, int>("steps", "state", "answer", "responses");
        Work work;
        QByteArray sent;
        for (const QString& step : steps) {
            if (step == "save")
                work.recorder.saved(m_folder->filePath("r.xml"), work.response());
            else if (step == "discard")
                work.recorder.state(WorkState::Discarded);
            else
                work.recorder.uploaded(sent = work.response(), "http://h/edi/s/Upload.aspx", step);
        }

        QVERIFY2(work.told.isEmpty(), qPrintable(work.told.join('|')));
        Journal* journal = work.recorder.journal();
        const std::optional<Journal::Entry> entry = journal->entry(work.recorder.entry());
        QVERIFY(entry);
        QCOMPARE(std::tie(entry->state, entry->answer, entry->orderNumber,
                          entry->confirmationNumber, entry->buyerIln, entry->origin, entry->lines,
                          entry->orderedTotal),
                 std::tuple(state, answer, u"ZK/2026/1187"_s, u"Пз_ZK/2026/1187"_s,
                            DocumentTexts::BuyerIln, u"https://edi.example:443"_s, 3, 60.0));
        QCOMPARE(entry->responseNumber.isEmpty(), responses == 0);
        // The last response's lines as confirmed whole, changed and refused, and the count.
        QCOMPARE(sql({"SELECT full_lines, changed_lines, refused_lines, (SELECT count(*) FROM "
                      "responses) FROM responses ORDER BY id DESC LIMIT 1"}),
                 responses == 0 ? QVariantList() : (QVariantList{3, 0, 0, responses}));
        // What the platform accepted is kept exactly as it went.
        if (answer == "OK")
            QCOMPARE(journal->responseDocument(entry->id), sent);
        QCOMPARE(journal->orderDocument(entry->id), orderNumbered(u"ZK/2026/1187"_s, 3).toUtf8());
    }

    void aJournalThatCannotBeWrittenIsSaidOnce()
    {
        // A folder where the journal's file would be: no journal opens there.
        QVERIFY(QDir(m_folder->path()).mkdir(Journal::fileName()));
        Work work;
        work.recorder.uploaded(work.response(), "http://h", "OK");
        work.recorder.saved("r.xml", work.response());
        QVERIFY2(work.told.size() == 1 && work.told[0].startsWith("Журнал не ведётся: "),
                 qPrintable(work.told.join('|')));
    }

    void searchFindsByEveryWay_data()
    {
        columns<Journal::Filter, QStringList>("filter",
                                              "numbers"); // the orders found, newest first
        const QDate today = QDate::currentDate();
        const QStringList all{"ZK-3", "ZK-2", "ZK/1187"};
        QTest::newRow("everything, newest first") << Journal::Filter{} << all;
        QTest::newRow("a part of an order number") << byText("1187") << QStringList{"ZK/1187"};
        QTest::newRow("the confirmation number proposed with the order")
            << byText("Пз_zk/1187") << QStringList{"ZK/1187"};
        QTest::newRow("a response number once sent") << byText("ответ-77") << QStringList{"ZK-2"};
        QTest::newRow("the buyer's name in other letter case") << byText("ао покупатель") << all;
        QTest::newRow("the start of an EAN") << byText("460123456000") << all;
        QTest::newRow("a whole EAN only the longer orders hold")
            << byText("4601234560004") << QStringList{"ZK-3"};
        QTest::newRow("an EAN's middle finds nothing") << byText("234560004") << QStringList();
        QTest::newRow("wildcards are plain characters") << byText("ZK_") << QStringList();
        QTest::newRow("a state") << filtered([](auto& f) { f.state = WorkState::Sent; })
                                 << QStringList{"ZK-2"};
        QTest::newRow("today") << filtered([&](auto& f) { f.from = f.to = today; }) << all;
        QTest::newRow("before today")
            << filtered([&](auto& f) { f.to = today.addDays(-1); }) << QStringList();
        QTest::newRow("a buyer by ILN")
            << filtered([](auto& f) { f.buyerIln = "4607000000099"; }) << QStringList();
        QTest::newRow("the limit keeps the newest")
            << filtered([](auto& f) { f.limit = 1; }) << QStringList{"ZK-3"};
    }
    void searchFindsByEveryWay()
    {
        const auto [filter, numbers] = fetch<Journal::Filter, QStringList>("filter", "numbers");
        {
            Work first(u"ZK/1187"_s, 3);
            Work second(u"ZK-2"_s, 3);
            second.form.setField(Confirmation::Field::txtNrPotw, u"Ответ-77"_s);
            second.recorder.uploaded(second.response(), "http://h", "OK");
            Work third(u"ZK-3"_s, 4);
        }
        const std::unique_ptr<Journal> journal = open();
        QStringList found;
        for (const Journal::Entry& e : journal->search(filter))
            found.append(e.orderNumber);
        QCOMPARE(found, numbers);
    }

    // A spreadsheet gets every entry, a field from outside never as a formula.
    void csvIsWhatASpreadsheetReads()
    {
        Journal::Entry entry;
        std::tie(entry.received, entry.state, entry.buyerName, entry.buyerIln, entry.orderNumber,
                 entry.orderDate, entry.responseNumber, entry.lines, entry.orderedTotal,
                 entry.confirmedTotal, entry.answer, entry.responseTarget) =
            std::tuple(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 30)), WorkState::Sent,
                       u"=HYPERLINK(\"x\";\"ТД\")"_s, u"4607000000017"_s, u"-1"_s, u"2026-12-01"_s,
                       u"Пз;1"_s, 3, 60.0, 48.5, u"OK"_s, u"http://h/edi/s/Upload.aspx"_s);
        QCOMPARE(Journal::csv({entry}),
                 "\xEF\xBB\xBF" +
                     u"Получен;Состояние;Покупатель;ILN покупателя;Номер заказа;Дата заказа;"
                     "Номер подтверждения;Строк;Заказано;Подтверждено;Ответ площадки;Куда\r\n"
                     "2026-12-07 09:05:30;отправлен;\"'=HYPERLINK(\"\"x\"\";\"\"ТД\"\")\";"
                     "4607000000017;-1;2026-12-01;\"Пз;1\";3;60.000;48.500;OK;"
                     "http://h/edi/s/Upload.aspx\r\n"_s.toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
