#include "AppTest.h"
#include "PlatformProcess.h"

#include "app/host/JournalDialog.h"
#include "core/actions/LoadResponse.h"
#include "core/rules/ResponseWriter.h"
#include "core/session/TrustedOrigins.h"

using namespace Qt::StringLiterals;
using Field = Confirmation::Field;

using DocumentTexts::BuyerIln, DocumentTexts::SellerIln;

namespace {

// Order `n` of the day: its own number, and EANs of its own in its n + 1 lines.
QByteArray orderOfTheDay(int n)
{
    QString text = DocumentTexts::withText(DocumentTexts::order(n + 1),
                                           u"Order-Header/OrderNumber"_s, u"ZK-%1"_s.arg(n));
    return text.replace(u"4601234560"_s, u"46"_s + QString::number(n) + u"0000000"_s).toUtf8();
}

} // namespace

class TestOrderStream : public QObject {
    Q_OBJECT

    UserHome m_home;
    std::unique_ptr<QTemporaryDir> m_store;
    std::unique_ptr<PlatformProcess> m_platform;
    // The window's message boxes: questions answered Yes, the rest closed.
    OnScreen::BoxAnswerer m_boxes;

    QStringList received() const
    {
        return PlatformProcess::names(m_store->filePath("mailbox/supplier/received"));
    }
    QByteArray received(int i) const
    {
        return readFile(m_store->filePath("mailbox/supplier/received/") + received().value(i));
    }
    // The window the platform's page opens on-line, started, with these orders waiting.
    std::unique_ptr<HostWindow> open(const QList<QByteArray>& orders)
    {
        if (!m_platform->placeMailbox("supplier", BuyerIln, "ТД «Северный»", orders) ||
            !m_platform->start())
            return nullptr;
        LaunchOptions options;
        options.pageUrl = m_platform->siteBase() + "supplier/Order.aspx";
        options.pageTrusted = true;
        options.cookie = m_platform->page("supplier").cookie;
        options.properties = {
            {"PartnerURL", "supplier"}, {"PartnerILN", BuyerIln}, {"PartnerName", "ABC"}};
        return startedWindow(std::move(options));
    }

private slots:
    void init()
    {
        freshProcess();
        m_boxes.clear();
        QDir(m_home.work()).removeRecursively();
        QVERIFY(m_home.setUp({"--user-iln", SellerIln, "--user-name", "ООО Поставщик"}));
        m_store = std::make_unique<QTemporaryDir>();
        m_platform = std::make_unique<PlatformProcess>(m_store->path());
    }
    void cleanup() { m_platform.reset(); }

    void threeOrdersAreAnsweredInOneWindow()
    {
        const auto window = open({orderOfTheDay(1), orderOfTheDay(2), orderOfTheDay(3)});
        QVERIFY(window);
        auto* next = window->findChild<QPushButton*>(u"nextOrder"_s);
        auto* nextAction = window->findChild<QAction*>(u"actionNextOrder"_s);
        auto* waiting = window->findChild<QLabel*>(u"waiting"_s);
        QVERIFY(!nextAction->isEnabled());

        for (int n = 1; n <= 3; ++n) {
            QCOMPARE(window->form().field(Field::lblNrZamWart), u"ZK-%1"_s.arg(n));
            QCOMPARE(waiting->text(), u"Ждут на площадке: %1"_s.arg(3 - n));
            QCOMPARE(window->form().lineCount(), n + 1);
            window->control()->button(u"btnPrzeslij"_s)->click();
            QTRY_COMPARE(received().size(), n);
            QVERIFY(next->isVisible() && nextAction->isEnabled());
            nextAction->trigger();
        }
        QCOMPARE(window->form().field(Field::lblNrZamWart), u"ZK-3"_s);
        QCOMPARE(window->statusBar()->currentMessage(), u"На сервере нет ожидающих заказов."_s);
        QCOMPARE(m_boxes.texts.count(u"Документ отправлен."_s), 3);

        Journal* journal = window->keeper().journal().journal();
        QVERIFY(journal);
        const QList<Journal::Entry> entries = journal->search({});
        QCOMPARE(entries.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const Journal::Entry& e = entries[i];
            QCOMPARE(e.orderNumber, u"ZK-%1"_s.arg(3 - i));
            QCOMPARE(e.state, WorkState::Sent);
            QCOMPARE(e.answer, u"OK"_s);
            QCOMPARE(e.origin, TrustedOrigins::originOf(QUrl(m_platform->siteBase())));
            QCOMPARE(journal->responseDocument(e.id), received(2 - i));
        }

        // The clerk finds an order by a part of its number or by an EAN of one of its lines,
        // with where it stands, and sees its response as it was sent.
        JournalDialog dialog(*journal, window.get());
        dialog.show();
        const std::pair<QString, QStringList> searches[] = {
            {u"ZK-9"_s, {}},
            {u"46"_s, {u"ZK-3"_s, u"ZK-2"_s, u"ZK-1"_s}},
            {u"4620000000003"_s, {u"ZK-2"_s}},
            {u"K-2"_s, {u"ZK-2"_s}}};
        for (const auto& [typed, found] : searches) {
            OnScreen::retype(dialog.searchField(), typed);
            QTRY_COMPARE(dialog.model().rowCount(), found.size());
            QStringList numbers;
            for (int row = 0; row < dialog.model().rowCount(); ++row) {
                numbers.append(dialog.model().entryAt(row)->orderNumber);
                QCOMPARE(dialog.model().data(dialog.model().index(row, JournalModel::State)),
                         QVariant(u"отправлен"_s));
            }
            QCOMPARE(numbers, found);
        }
        QCOMPARE(dialog.currentResponse(), received(1));
    }

