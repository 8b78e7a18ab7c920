#include "AppTest.h"
#include "CoreTable.h"
#include "PlatformProcess.h"

#include "core/actions/Send.h"
#include "core/rules/Cp1251.h"
#include "core/rules/ResponseWriter.h"
#include "core/session/InfoFiles.h"
#include "core/session/Lifecycle.h"

#include <QTcpServer>

using namespace DocumentTexts;
using namespace Qt::StringLiterals;
using Field = Confirmation::Field;

namespace {

const QString UserName = QStringLiteral("ООО Поставщик");
const QString PartnerName = QStringLiteral("ООО Покупатель");
const QString NoPartnerInfo = QStringLiteral("Неправильный формат XML партнёр инфо.");

// A control in a page of the platform, set up as the page's properties set it.
struct Control : Host, OrderForm {
    Control(const QString& url, const QString& cookie, const QString& debugLevel = {})
        : url(url), cookie(cookie)
    {
        form.setHost(*this);
        form.setProperties({QString(), debugLevel, "ABC", "supplier"});
        form.setPartnerIln(BuyerIln);
    }
    std::optional<QString> pageCookie() const override { return cookie; }
    QString pageUrl() const override { return url; }
    void showBusyPointer() override { ++busy; }
    void restorePointer() override { ++restored; }
    void orderReceived(const QByteArray& order) override { received = order; }
    void responseSent(const QString& number) override { sent.append(number); }

    QString url, cookie;
    int busy = 0, restored = 0;
    QByteArray received;
    QStringList sent;
};

} // namespace

class TestOnline : public QObject {
    Q_OBJECT
    std::unique_ptr<UserHome> m_home;
    std::unique_ptr<PlatformProcess> m_platform;
    std::unique_ptr<Control> m_control;

    QStringList logLines() const
    {
        return Cp1251::decode(readFile(QDir(m_home->work()).filePath("ABCPotwierdzenie.log")))
            .split("\r\n", Qt::SkipEmptyParts);
    }
    QString stored(const QString& path) const { return m_home->path() + "/platform/" + path; }
    QStringList names(const QString& folder) const
    {
        return m_platform->names(stored("mailbox/supplier/" + folder));
    }
    // Starts the platform, an order waiting for the buyer, and shows the control in its page.
    bool start(const QString& debugLevel = {})
    {
        if (!m_platform->start())
            return false;
        m_control = std::make_unique<Control>(m_platform->siteBase() + "supplier/Order.aspx",
                                              m_platform->page("supplier").cookie, debugLevel);
        Lifecycle::UserControl_Show(m_control->form);
        return true;
    }

private slots:
    void init()
    {
        m_control.reset(); // the last test's page and platform go before its home
        m_platform.reset();
        freshProcess();
        m_home = std::make_unique<UserHome>();
        QVERIFY(m_home->setUp({"--user-iln", SellerIln, "--user-name", UserName}));
        m_platform = std::make_unique<PlatformProcess>(stored({}));
        QVERIFY(m_platform->placeMailbox("supplier", BuyerIln, PartnerName, {order(2).toUtf8()}));
    }

