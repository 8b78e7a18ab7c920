#include "AppTest.h"
#include "CoreTable.h"
#include "FakeChooser.h"

#include "app/host/DraftsDialog.h"
#include "core/actions/CellEditor.h"
#include "core/actions/EditLine.h"
#include "core/actions/LoadResponse.h"
#include "core/actions/RemoveLine.h"
#include "core/actions/SaveResponse.h"
#include "core/rules/ResponseWriter.h"

#include <QTreeWidget>

#include <csignal>
#include <cstdio>

using namespace OnScreen;
using Field = Confirmation::Field;
using State = Confirmation::State;
using namespace Qt::StringLiterals;

namespace {

const QString PartnerName = u"АО Покупатель"_s;

void commitQuantity(Confirmation& form, int row, const QString& typed)
{
    form.lines().setCurrentCell(row, ColConfirmed);
    form.editor().open();
    form.editor().setText(typed);
    form.editor().pressEnter();
}

// An order of three lines read in a working folder, under a change, kept by a keeper.
struct Kept : OrderForm {
    explicit Kept(const QString& workingFolder, const QString& origin = {})
    {
        testProcess().workingFolder = workingFolder;
        keeper.setOrigin(origin);
        DocumentTexts::useParties(form);
        keeper.orderReceived(order(3).toUtf8());
        DocumentTexts::readOrder(form, order(3));
        form.setField(Field::txtNrPotw, u"Пз_ZK-7"_s);
        form.selectCboxTyp(Change); // quantities open to typing
        keeper.startupFinished();
    }
    // The state the draft on disk holds.
    std::optional<State> draft() const { return keeper.drafts()->readState(keeper.draftId()); }
    bool settle() { return keeper.watcher().settle(); }
    bool change(int row, const QString& text) { return commitQuantity(form, row, text), settle(); }
    QUndoStack& steps() { return keeper.undoStack(); }

    WorkKeeper keeper{form};
};

using Action = std::function<void(Kept&)>;
using Damage = std::function<QByteArray(const QByteArray& good, State state)>;

// Both states show the same confirmation, current cell included.
bool same(const State& a, const State& b)
{
    return a.sameContent(b) && a.lines.row == b.lines.row && a.lines.column == b.lines.column &&
           a.lines.heights == b.lines.heights;
}

// The test program as an editor that changes one quantity and waits to be killed.
int runChild(const QString& workingFolder)
{
    freshProcess();
    Kept kept(workingFolder);
    kept.change(2, u"7"_s);
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Damage)

class TestDrafts : public QObject {
    Q_OBJECT
    UserHome m_home;
    QString m_work = m_home.work();

private slots:
    void initTestCase() { QVERIFY(setUpSellerAndBuyer(m_home)); }
    void init()
    {
        freshProcess();
        QDir(Drafts::folderOf(m_work)).removeRecursively();
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(QDir(m_work).filePath(Journal::fileName() + QLatin1String(suffix)));
    }

