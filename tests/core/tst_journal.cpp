#include "CoreForm.h"

#include "core/rules/ResponseWriter.h"
#include "core/session/Journal.h"
#include "core/session/JournalRecorder.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using Entries = QList<Journal::Entry>;

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

// A search's filter with one condition set.
Journal::Filter filtered(const std::function<void(Journal::Filter&)>& set)
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
    // The first row a query of the journal's file answers, read as anyone reading it would.
    QVariantList firstRow(const QString& sql) const
    {
        QVariantList row;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "reader");
            db.setDatabaseName(path());
            QSqlQuery query(db);
            if (db.open() && query.exec(sql) && query.next())
                for (int i = 0; i < query.record().count(); ++i)
                    row.append(query.value(i));
        }
        QSqlDatabase::removeDatabase("reader");
        return row;
    }
    std::unique_ptr<Journal> open(QString* notice = nullptr) const
    {
        QString problem;
        std::unique_ptr<Journal> journal = Journal::open(m_folder->path(), problem, notice);
        if (!journal)
            qWarning("journal: %s", qPrintable(problem));
        return journal;
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
        {
            std::unique_ptr<Journal> first = Journal::open(m_folder->path(), problem, nullptr, 1);
            QVERIFY2(first, qPrintable(problem));
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "first");
            db.setDatabaseName(path());
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("INSERT INTO documents (bytes) VALUES ('" + DocumentTexts::order(2) +
                               "')"));
            QVERIFY(query.exec(
                "INSERT INTO entries VALUES (1, '2026-12-01T08:00:00.000Z', "
                "'2026-12-01T08:00:00.000Z', 2, 'd', '', 'fetched', '4607000000017', 'ТД', '', "
                "'ZK-1', '2026-12-01', 'Пз_ZK-1', 2, 30, 1)"));
            query.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase("first");

        std::unique_ptr<Journal> now = open();
        QVERIFY(now);
        const Entries found = now->search(byText(u"4601234560002"_s));
        QCOMPARE(found.size(), 1);
        QCOMPARE(now->search(byText(u"пз_zk"_s)).size(), 1);
        QCOMPARE(found[0].orderNumber, u"ZK-1"_s);
        QCOMPARE(found[0].state, WorkState::Sent);
    }

    // A response is kept only beside the order it answers.
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

    // A journal is never lost: one of a newer version is left alone, a file that is no
    // journal is set aside whole and a new journal begun.
    void aJournalThatCannotBeReadIsKept_data()
    {
        columns<bool>("newer");
        QTest::newRow("a newer version's journal is refused and left as it was") << true;
        QTest::newRow("a damaged journal is set aside and a new one begun") << false;
    }
    void aJournalThatCannotBeReadIsKept()
    {
        QFETCH(bool, newer);
        if (newer) {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
            db.setDatabaseName(path());
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("PRAGMA user_version=99"));
            db.close();
        } else {
            QVERIFY(writeFile(path(), QByteArray(8192, 'x')));
        }
        QSqlDatabase::removeDatabase("newer");
        const QByteArray before = readFile(path());

        QString problem;
        QString notice;
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

    // Each way a confirmation goes is recorded, and where it stands follows: a response
    // the platform refused changes nothing, a copy saved after a send does not undo it.
    void everyPathIsRecorded_data()
    {
        columns<QStringList, WorkState, QString, int>("steps", "state", "answer", "responses");
        QTest::newRow("an order fetched and not touched")
            << QStringList() << WorkState::Received << QString() << 0;
        QTest::newRow("sent and accepted") << QStringList{"OK"} << WorkState::Sent << "OK" << 1;
        QTest::newRow("sent and refused") << QStringList{"-1"} << WorkState::Received << "-1" << 1;
        QTest::newRow("saved to a file")
            << QStringList{"save"} << WorkState::Saved << QString() << 1;
        QTest::newRow("refused, then accepted")
            << QStringList{"ошибка", "OK"} << WorkState::Sent << "OK" << 2;
        QTest::newRow("a copy saved after the send")
            << QStringList{"OK", "save"} << WorkState::Sent << "OK" << 2;
        QTest::newRow("given up") << QStringList{"discard"} << WorkState::Discarded << QString()
                                  << 0;
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
        QCOMPARE(entry->state, state);
        QCOMPARE(entry->answer, answer);
        QCOMPARE(entry->orderNumber, u"ZK/2026/1187"_s);
        QCOMPARE(entry->confirmationNumber, u"Пз_ZK/2026/1187"_s);
        QCOMPARE(entry->buyerIln, DocumentTexts::BuyerIln);
        QCOMPARE(entry->origin, u"https://edi.example:443"_s);
        QCOMPARE(entry->lines, 3);
        QCOMPARE(entry->orderedTotal, 60.0);
        QCOMPARE(entry->responseNumber.isEmpty(), responses == 0);
        // The last response's lines as confirmed whole, changed and refused.
        QCOMPARE(firstRow("SELECT full_lines, changed_lines, refused_lines FROM responses "
                          "ORDER BY id DESC LIMIT 1"),
                 responses == 0 ? QVariantList() : (QVariantList{3, 0, 0}));
        // What the platform accepted is kept exactly as it went.
        if (answer == "OK")
            QCOMPARE(journal->responseDocument(entry->id), sent);
        QCOMPARE(journal->orderDocument(entry->id), orderNumbered(u"ZK/2026/1187"_s, 3).toUtf8());
    }

    // A journal that cannot be written is said once, and nothing else stops.
    void aJournalThatCannotBeWrittenIsSaidOnce()
    {
        // A folder where the journal's file would be: no journal opens there.
        QVERIFY(QDir(m_folder->path()).mkdir(Journal::fileName()));
        Work work;
        work.recorder.uploaded(work.response(), "http://h", "OK");
        work.recorder.saved("r.xml", work.response());
        QVERIFY2(work.told.size() == 1, qPrintable(work.told.join('|')));
        QVERIFY2(work.told[0].startsWith("Журнал не ведётся: "), qPrintable(work.told[0]));
    }

    void searchFindsByEveryWay_data()
    {
        // `numbers`: the orders found, newest first
        columns<Journal::Filter, QStringList>("filter", "numbers");
        const QDate today = QDate::currentDate();
        QTest::newRow("everything, newest first")
            << Journal::Filter{} << QStringList{"ZK-3", "ZK-2", "ZK/1187"};
        QTest::newRow("a part of an order number") << byText("1187") << QStringList{"ZK/1187"};
        QTest::newRow("the confirmation number proposed with the order")
            << byText("Пз_zk/1187") << QStringList{"ZK/1187"};
        QTest::newRow("a response number once sent") << byText("ответ-77") << QStringList{"ZK-2"};
        QTest::newRow("the buyer's name in other letter case")
            << byText("ао покупатель") << QStringList{"ZK-3", "ZK-2", "ZK/1187"};
        QTest::newRow("the start of an EAN")
            << byText("460123456000") << QStringList{"ZK-3", "ZK-2", "ZK/1187"};
        QTest::newRow("a whole EAN only the longer orders hold")
            << byText("4601234560004") << QStringList{"ZK-3"};
        QTest::newRow("an EAN's middle finds nothing") << byText("234560004") << QStringList();
        QTest::newRow("wildcards are plain characters") << byText("ZK_") << QStringList();
        QTest::newRow("a state") << filtered([](Journal::Filter& f) { f.state = WorkState::Sent; })
                                 << QStringList{"ZK-2"};
        QTest::newRow("today") << filtered([&](Journal::Filter& f) { f.from = f.to = today; })
                               << QStringList{"ZK-3", "ZK-2", "ZK/1187"};
        QTest::newRow("before today")
            << filtered([&](Journal::Filter& f) { f.to = today.addDays(-1); }) << QStringList();
        QTest::newRow("a buyer by ILN")
            << filtered([](Journal::Filter& f) { f.buyerIln = "4607000000099"; }) << QStringList();
        QTest::newRow("the limit keeps the newest")
            << filtered([](Journal::Filter& f) { f.limit = 1; }) << QStringList{"ZK-3"};
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
        entry.received = QDateTime(QDate(2026, 12, 7), QTime(9, 5, 30));
        entry.state = WorkState::Sent;
        entry.buyerName = u"=HYPERLINK(\"x\";\"ТД\")"_s;
        entry.buyerIln = u"4607000000017"_s;
        entry.orderNumber = u"-1"_s;
        entry.orderDate = u"2026-12-01"_s;
        entry.responseNumber = u"Пз;1"_s;
        entry.lines = 3;
        entry.orderedTotal = 60;
        entry.confirmedTotal = 48.5;
        entry.answer = u"OK"_s;
        entry.responseTarget = u"http://h/edi/s/Upload.aspx"_s;
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