    // The trace holds the start-up's own lines only: at level 2 its start when no exchange
    // failed, at 4 each exchange's request, answer and parsed answer, then the partner check.
    void startupTakesPartnerAndOrder_data()
    {
        columns<QString, QStringList>("level", "traced");
        const QString start = "Start logowania...";
        const QStringList exchange = {"Request: ", "Response: ", "ResponseParsed: "};
        QTest::newRow("without a level nothing is traced") << QString() << QStringList();
        QTest::newRow("level 2 traces the start alone") << "2" << QStringList{start};
        QTest::newRow("level 4 traces every exchange and the partner check")
            << "4" << QStringList{start} + exchange + exchange + QStringList{"Czy PARTNER_ILN = "};
    }
    void startupTakesPartnerAndOrder()
    {
        QFETCH(QString, level);
        QVERIFY(start(level));
        const Confirmation& form = m_control->form;
        QCOMPARE(std::tuple(m_control->messages.texts(), form.isEnabled(), m_control->restored),
                 std::tuple(QStringList(), true, m_control->busy));
        QCOMPARE((QStringList{QString::number(form.lineCount()), QString::number(form.cboxTyp()),
                              form.field(Field::lblNrZamWart), form.field(Field::lblILNKupWart),
                              form.field(Field::lblILNSprzedWart)}),
                 (QStringList{"2", "2", "ZK-1", PartnerName, UserName}));
        // The window is handed the order to keep before it is shown.
        QCOMPARE(XmlDocument::fromBytes(m_control->received).toUtf8(),
                 XmlDocument::fromText(order(2)).toUtf8());
        // The order moves once its answer has gone out, a moment after the control has it.
        QTRY_COMPARE(names("delivered"), QStringList{"01.xml"});
        QCOMPARE(names("waiting"), QStringList());
        PartnerInfo stored;
        QCOMPARE(InfoFiles::readPartnerInfo(
                     testProcess(), InfoFiles::partnerInfoPath(m_home->work(), SellerIln, BuyerIln),
                     stored),
                 InfoFiles::Read::Loaded);
        QCOMPARE(stored.name, PartnerName);
        // The stamped lines, each by the text its message starts with; the lines of XML
        // that follow a request or an answer carry no stamp.
        const QString today = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat) + ' ';
        static const QRegularExpression kind(
            " (Start logowania\\.\\.\\.|ResponseParsed: |Response: |Request: |Czy PARTNER_ILN = )");
        QStringList stamped;
        for (const QString& line : logLines())
            if (line.startsWith(today))
                stamped.append(kind.match(line).captured(1));
        QTEST(stamped, "traced");
    }

    void unknownPartnerStopsTheStart()
    {
        const QByteArray earlier = readFile(stored("partners/" + BuyerIln + ".xml"))
                                       .replace(PartnerName.toUtf8(), "Прежнее имя");
        const QString file = InfoFiles::partnerInfoPath(m_home->work(), SellerIln, BuyerIln);
        QVERIFY(writeFile(file, earlier) && earlier.contains("Прежнее имя"));
        QVERIFY(QFile::remove(stored("partners/" + BuyerIln + ".xml")));
        QVERIFY(start());
        QCOMPARE(m_control->messages.texts(), QStringList{NoPartnerInfo});
        QVERIFY(!m_control->form.isEnabled());
        QCOMPARE(readFile(file), earlier);
        QCOMPARE(names("waiting"), QStringList{"01.xml"});
    }

    void sendAsksBeforeUploading_data()
    {
        // session: null for the page's own, Off for off-line.
        columns<QString, bool, QStringList, int>("session", "twice", "messages", "received");
        const QString ask = "Выслать составленный документ подтверждения заказа?";
        const QString sent = "Документ отправлен.";
        const QString again = "Проба повторной пересылки подтверждения поручения с тем же "
                              "номером.\rПродолжить?";
        QTest::newRow("Yes uploads the response and disables the send button")
            << QString() << false << QStringList{ask, sent} << 1;
        QTest::newRow("sending the same number again asks whether to send it again")
            << QString() << true << QStringList{ask, sent, again, sent} << 2;
        QTest::newRow("an expired session gets no status and leaves the send button enabled")
            << "WEXASESSION=0" << false << QStringList{ask, "Произошла ошибка:-1"} << 0;
        // Off-line the send button is hidden; run anyway, the send builds and uploads nothing.
        QTest::newRow("off-line nothing is asked or uploaded")
            << "Off" << false << QStringList() << 0;
    }
    void sendAsksBeforeUploading()
    {
        const auto [session, twice, messages, received] =
            fetch<QString, bool, QStringList, int>("session", "twice", "messages", "received");
        QVERIFY(start());
        Control& c = *m_control;
        const Confirmation::Properties set = c.form.properties();
        if (session == "Off")
            c.form.setProperties({session, set.debugLevel, set.partnerName, set.partnerUrl});
        else if (!session.isNull())
            testProcess().pageCookie = session;
        c.messages.answers = {Answer::Yes};
        const int busyBefore = c.busy;
        btnPrzeslij_Click(c.form);
        if (twice)
            btnPrzeslij_Click(c.form);
        QCOMPARE(c.messages.texts(), messages);
        const int clicks = twice ? 2 : 1;
        QCOMPARE(std::tuple(c.form.isOn(Confirmation::Switch::btnPrzeslijEnabled),
                            c.form.isEnabled(), c.busy - busyBefore, c.restored - busyBefore,
                            int(names("received").size()), int(c.sent.size())),
                 std::tuple(received == 0, true, clicks, clicks, received, received));
        // What is uploaded is the document a save writes, without the indentation.
        if (const std::optional<XmlDocument> built = MakeOrderResponse(c.form); received == 1)
            QCOMPARE(readFile(stored("mailbox/supplier/received/") + names("received").value(0)),
                     built.value().xml().toUtf8());
    }

    void unreachableServer()
    {
        QTcpServer silent; // accepts and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        testProcess().deadlines.stall = 500;
        Control c(u"http://127.0.0.1:%1/edi/supplier/Order.aspx"_s.arg(silent.serverPort()),
                  "WEXASESSION=1", "2");
        Lifecycle::UserControl_Show(c.form);
        // The channel reports and logs each failing step, then the start-up its conclusion.
        QStringList reported = c.messages.texts(), logged;
        QVERIFY(reported.size() >= 2);
        QCOMPARE(reported.takeLast(), NoPartnerInfo);
        for (const Message& m : c.messages.shown.first(reported.size()))
            QCOMPARE(std::tuple(m.title, m.icon, m.text.isEmpty()),
                     std::tuple(u"Bі№d w SendXMLDOMRequest()!"_s, Message::Icon::Critical, false));
        const QString channel = "Bі№d w SendXMLDOMRequest():";
        for (const QString& line : logLines()) {
            QVERIFY2(!line.contains("Request: "), qPrintable(line));
            if (line.contains(channel))
                logged.append(line.mid(line.indexOf(channel) + channel.size()));
        }
        QCOMPARE(logged, reported);
    }
};

QTEST_GUILESS_MAIN(TestOnline)
#include "tst_online.moc"
