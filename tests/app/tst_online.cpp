#include "AppTest.h"
#include "PlatformProcess.h"

#include "core/actions/Send.h"
#include "core/rules/Cp1251.h"
#include "core/rules/ResponseWriter.h"
#include "core/rules/XmlDocument.h"
#include "core/session/InfoFiles.h"
#include "core/session/Lifecycle.h"

#include <QTcpServer>

using Field = Confirmation::Field;
using Switch = Confirmation::Switch;

namespace {

using DocumentTexts::BuyerIln;
using DocumentTexts::SellerIln;
const QString UserName = QStringLiteral("ООО Поставщик");
const QString PartnerName = QStringLiteral("ООО Покупатель");
const QString NoPartnerInfo = QStringLiteral("Неправильный формат XML партнёр инфо.");
const QString FirstQuestion = QStringLiteral("Выслать составленный документ подтверждения заказа?");
const QString Sent = QStringLiteral("Документ отправлен.");
const QString ChannelLog = QStringLiteral("Bі№d w SendXMLDOMRequest():");

// A control in a page of the platform, set up as the page's properties set it.
struct Control : Host, OrderForm {
    Control(const QString& pageUrl, const QString& cookie) : url(pageUrl), cookie(cookie)
    {
        form.setHost(*this);
        Confirmation::Properties properties = form.properties();
        properties.partnerUrl = QStringLiteral("supplier");
        properties.partnerName = QStringLiteral("ABC");
        form.setProperties(properties);
        form.setPartnerIln(BuyerIln);
    }
    std::optional<QString> pageCookie() const override { return cookie; }
    QString pageUrl() const override { return url; }
    void showBusyPointer() override { ++busy; }
    void restorePointer() override { ++restored; }
    void orderReceived(const QByteArray& order) override { received = order; }
    void responseSent(const QString& number) override { sent.append(number); }

    QString url;
    QString cookie;
    int busy = 0, restored = 0;
    QByteArray received;
    QStringList sent;
};

} // namespace

class TestOnline : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<UserHome> m_home;
    std::unique_ptr<QTemporaryDir> m_store;
    std::unique_ptr<PlatformProcess> m_platform;
    std::unique_ptr<Control> m_control;

    QString partnerFile() const
    {
        return InfoFiles::partnerInfoPath(m_home->work(), SellerIln, BuyerIln);
    }
    // The lines of the log the control in the page keeps.
    QStringList logLines() const
    {
        return Cp1251::decode(readFile(QDir(m_home->work()).filePath("ABCPotwierdzenie.log")))
            .split("\r\n", Qt::SkipEmptyParts);
    }
    QStringList names(const QString& folder) const
    {
        return m_platform->names(m_store->filePath("mailbox/supplier/" + folder));
    }
    // Starts the platform with an order waiting for the buyer and shows the control in its page.
    bool start(int lines, bool knowsPartner = true, const QString& debugLevel = {})
    {
        if (!m_platform->placeMailbox("supplier", BuyerIln, PartnerName,
                                      {DocumentTexts::order(lines).toUtf8()}) ||
            (!knowsPartner && !QFile::remove(m_store->filePath("partners/" + BuyerIln + ".xml"))) ||
            !m_platform->start())
            return false;
        m_control = std::make_unique<Control>(m_platform->siteBase() + "supplier/Order.aspx",
                                              m_platform->page("supplier").cookie);
        if (!debugLevel.isEmpty())
            m_control->form.setDebugLevel(debugLevel);
        Lifecycle::UserControl_Show(m_control->form);
        return true;
    }