    void everyChangeLeavesADraftAndAnUndoStep_data()
    {
        QTest::addColumn<Action>("act");
        const auto row = [](const char* name, Action act) { QTest::newRow(name) << act; };
        row("a quantity committed in the cell", [](Kept& k) { commitQuantity(k.form, 2, "5"); });
        row("a refusal, which zeroes every quantity",
            [](Kept& k) { k.form.selectCboxTyp(Refuse); });
        row("a line confirmed in the dialog", [](Kept& k) {
            struct : LineDialogPort {
                int16_t run(LineDialogFields& fields) override
                {
                    fields.confirmed = u"3"_s;
                    fields.unitIndex = -1;
                    fields.unitText = u"BOX"_s;
                    fields.price = u"9,5"_s;
                    return 1;
                }
            } confirming;
            k.form.lines().setCurrentCell(3, ColName);
            btnEdytuj_Click(k.form, confirming);
        });
        row("a line removed", [](Kept& k) {
            k.form.lines().setCurrentCell(2, ColEan);
            btnUsun_Click(k.form);
        });
        row("the only line removed, which empties the form", [](Kept& k) {
            for (int i = 0; i < 3; ++i)
                btnUsun_Click(k.form);
        });
        row("the confirmation date, copied into every line",
            [](Kept& k) { k.form.setTxtDataPotw(QDate(2026, 12, 8)); });
        row("the delivery date and time", [](Kept& k) {
            k.form.setTxtDataDost(QDate(2026, 12, 11));
            k.form.setTxtCzasDost(QTime(14, 45));
        });
        row("the remarks", [](Kept& k) { k.form.setField(Field::txtUwagi, "Без звонка"); });
        // Each letter taken before the next is typed, the whole word is one step.
        row("the remarks typed letter by letter", [](Kept& k) {
            for (const char* text : {"Б", "Бе"}) {
                k.form.setField(Field::txtUwagi, QString::fromUtf8(text));
                QVERIFY(k.settle());
            }
            k.form.setField(Field::txtUwagi, u"Без"_s);
        });
        row("the reason", [](Kept& k) { k.form.selectCboxPrzyczyna(2); });
        row("a saved response loaded", [](Kept& k) {
            OrderForm other(order(5));
            other.form.setField(Field::txtNrPotw, u"Пз_ZK-9"_s);
            commitQuantity(other.form, 4, u"1"_s);
            QTemporaryDir dir;
            FakeChooser chooser;
            chooser.path = dir.filePath(u"saved.xml"_s);
            writeFile(chooser.path, MakeOrderResponse(other.form)->toUtf8());
            btnWczytaj_Click(k.form, chooser);
        });
    }
    void everyChangeLeavesADraftAndAnUndoStep()
    {
        QFETCH(Action, act);
        Kept kept(m_work);
        const State before = kept.form.state();
        QVERIFY(same(*kept.draft(), before));

        act(kept);
        QVERIFY(kept.settle());
        const State after = kept.form.state();
        QCOMPARE(std::pair(after.sameContent(before), kept.keeper.hasUnsavedWork()),
                 std::pair(false, true));

        // The draft restores exactly what is on screen.
        Confirmation restored(kept.messages, testProcess());
        restored.restore(*kept.draft());
        QVERIFY(same(restored.state(), after));

        QCOMPARE(kept.steps().count(), 1);
        kept.steps().undo();
        QCOMPARE(std::pair(same(kept.form.state(), before), same(*kept.draft(), before)),
                 std::pair(true, true));
        kept.steps().redo();
        QVERIFY(same(kept.form.state(), after));
        QVERIFY(!kept.settle());
    }

    void aChangeIsTakenOnceTheActionIsOver()
    {
        Kept kept(m_work);
        bool modalOpen = true;
        kept.keeper.setReadyCheck([&] { return !modalOpen; });
        kept.form.selectCboxTyp(Refuse);
        QTest::qWait(150);
        QCOMPARE(kept.steps().count(), 0);
        modalOpen = false;
        kept.form.setEnabled(false); // the action is still running
        QTest::qWait(150);
        QCOMPARE(kept.steps().count(), 0);
        kept.form.setEnabled(true);
        QTRY_COMPARE(kept.steps().count(), 1);
        QCOMPARE(kept.draft()->cboxTyp, int(Refuse));
    }

    void theLastHundredStepsAreUndoneOneByOne()
    {
        Kept kept(m_work);
        QList<State> states{kept.form.state()};
        for (int step = 1; step <= 105; ++step) {
            QVERIFY(kept.change(1 + (step - 1) % 3, QString::number(step % 7)));
            states.append(kept.form.state());
        }
        QCOMPARE(kept.steps().count(), 100);
        for (int step = 105; step > 55; --step) {
            kept.steps().undo();
            QVERIFY2(same(kept.form.state(), states[step - 1]), qPrintable(QString::number(step)));
        }
    }