    // An order that cannot be read shows nothing of the order answered before it.
    void aBrokenNextOrderLeavesNoLinesOfThePreviousOne()
    {
        const auto window =
            open({orderOfTheDay(1), "<Document-Order><Order-Header><OrderNumber>ZK-9"
                                    "</OrderNumber></Order-Header></Document-Order>"});
        QVERIFY(window);
        window->control()->button(u"btnPrzeslij"_s)->click();
        QTRY_COMPARE(received().size(), 1);
        window->findChild<QAction*>(u"actionNextOrder"_s)->trigger();

        QCOMPARE(window->form().field(Field::lblNrZamWart), u"ZK-9"_s);
        QCOMPARE(window->form().lineCount(), 0);
        QCOMPARE(window->form().lines().text(1, 1), QString()); // the first line's EAN
    }

    // A file that is no confirmation empties the form, but the work stays in its draft.
    void aFailedLoadLosesNothing()
    {
        const auto window = open({orderOfTheDay(1)});
        QVERIFY(window);
        Confirmation& form = window->form();
        form.setField(Field::txtUwagi, u"Отгрузим в пятницу"_s);
        window->keeper().watcher().settle();
        const QString draft = window->keeper().draftId();
        const Confirmation::State work = form.state();
        const QString bogus = m_store->filePath("not-a-confirmation.xml");
        QVERIFY(writeFile(bogus, "<Document-Invoice/>"));

        loadResponseFile(form, bogus);
        window->keeper().watcher().settle();

        QCOMPARE(form.lineCount(), 0);
        QVERIFY(window->statusBar()->currentMessage().contains("сохранена в черновике"));
        const std::optional<Confirmation::State> kept = window->keeper().drafts()->readState(draft);
        QVERIFY(kept && kept->sameContent(work));
        window->keeper().undoStack().undo();
        QVERIFY(form.state().sameContent(work));
        QCOMPARE(window->keeper().draftId(), draft);
    }

    void aLoadIsJournaledAndADiscardedDraftStays()
    {
        const auto window = open({orderOfTheDay(1), orderOfTheDay(2)});
        QVERIFY(window);
        Confirmation& form = window->form();
        const QString saved = m_store->filePath("saved.xml");
        QVERIFY(writeFile(saved, MakeOrderResponse(form)->toUtf8()));
        form.setField(Field::txtUwagi, u"в работе"_s);
        window->keeper().watcher().settle();
        const QString draft = window->keeper().draftId();

        loadResponseFile(form, saved);
        window->keeper().watcher().settle();
        QCOMPARE(window->keeper().discardDraft(draft), QString());

        const QList<Journal::Entry> entries = window->keeper().journal().journal()->search({});
        QCOMPARE(entries.size(), 2);
        QCOMPARE((std::tuple{entries[0].source, entries[0].orderNumber, entries[1].source,
                             entries[1].state}),
                 (std::tuple{u"loaded"_s, u"ZK-1"_s, u"fetched"_s, WorkState::Discarded}));
        QVERIFY(window->keeper().otherUnsentDrafts().isEmpty());
    }
};

QTEST_MAIN(TestOrderStream)
#include "tst_orderstream.moc"