private slots:
    void init()
    {
        freshProcess("ru_RU");
        testProcess().deadlines.stall = 10000;
        m_home = std::make_unique<UserHome>();
        m_store = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->setUp({"--user-iln", SellerIln, "--user-name", UserName}));
        m_platform = std::make_unique<PlatformProcess>(m_store->path());
    }
    void cleanup()
    {
        m_control.reset();
        m_platform.reset();
        testProcess().trace = {};
    }

    void startupTakesPartnerAndOrder()
    {
        QVERIFY(start(2));
        const Confirmation& form = m_control->form;
        QCOMPARE(m_control->messages.texts(), QStringList());
        QVERIFY(form.isEnabled());
        QCOMPARE(form.lineCount(), 2);
        QCOMPARE(form.cboxTyp(), 2);
        QCOMPARE(form.field(Field::lblNrZamWart), "ZK-1");
        QCOMPARE(form.field(Field::lblILNKupWart), PartnerName);
        QCOMPARE(form.field(Field::lblILNSprzedWart), UserName);
        QCOMPARE(m_control->busy, m_control->restored);
        // The window is handed the order to keep before it is shown.
        QCOMPARE(XmlDocument::fromBytes(m_control->received).toUtf8(),
                 XmlDocument::fromText(DocumentTexts::order(2)).toUtf8());
        // The order moves once its answer has gone out, a moment after the control has it.
        QTRY_COMPARE(names("delivered"), QStringList{"01.xml"});
        QCOMPARE(names("waiting"), QStringList());
        PartnerInfo stored;
        QCOMPARE(InfoFiles::readPartnerInfo(testProcess(), partnerFile(), stored),
                 InfoFiles::Read::Loaded);
        QCOMPARE(stored.name, PartnerName);
    }

    // Up to level 4 the trace holds the start-up's own lines and nothing else: level 1 its
    // start, 2 nothing more when no exchange failed, 4 each exchange's request, answer and
    // parsed answer, then the partner check.
    void aFetchingStartUpTracesItsOwnLinesOnly_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QStringList>("lines");
        const QStringList exchange = {"Request: ", "Response: ", "ResponseParsed: "};
        QTest::newRow("level 2: the start, no failure") << 2 << QStringList{"Start logowania..."};
        QTest::newRow("level 4: every exchange and the partner check")
            << 4
            << QStringList{"Start logowania..."} + exchange + exchange +
                   QStringList{"Czy PARTNER_ILN = "};
    }
    void aFetchingStartUpTracesItsOwnLinesOnly()
    {
        QFETCH(int, level);
        QVERIFY(start(2, true, QString::number(level)));
        QCOMPARE(m_control->form.lineCount(), 2);

        // The stamped lines, each by the text its message starts with; the lines of XML
        // that follow a request or an answer carry no stamp.
        const QString today = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat) + ' ';
        QStringList stamped;
        for (const QString& line : logLines()) {
            if (!line.startsWith(today))
                continue;
            QString kind = "?";
            for (const char* start : {"Start logowania...", "ResponseParsed: ", "Response: ",
                                      "Request: ", "Czy PARTNER_ILN = "})
                if (line.contains(QLatin1Char(' ') + QString::fromUtf8(start)))
                    kind = QString::fromUtf8(start);
            stamped.append(kind);
        }
        QTEST(stamped, "lines");
    }

    void unknownPartnerStopsTheStart()
    {
        const QByteArray earlier = "<partner-info-response><partner-info><info><nip>7800000002"
                                   "</nip><name>Прежнее имя</name><account>40702810000000000002"
                                   "</account></info></partner-info></partner-info-response>";
        QVERIFY(writeFile(partnerFile(), earlier));
        QVERIFY(start(1, false));
        QCOMPARE(m_control->messages.texts(), QStringList{NoPartnerInfo});
        QVERIFY(!m_control->form.isEnabled());
        QCOMPARE(readFile(partnerFile()), earlier);
        QCOMPARE(names("waiting"), QStringList{"01.xml"});
    }

    void sendAsksBeforeUploading_data()
    {
        QTest::addColumn<QString>("session"); // null: the page's own; Off: off-line
        QTest::addColumn<bool>("twice");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("received");
        const QString again = "Проба повторной пересылки подтверждения поручения с тем же "
                              "номером.\rПродолжить?";
        QTest::newRow("Yes uploads the response and disables the send button")
            << QString() << false << QStringList{FirstQuestion, Sent} << 1;
        QTest::newRow("sending the same number again asks whether to send it again")
            << QString() << true << QStringList{FirstQuestion, Sent, again, Sent} << 2;
        QTest::newRow("an expired session gets no status and leaves the send button enabled")
            << "WEXASESSION=0" << false << QStringList{FirstQuestion, "Произошла ошибка:-1"} << 0;
        // Off-line the send button is hidden; run anyway, the send builds and uploads nothing.
        QTest::newRow("off-line nothing is asked or uploaded")
            << "Off" << false << QStringList() << 0;
    }
    void sendAsksBeforeUploading()
    {
        QFETCH(QString, session);
        QFETCH(bool, twice);
        QFETCH(int, received);
        QVERIFY(start(2));
        Control& c = *m_control;
        Confirmation::Properties properties = c.form.properties();
        if (session == "Off") {
            properties.onLine = session;
            c.form.setProperties(properties);
        } else if (!session.isNull()) {
            testProcess().pageCookie = session;
        }
        c.messages.answers = {Answer::Yes};
        const int busyBefore = c.busy;
        btnPrzeslij_Click(c.form);
        if (twice)
            btnPrzeslij_Click(c.form);
        QTEST(c.messages.texts(), "messages");
        QCOMPARE(c.form.isOn(Switch::btnPrzeslijEnabled), received == 0);
        QVERIFY(c.form.isEnabled());
        QCOMPARE(c.busy, busyBefore + (twice ? 2 : 1));
        QCOMPARE(c.restored, c.busy);
        QCOMPARE(names("received").size(), received);
        QCOMPARE(c.sent.size(), received);
        // What is uploaded is the document a save writes, without the indentation.
        if (const std::optional<XmlDocument> built = MakeOrderResponse(c.form); received == 1)
            QCOMPARE(readFile(m_store->filePath("mailbox/supplier/received/") +
                              names("received").value(0)),
                     built.value().xml().toUtf8());
    }

    void unreachableServer()
    {
        QTcpServer silent; // accepts and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        testProcess().deadlines.stall = 500;
        Control c(
            QStringLiteral("http://127.0.0.1:%1/edi/supplier/Order.aspx").arg(silent.serverPort()),
            QStringLiteral("WEXASESSION=1"));
        c.form.setDebugLevel(QStringLiteral("2"));
        Lifecycle::UserControl_Show(c.form);

        // The channel reports and logs each failing step, then the start-up its conclusion.
        QList<Message> shown = c.messages.shown;
        QVERIFY(shown.size() >= 2);
        QCOMPARE(shown.takeLast().text, NoPartnerInfo);
        QStringList reported, logged;
        for (const Message& m : shown) {
            QCOMPARE(m.title, QStringLiteral("Bі№d w SendXMLDOMRequest()!"));
            QCOMPARE(m.icon, Message::Icon::Critical);
            QVERIFY(!m.text.isEmpty());
            reported.append(ChannelLog + m.text);
        }
        for (const QString& line : logLines()) {
            QVERIFY2(!line.contains("Request: "), qPrintable(line));
            if (line.contains(ChannelLog))
                logged.append(line.mid(line.indexOf(ChannelLog)));
        }
        QCOMPARE(logged, reported);
    }
};

QTEST_GUILESS_MAIN(TestOnline)
#include "tst_online.moc"
