#include "AppTest.h"
#include "FakeChooser.h"

#include "app/host/DraftsDialog.h"
#include "core/actions/CellEditor.h"
#include "core/actions/EditLine.h"
#include "core/actions/LoadResponse.h"
#include "core/actions/RemoveLine.h"
#include "core/actions/SaveResponse.h"
#include "core/rules/FileWriter.h"
#include "core/rules/ResponseWriter.h"
#include "core/session/Journal.h"

#include <QProcess>
#include <QTreeWidget>

#include <csignal>
#include <cstdio>

using namespace OnScreen;
using Field = Confirmation::Field;
using Action = std::function<void(Confirmation&)>;
Q_DECLARE_METATYPE(Action)

namespace {

const QString PartnerName = QStringLiteral("АО Покупатель");

// Confirms the current line in the dialog with new values.
class ConfirmingDialog : public LineDialogPort {
public:
    int16_t run(LineDialogFields& fields) override
    {
        fields.confirmed = QStringLiteral("3");
        fields.unitIndex = -1;
        fields.unitText = QStringLiteral("BOX");
        fields.price = QStringLiteral("9,5");
        return 1;
    }
};

void commitQuantity(Confirmation& form, int row, const QString& typed)
{
    form.lines().setCurrentCell(row, ColConfirmed);
    form.editor().open();
    form.editor().setText(typed);
    form.editor().pressEnter();
}

// A confirmation of an order read in a working folder, under a change, kept by a keeper.
struct Kept : OrderForm {
    explicit Kept(const QString& workingFolder, int lines = 3, const QString& origin = {})
    {
        testProcess().workingFolder = workingFolder;
        keeper.setOrigin(origin);
        DocumentTexts::useParties(form);
        keeper.orderReceived(order(lines).toUtf8());
        DocumentTexts::readOrder(form, order(lines));
        form.setField(Field::txtNrPotw, QStringLiteral("Пз_ZK-7"));
        form.selectCboxTyp(Change); // quantities open to typing
        keeper.startupFinished();
    }
    // The state the draft on disk holds.
    std::optional<Confirmation::State> draft() const
    {
        return keeper.drafts()->readState(keeper.draftId());
    }

    WorkKeeper keeper{form};
};

// Both states show the same confirmation, current cell included.
bool same(const Confirmation::State& a, const Confirmation::State& b)
{
    return a.sameContent(b) && a.lines.row == b.lines.row && a.lines.column == b.lines.column &&
           a.lines.heights == b.lines.heights;
}

// The test program as an editor that changes one quantity and waits to be killed.
int runChild(const QString& workingFolder)
{
    freshProcess();
    Kept kept(workingFolder);
    commitQuantity(kept.form, 2, QStringLiteral("7"));
    kept.keeper.watcher().settle();
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}

} // namespace

class TestDrafts : public QObject {
    Q_OBJECT
private:
    UserHome m_home;
    QString m_work = m_home.work();