    // A draft is kept while unsent; saved or sent, it is done and pruned after thirty days.
    void aSentOrSavedDraftIsDoneAndPrunedAfterThirtyDays_data()
    {
        QTest::addColumn<bool>("sent");
        QTest::newRow("saved to a file") << false;
        QTest::newRow("sent, which disables the send button") << true;
    }
    void aSentOrSavedDraftIsDoneAndPrunedAfterThirtyDays()
    {
        QFETCH(bool, sent);
        Kept kept(m_work);
        kept.change(1, u"2"_s);
        const Drafts store = *kept.keeper.drafts();
        const QString id = kept.keeper.draftId();
        // In progress, the order kept as it came; an unsent draft stays for good.
        QCOMPARE((std::tuple{store.readInfo(id)->state, readFile(store.orderPath(id)),
                             store.prune(QDateTime::currentDateTime().addDays(365)),
                             store.list().size()}),
                 std::tuple(WorkState::InProgress, order(3).toUtf8(), 0, qsizetype(1)));

        QTemporaryDir dir;
        FakeChooser chooser;
        chooser.path = dir.filePath(u"response.xml"_s);
        btnZapisz_Click(kept.form, chooser);
        QVERIFY(QFile::exists(chooser.path));
        // As the window does when the control reports it: a send as an accepted one leaves it.
        if (sent) {
            kept.form.set(Confirmation::Switch::btnPrzeslijEnabled, false);
            kept.keeper.responseSent();
        } else {
            kept.keeper.responseSaved(chooser.path, readFile(chooser.path));
        }
        // Done, no other draft offered; the send button and the number sent are no step.
        const Drafts::Info info = *store.readInfo(id);
        QCOMPARE(std::tuple(kept.keeper.hasUnsavedWork(), info.state, info.number, info.lines,
                            kept.keeper.otherUnsentDrafts().size(), kept.steps().count()),
                 std::tuple(false, sent ? WorkState::Sent : WorkState::Saved, u"Пз_ZK-7"_s, 3,
                            qsizetype(0), 1));

        // In turn: nothing pruned a day early, the draft a day late, with its order.
        QCOMPARE((QList<qsizetype>{store.prune(info.lastChange.addDays(29)),
                                   store.prune(info.lastChange.addDays(31)), store.list().size(),
                                   QFile::exists(store.orderPath(info.id))}),
                 (QList<qsizetype>{0, 1, 0, false}));

        // A change after the save is unsent work again.
        QCOMPARE((std::tuple{kept.change(1, u"1"_s), kept.keeper.hasUnsavedWork(),
                             store.readInfo(id)->state}),
                 std::tuple(true, true, WorkState::InProgress));
    }

    void aDraftIsRestoredOnlyForItsUserPartnerAndSite_data()
    {
        // refusal: a part of the message, empty when the draft is restored.
        columns<QString, QString, QString, int, QString>("partnerIln", "userIln", "site", "offered",
                                                         "refusal");
        const QString platform = u"https://edi.example:443"_s;
        QTest::newRow("the same user, partner and site")
            << BuyerIln << SellerIln << platform << 1 << QString();
        QTest::newRow("another partner is named") << u"4607000000099"_s << SellerIln << platform
                                                  << 1 << PartnerName + ", ILN " + BuyerIln;
        QTest::newRow("another user")
            << BuyerIln << u"4600000000099"_s << platform << 1 << u"другим пользователем"_s;
        QTest::newRow("another site is neither offered nor given the draft")
            << BuyerIln << SellerIln << u"https://evil.example:443"_s << 0
            << u"другого сайта (https://edi.example:443)"_s;
        QTest::newRow("off-line the draft is not offered but may be restored")
            << BuyerIln << SellerIln << QString() << 0 << QString();
    }
    void aDraftIsRestoredOnlyForItsUserPartnerAndSite()
    {
        const auto [partnerIln, userIln, site, offered, refusal] =
            fetch<QString, QString, QString, int, QString>("partnerIln", "userIln", "site",
                                                           "offered", "refusal");
        auto earlier = std::make_unique<Kept>(m_work, u"https://edi.example:443"_s);
        earlier->change(3, u"11"_s);
        const QString id = earlier->keeper.draftId();
        const State kept = earlier->form.state();
        earlier.reset();

        RecordingMessages messages;
        Confirmation form(messages, testProcess());
        WorkKeeper keeper(form);
        keeper.setOrigin(site);
        form.setPartnerIln(partnerIln);
        testProcess().user.iln = userIln;
        QCOMPARE(keeper.otherUnsentDrafts().size(), offered);
        const QString refused = keeper.restoreDraft(id);
        QVERIFY2(refusal.isEmpty() ? refused.isEmpty() : refused.contains(refusal),
                 qPrintable(refused));
        QCOMPARE(same(form.state(), kept), refusal.isEmpty());
        if (refusal.isEmpty()) {
            QCOMPARE(form.lines().text(3, ColConfirmed), u"11,000"_s);
            keeper.undoStack().undo();
            QCOMPARE(form.lineCount(), int16_t(0));
        }
    }