    // Clicks the closing question's button of that text once it is on screen.
    void answerClosingQuestion(const QString& button)
    {
        whenShown<QMessageBox>(this, [button](QMessageBox& box) {
            for (QAbstractButton* b : box.buttons())
                if (b->text() == button)
                    return b->click(), true;
            return false;
        });
    }

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
        row("a quantity committed in the cell", [](auto& form) { commitQuantity(form, 2, "5"); });
        row("a refusal, which zeroes every quantity",
            [](auto& form) { form.selectCboxTyp(Refuse); });
        row("a line confirmed in the dialog", [](auto& form) {
            form.lines().setCurrentCell(3, ColName);
            ConfirmingDialog dialog;
            btnEdytuj_Click(form, dialog);
        });
        row("a line removed", [](auto& form) {
            form.lines().setCurrentCell(2, ColEan);
            btnUsun_Click(form);
        });
        row("the only line removed, which empties the form", [](auto& form) {
            for (int i = 0; i < 3; ++i)
                btnUsun_Click(form);
        });
        row("the confirmation date, copied into every line",
            [](auto& form) { form.setTxtDataPotw(QDate(2026, 12, 8)); });
        row("the delivery date and time", [](auto& form) {
            form.setTxtDataDost(QDate(2026, 12, 11));
            form.setTxtCzasDost(QTime(14, 45));
        });
        row("the remarks", [](auto& form) { form.setField(Field::txtUwagi, "Без звонка"); });
        row("the reason", [](auto& form) { form.selectCboxPrzyczyna(2); });
        row("a saved response loaded", [](auto& form) {
            Confirmation other(form.messages(), testProcess());
            other.setPartnerIln(form.partnerIln());
            DocumentTexts::readOrder(other, order(5));
            other.setField(Field::txtNrPotw, QStringLiteral("Пз_ZK-9"));
            commitQuantity(other, 4, QStringLiteral("1"));
            QTemporaryDir dir;
            FakeChooser chooser;
            chooser.path = dir.filePath(QStringLiteral("saved.xml"));
            FileWriter::write(chooser.path, MakeOrderResponse(other)->toUtf8());
            btnWczytaj_Click(form, chooser);
        });
    }
    void everyChangeLeavesADraftAndAnUndoStep()
    {
        QFETCH(Action, act);
        Kept kept(m_work);
        const Confirmation::State before = kept.form.state();
        QVERIFY(same(*kept.draft(), before));

        act(kept.form);
        QVERIFY(kept.keeper.watcher().settle());
        const Confirmation::State after = kept.form.state();
        QVERIFY(!after.sameContent(before));
        QVERIFY(kept.keeper.hasUnsavedWork());

        // The draft restores exactly what is on screen.
        Confirmation restored(kept.messages, testProcess());
        restored.restore(*kept.draft());
        QVERIFY(same(restored.state(), after));

        QCOMPARE(kept.keeper.undoStack().count(), 1);
        kept.keeper.undoStack().undo();
        QVERIFY(same(kept.form.state(), before));
        QVERIFY(same(*kept.draft(), before));
        kept.keeper.undoStack().redo();
        QVERIFY(same(kept.form.state(), after));
        QVERIFY(!kept.keeper.watcher().settle());
    }

    void aChangeIsTakenOnceTheActionIsOver()
    {
        Kept kept(m_work);
        bool modalOpen = true;
        kept.keeper.setReadyCheck([&] { return !modalOpen; });
        kept.form.selectCboxTyp(Refuse);
        QTest::qWait(150);
        QCOMPARE(kept.keeper.undoStack().count(), 0);
        modalOpen = false;
        kept.form.setEnabled(false); // the action is still running
        QTest::qWait(150);
        QCOMPARE(kept.keeper.undoStack().count(), 0);
        kept.form.setEnabled(true);
        QTRY_COMPARE(kept.keeper.undoStack().count(), 1);
        QCOMPARE(kept.draft()->cboxTyp, int(Refuse));
    }

    void theLastHundredStepsAreUndoneOneByOne()
    {
        Kept kept(m_work);
        QList<Confirmation::State> states{kept.form.state()};
        for (int step = 1; step <= 105; ++step) {
            commitQuantity(kept.form, 1 + (step - 1) % 3, QString::number(step % 7));
            QVERIFY(kept.keeper.watcher().settle());
            states.append(kept.form.state());
        }
        QCOMPARE(kept.keeper.undoStack().count(), 100);
        for (int step = 105; step > 55; --step) {
            kept.keeper.undoStack().undo();
            QVERIFY2(same(kept.form.state(), states[step - 1]), qPrintable(QString::number(step)));
        }
    }

    void typingRemarksIsOneStep()
    {
        Kept kept(m_work);
        for (const char* text : {"Б", "Бе", "Без"}) {
            kept.form.setField(Field::txtUwagi, QString::fromUtf8(text));
            QVERIFY(kept.keeper.watcher().settle());
        }
        QCOMPARE(kept.keeper.undoStack().count(), 1);
        kept.keeper.undoStack().undo();
        QCOMPARE(kept.form.field(Field::txtUwagi), QStringLiteral("Звонить за час"));
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
        commitQuantity(kept.form, 1, QStringLiteral("2"));
        kept.keeper.watcher().settle();
        const Drafts store = *kept.keeper.drafts();
        QCOMPARE(store.readInfo(kept.keeper.draftId())->state, WorkState::InProgress);
        // The order is kept as it came, and an unsent draft stays for good.
        QCOMPARE(readFile(store.orderPath(kept.keeper.draftId())), order(3).toUtf8());
        QCOMPARE(store.prune(QDateTime::currentDateTime().addDays(365)), 0);
        QCOMPARE(store.list().size(), 1);

        QTemporaryDir dir;
        FakeChooser chooser;
        chooser.path = dir.filePath(QStringLiteral("response.xml"));
        btnZapisz_Click(kept.form, chooser);
        QVERIFY(QFile::exists(chooser.path));
        // As the window does when the control reports it: a send as an accepted one leaves it.
        if (sent) {
            kept.form.set(Confirmation::Switch::btnPrzeslijEnabled, false);
            kept.keeper.responseSent();
        } else {
            kept.keeper.responseSaved(chooser.path, readFile(chooser.path));
        }
        QVERIFY(!kept.keeper.hasUnsavedWork());
        const Drafts::Info info = *store.readInfo(kept.keeper.draftId());
        QCOMPARE(info.state, sent ? WorkState::Sent : WorkState::Saved);
        QCOMPARE(info.number, QStringLiteral("Пз_ZK-7"));
        QCOMPARE(info.lines, 3);
        QVERIFY(kept.keeper.otherUnsentDrafts().isEmpty());

        // The send button and the number sent are no step of the user's.
        QCOMPARE(kept.keeper.undoStack().count(), 1);

        QCOMPARE(store.prune(info.lastChange.addDays(29)), 0);
        QCOMPARE(store.prune(info.lastChange.addDays(31)), 1);
        QVERIFY(store.list().isEmpty());
        QVERIFY(!QFile::exists(store.orderPath(info.id)));

        // A change after the save is unsent work again.
        commitQuantity(kept.form, 1, QStringLiteral("1"));
        QVERIFY(kept.keeper.watcher().settle());
        QVERIFY(kept.keeper.hasUnsavedWork());
        QCOMPARE(store.readInfo(kept.keeper.draftId())->state, WorkState::InProgress);
    }

    void aDraftIsRestoredOnlyForItsUserPartnerAndSite_data()
    {
        QTest::addColumn<QString>("partnerIln");
        QTest::addColumn<QString>("userIln");
        QTest::addColumn<QString>("site");
        QTest::addColumn<int>("offered");
        QTest::addColumn<QString>("refusal"); // a part of the message, empty when restored
        const QString platform = QStringLiteral("https://edi.example:443");
        QTest::newRow("the same user, partner and site")
            << BuyerIln << SellerIln << platform << 1 << QString();
        QTest::newRow("another partner is named")
            << QStringLiteral("4607000000099") << SellerIln << platform << 1
            << PartnerName + ", ILN " + BuyerIln;
        QTest::newRow("another user") << BuyerIln << QStringLiteral("4600000000099") << platform
                                      << 1 << QStringLiteral("другим пользователем");
        QTest::newRow("another site is neither offered nor given the draft")
            << BuyerIln << SellerIln << QStringLiteral("https://evil.example:443") << 0
            << QStringLiteral("другого сайта (https://edi.example:443)");
        QTest::newRow("off-line the draft is not offered but may be restored")
            << BuyerIln << SellerIln << QString() << 0 << QString();
    }
    void aDraftIsRestoredOnlyForItsUserPartnerAndSite()
    {
        QFETCH(QString, partnerIln);
        QFETCH(QString, userIln);
        QFETCH(QString, site);
        QFETCH(int, offered);
        QFETCH(QString, refusal);
        QString id;
        Confirmation::State kept;
        {
            Kept earlier(m_work, 3, QStringLiteral("https://edi.example:443"));
            commitQuantity(earlier.form, 3, QStringLiteral("11"));
            earlier.keeper.watcher().settle();
            id = earlier.keeper.draftId();
            kept = earlier.form.state();
        }
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
            QCOMPARE(form.lines().text(3, ColConfirmed), QStringLiteral("11,000"));
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
        QCOMPARE(offered.size(), 1);
        QCOMPARE(offered[0].lines, 3);
        // The journal, written between the same steps, tells the same story.
        const QList<Journal::Entry> journaled = window.keeper().journal().journal()->search({});
        QCOMPARE(journaled.size(), 1);
        QCOMPARE(journaled[0].draftId, offered[0].id);
        QCOMPARE(journaled[0].state, WorkState::InProgress);
        QVERIFY(window.keeper().restoreDraft(offered[0].id).isEmpty());
        QCOMPARE(window.form().lines().text(2, ColConfirmed), QStringLiteral("7,000"));
        QCOMPARE(window.form().field(Field::txtNrPotw), QStringLiteral("Пз_ZK-7"));

        // What was restored is neither sent nor saved: closing asks first.
        answerClosingQuestion(QStringLiteral("Отмена"));
        window.close();
        QVERIFY(window.isVisible());
        answerClosingQuestion(QStringLiteral("Закрыть"));
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(window.keeper().allDrafts().size(), 1);
        QCOMPARE(window.keeper().allDrafts()[0].state, WorkState::InProgress);
    }

    void theDraftsDialogOffersUnsentDraftsFirstButNotTheOpenOne()
    {
        const Drafts store(Drafts::folderOf(m_work));
        const Confirmation::State state = OrderForm().form.state();
        const QDateTime now = QDateTime::currentDateTime();
        const auto write = [&](const char* id, WorkState work, const char* number,
                               const QDateTime& changed) {
            const Drafts::Info info{id,          work,   changed,     SellerIln, BuyerIln,
                                    PartnerName, number, PartnerName, 4,         {}};
            return store.write(info, state);
        };
        QVERIFY(write("a", WorkState::Sent, "Пз_1", now));
        QVERIFY(write("b", WorkState::InProgress, "Пз_2", now.addDays(-1)));
        QVERIFY(write("c", WorkState::InProgress, "Пз_2", now.addSecs(60)));
        DraftsDialog dialog(store.list(), QStringLiteral("c"));
        QCOMPARE(dialog.list()->topLevelItemCount(), 3);
        QCOMPARE(dialog.list()->topLevelItem(0)->text(4), QStringLiteral("открыт сейчас"));
        QCOMPARE(dialog.list()->topLevelItem(1)->text(0), QStringLiteral("Пз_2"));
        QCOMPARE(dialog.chosenId(), QStringLiteral("b"));
    }

    // Bytes cut or added, and states whose line count does not fit their lines.
    void aDamagedDraftIsNotRead_data()
    {
        QTest::addColumn<int>("cut"); // bytes kept of a good draft, -1 for garbage, -2 for more
        // Written in place of the form's line count unless -1; INT_MAX stands for the grid's rows.
        QTest::addColumn<int>("lineCount");
        QTest::newRow("cut inside the header") << 10 << -1;
        QTest::newRow("cut inside the lines") << 400 << -1;
        QTest::newRow("no draft at all") << -1 << -1;
        QTest::newRow("bytes after the end of a draft") << -2 << -1;
        QTest::newRow("a negative line count") << 0 << int(INT16_MIN);
        QTest::newRow("as many lines as the grid has rows") << 0 << INT_MAX;
    }
    void aDamagedDraftIsNotRead()
    {
        QFETCH(int, cut);
        QFETCH(int, lineCount);
        Kept kept(m_work);
        Confirmation::State state = kept.form.state();
        if (lineCount != -1)
            state.lineCount = int16_t(lineCount == INT_MAX ? state.lines.rows : lineCount);
        const QByteArray good = Drafts::encode({}, kept.form.state());
        const QByteArray damaged = Drafts::encode({}, state);
        const QByteArray bytes = cut == -2 ? good + 'x'
                                 : cut < 0 ? QByteArray(500, 'x')
                                 : cut > 0 ? good.left(cut)
                                           : damaged;
        QVERIFY(!Drafts::decodeState(bytes));
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