    void aKilledEditorsDraftIsOfferedAtTheNextStart()
    {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--child", m_work});
        QVERIFY(child.waitForReadyRead(30000));
        QCOMPARE(child.readLine(), QByteArray("ready\n"));
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        HostWindow window(UserHome::offLine(BuyerIln, PartnerName), testProcess());
        window.show();
        QTRY_VERIFY(window.draftsBar()->isVisible());
        const QList<Drafts::Info> offered = window.keeper().otherUnsentDrafts();
        QCOMPARE(std::pair(offered.size(), offered.value(0).lines), std::pair(qsizetype(1), 3));
        // The journal, written between the same steps, tells the same story.
        const QList<Journal::Entry> journaled = window.keeper().journal().journal()->search({});
        QCOMPARE(std::tuple(journaled.size(), journaled.value(0).draftId, journaled.value(0).state),
                 std::tuple(qsizetype(1), offered[0].id, WorkState::InProgress));
        QVERIFY(window.keeper().restoreDraft(offered[0].id).isEmpty());
        QCOMPARE(window.form().lines().text(2, ColConfirmed), u"7,000"_s);
        QCOMPARE(window.form().field(Field::txtNrPotw), u"Пз_ZK-7"_s);

        // What was restored is neither sent nor saved: closing asks first.
        for (const auto& [button, staysOpen] : {std::pair{"Отмена", true}, {"Закрыть", false}}) {
            // The closing question's button of that text, once it is on screen.
            whenShown<QMessageBox>(this, [text = QString::fromUtf8(button)](QMessageBox& box) {
                for (QAbstractButton* b : box.buttons())
                    if (b->text() == text)
                        return b->click(), true;
                return false;
            });
            window.close();
            QCOMPARE(window.isVisible(), staysOpen);
        }
        const QList<Drafts::Info> kept = window.keeper().allDrafts();
        QCOMPARE(std::pair(kept.size(), kept.value(0).state),
                 std::pair(qsizetype(1), WorkState::InProgress));
    }

    void theDraftsDialogOffersUnsentDraftsFirstButNotTheOpenOne()
    {
        const Drafts store(Drafts::folderOf(m_work));
        const QDateTime now = QDateTime::currentDateTime();
        for (const auto& [id, work, number, changed] :
             QList<std::tuple<QString, WorkState, QString, QDateTime>>{
                 {"a", WorkState::Sent, "Пз_1", now},
                 {"b", WorkState::InProgress, "Пз_2", now.addDays(-1)},
                 {"c", WorkState::InProgress, "Пз_2", now.addSecs(60)}})
            QVERIFY(store.write(
                {id, work, changed, SellerIln, BuyerIln, PartnerName, number, PartnerName, 4, {}},
                OrderForm().form.state()));
        DraftsDialog dialog(store.list(), u"c"_s);
        QCOMPARE(dialog.list()->topLevelItemCount(), 3);
        QCOMPARE(std::tuple(dialog.list()->topLevelItem(0)->text(4),
                            dialog.list()->topLevelItem(1)->text(0), dialog.chosenId()),
                 std::tuple(u"открыт сейчас"_s, u"Пз_2"_s, u"b"_s));
    }

    // Bytes cut or added, and states whose line count does not fit their lines.
    void aDamagedDraftIsNotRead_data()
    {
        QTest::addColumn<Damage>("damage");
        const auto row = [](const char* name, Damage damage) { QTest::newRow(name) << damage; };
        row("cut inside the header", [](auto& good, auto) { return good.left(10); });
        row("cut inside the lines", [](auto& good, auto) { return good.left(400); });
        row("no draft at all", [](auto&, auto) { return QByteArray(500, 'x'); });
        row("bytes after the end of a draft", [](auto& good, auto) { return good + 'x'; });
        // A good state written with that line count, or with the grid's rows for one.
        const auto counting = [](std::optional<int16_t> count) {
            return Damage([count](auto&, State state) {
                state.lineCount = count.value_or(int16_t(state.lines.rows));
                return Drafts::encode({}, state);
            });
        };
        row("a negative line count", counting(INT16_MIN));
        row("as many lines as the grid has rows", counting({}));
    }
    void aDamagedDraftIsNotRead()
    {
        QFETCH(Damage, damage);
        Kept kept(m_work);
        const QByteArray good = Drafts::encode({}, kept.form.state());
        QVERIFY(!Drafts::decodeState(damage(good, kept.form.state())));
        QVERIFY(Drafts::decodeState(good));
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return runChild(QString::fromLocal8Bit(argv[2]));
    TestDrafts test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_drafts.moc"
