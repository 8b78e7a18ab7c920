#include "PlatformProcess.h"
#include "RecordingMessages.h"
#include "TestSupport.h"

#include "control/Confirmation.h"
#include "control/Host.h"
#include "control/Lifecycle.h"
#include "diagnostics/DebugLog.h"
#include "documents/Cp1251.h"
#include "documents/OrderReader.h"
#include "documents/ResponseWriter.h"
#include "documents/XmlDocument.h"
#include "exchange/Exchanges.h"
#include "exchange/RequestChannel.h"
#include "exchange/Send.h"
#include "storage/InfoFiles.h"
#include "storage/WorkingFolder.h"

#include <QEventLoop>
#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkReply>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>

using Field = Confirmation::Field;
using Switch = Confirmation::Switch;

namespace {

const QString UserIln = QStringLiteral("4600000000010");
const QString UserName = QStringLiteral("ООО Поставщик");
const QString PartnerIln = QStringLiteral("4607000000017");
const QString PartnerName = QStringLiteral("ООО Покупатель");
const QString NoPartnerInfo = QStringLiteral("Неправильный формат XML партнёр инфо.");
const QString FirstQuestion = QStringLiteral("Выслать составленный документ подтверждения заказа?");
const QString Sent = QStringLiteral("Документ отправлен.");
const QString ChannelTitle = QStringLiteral("Bі№d w SendXMLDOMRequest()!");
const QString ChannelLog = QStringLiteral("Bі№d w SendXMLDOMRequest():");

QByteArray userInfo()
{
    return QStringLiteral("<user><partner-info><info><iln>%1</iln><nip>7700000001</nip>"
                          "<name>%2</name><account>40702810000000000001</account></info>"
                          "</partner-info></user>")
        .arg(UserIln, UserName)
        .toUtf8();
}

QByteArray partnerInfo(const QString& name)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><partner-info-response>"
                          "<partner-info><info><nip>7800000002</nip><name>%1</name>"
                          "<account>40702810000000000002</account></info></partner-info>"
                          "</partner-info-response>")
        .arg(name)
        .toUtf8();
}

// An order with one line per unit of measure; a blank unit fails the line check.
QByteArray order(const QString& number, const QStringList& units)
{
    QString lines;
    for (int n = 1; n <= units.size(); ++n)
        lines +=
            QStringLiteral("<Line><Line-Item><LineNumber>%1</LineNumber><EAN>46012345600%1</EAN>"
                           "<BuyerItemCode>B-%1</BuyerItemCode><SupplierItemCode>S-%1"
                           "</SupplierItemCode><ItemDescription>Товар %1</ItemDescription>"
                           "<OrderedQuantity>%2</OrderedQuantity><OrderedUnitNetPrice>12.5"
                           "</OrderedUnitNetPrice><UnitOfMeasure>%3</UnitOfMeasure>"
                           "</Line-Item></Line>")
                .arg(n)
                .arg(10 * n)
                .arg(units[n - 1]);
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Document-Order>"
                          "<Order-Header><OrderNumber>%1</OrderNumber><OrderDate>2026-12-03"
                          "</OrderDate><ExpectedDeliveryDate>2026-12-09</ExpectedDeliveryDate>"
                          "<ExpectedDeliveryTime>08:30</ExpectedDeliveryTime></Order-Header>"
                          "<Order-Parties><Buyer><ILN>%2</ILN></Buyer><Seller><ILN>%3</ILN>"
                          "</Seller><DeliveryPoint><ILN>4607000000031</ILN><Name>Склад</Name>"
                          "<Address>ул. Лесная, 5</Address></DeliveryPoint></Order-Parties>"
                          "<Order-Lines>%4</Order-Lines></Document-Order>")
        .arg(number, PartnerIln, UserIln, lines)
        .toUtf8();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Opens the platform's page as a browser does and returns the session cookie it sets.
QString openSession(const QString& pageUrl)
{
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(pageUrl)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    QString cookie;
    const auto cookies =
        reply->header(QNetworkRequest::SetCookieHeader).value<QList<QNetworkCookie>>();
    for (const QNetworkCookie& c : cookies)
        cookie = QString::fromUtf8(c.toRawForm(QNetworkCookie::NameAndValueOnly));
    reply->deleteLater();
    return cookie;
}

// An HTTP server on a loopback port that gives every request the same answer, or no
// answer at all; it keeps what each request sent.
class FixedResponder : public QObject {
public:
    FixedResponder(QByteArray status, QByteArray body) : m_status(status), m_body(body)
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        });
    }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_server.serverPort()).arg(path);
    }
    quint16 port() const { return m_server.serverPort(); }
    // A header of the last request.
    std::optional<QByteArray> header(const QByteArray& name) const
    {
        const QList<QByteArray> lines = heads.value(heads.size() - 1).split('\n');
        for (const QByteArray& line : lines.mid(1)) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
                return line.mid(colon + 1).trimmed();
        }
        return std::nullopt;
    }

    QList<QByteArray> heads;
    QList<QByteArray> bodies;

private:
    void serve(QTcpSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = buffer.left(end);
        qsizetype length = 0;
        for (const QByteArray& line : head.split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        }
        if (buffer.size() < end + 4 + length)
            return;
        heads.append(head);
        bodies.append(buffer.mid(end + 4, length));
        m_buffers.remove(socket);
        socket->write("HTTP/1.1 " + m_status + "\r\nContent-Type: text/html; charset=utf-8\r\n" +
                      "Content-Length: " + QByteArray::number(m_body.size()) +
                      "\r\nConnection: close\r\n\r\n" + m_body);
        socket->disconnectFromHost();
    }

    QByteArray m_status;
    QByteArray m_body;
    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

class PageHost : public Host {
public:
    std::optional<QString> pageCookie() const override { return cookie; }
    QString pageUrl() const override { return url; }
    void showBusyPointer() override { ++busy; }
    void restorePointer() override { ++restored; }

    QString url;
    std::optional<QString> cookie;
    int busy = 0;
    int restored = 0;
};

// A control in a page of the platform, set up as the page's properties set it.
struct Control {
    Control(const QString& pageUrl, const std::optional<QString>& cookie,
            const QString& partnerUrl = QStringLiteral("supplier"))
    {
        host.url = pageUrl;
        host.cookie = cookie;
        form.setHost(host);
        form.properties.partnerUrl = partnerUrl;
        form.properties.partnerName = QStringLiteral("ABC");
        form.setPartnerIln(PartnerIln);
    }
    void show() { Lifecycle::UserControl_Show(form); }

    PageHost host;
    RecordingMessages messages;
    Confirmation form{messages};
};

} // namespace

class TestOnline : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<QTemporaryDir> m_store;
    std::unique_ptr<PlatformProcess> m_platform;
    std::unique_ptr<Control> m_control;

    QString pageUrl() const { return m_platform->siteBase() + "supplier/Order.aspx"; }
    QString partnerFile() const
    {
        return InfoFiles::partnerInfoPath(m_work->path(), UserIln, PartnerIln);
    }
    QStringList logLines() const
    {
        return Cp1251::decode(PlatformProcess::read(m_work->filePath("ABCPotwierdzenie.log")))
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
    // The platform knows the partner and has one order waiting; the control has started
    // with that order.
    bool startWithOrder()
    {
        if (!m_platform->place("partners/" + PartnerIln + ".xml", partnerInfo(PartnerName)) ||
            !m_platform->place("mailbox/supplier/waiting/01-ZK-7.xml",
                               order("ZK-7", {"PCE", "KGM"})) ||
            !m_platform->start())
            return false;
        m_control = std::make_unique<Control>(pageUrl(), openSession(pageUrl()));
        m_control->show();
        return m_control->form.lineCount() == 2 && m_control->messages.shown.isEmpty();
    }

private slots:
    void init()
    {
        freshProcess("ru_RU");
        DebugLog::reset();
        RequestChannel::setStallTimeout(10000);
        m_settings = std::make_unique<QTemporaryDir>();
        m_work = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings->path());
        WorkingFolder::write(m_work->path());
        QVERIFY(writeFile(m_work->filePath("userinfo.xml"), userInfo()));
        m_platform = std::make_unique<PlatformProcess>(m_store->path());
    }
    void cleanup()
    {
        m_control.reset();
        m_platform.reset();
        DebugLog::reset();
    }

    void startupTakesPartnerAndOrder_data()
    {
        QTest::addColumn<QString>("partnerUrl");
        QTest::addColumn<QString>("mailbox");
        QTest::addColumn<QStringList>("units");
        QTest::addColumn<int>("type");
        QTest::newRow("an order whose lines all pass is fully accepted")
            << "supplier"
            << "supplier" << QStringList{"PCE", "KGM"} << 2;
        QTest::newRow("an order with a line without a unit starts as a change")
            << "supplier"
            << "supplier" << QStringList{"PCE", " "} << 0;
        QTest::newRow("no waiting order leaves the tables empty and fully accepted")
            << "supplier"
            << "supplier" << QStringList{} << 2;
        QTest::newRow("an empty PartnerURL takes the order from the mailbox _")
            << ""
            << "_" << QStringList{"PCE"} << 2;
    }

    void startupTakesPartnerAndOrder()
    {
        QFETCH(QString, partnerUrl);
        QFETCH(QString, mailbox);
        QFETCH(QStringList, units);
        const bool hasOrder = !units.isEmpty();
        QVERIFY(m_platform->place("partners/" + PartnerIln + ".xml", partnerInfo(PartnerName)));
        if (hasOrder)
            QVERIFY(m_platform->place("mailbox/" + mailbox + "/waiting/01-ZK-7.xml",
                                      order("ZK-7", units)));
        QVERIFY(m_platform->start());
        Control c(pageUrl(), openSession(pageUrl()), partnerUrl);
        c.show();

        QCOMPARE(c.messages.texts(), QStringList());
        QVERIFY(c.form.isEnabled());
        QCOMPARE(c.form.lineCount(), units.size());
        QTEST(c.form.cboxTyp(), "type");
        QCOMPARE(c.form.field(Field::lblNrZamWart), hasOrder ? "ZK-7" : "");
        QCOMPARE(c.form.field(Field::lblILNKupWart), PartnerName);
        QCOMPARE(c.form.field(Field::lblILNSprzedWart), UserName);
        QCOMPARE(c.host.busy, c.host.restored);
        QCOMPARE(m_platform->names(m_platform->box(mailbox, "waiting")), QStringList());
        QCOMPARE(m_platform->names(m_platform->box(mailbox, "delivered")),
                 hasOrder ? QStringList{"01-ZK-7.xml"} : QStringList());
        PartnerInfo stored;
        QCOMPARE(InfoFiles::readPartnerInfo(partnerFile(), stored), InfoFiles::Read::Loaded);
        QCOMPARE(stored.name, PartnerName);
    }

    void partnerInformationRefused_data()
    {
        QTest::addColumn<bool>("serverKnowsPartner");
        QTest::addColumn<bool>("session");
        QTest::newRow("a partner the server does not know") << false << true;
        QTest::newRow("a page cookie the server never opened") << true << false;
    }

    void partnerInformationRefused()
    {
        QFETCH(bool, serverKnowsPartner);
        QFETCH(bool, session);
        const QByteArray earlier = partnerInfo(QStringLiteral("Прежнее имя"));
        QVERIFY(writeFile(partnerFile(), earlier));
        if (serverKnowsPartner)
            QVERIFY(m_platform->place("partners/" + PartnerIln + ".xml", partnerInfo(PartnerName)));
        QVERIFY(m_platform->place("mailbox/supplier/waiting/01-ZK-7.xml", order("ZK-7", {"PCE"})));
        QVERIFY(m_platform->start());
        Control c(pageUrl(), session ? openSession(pageUrl()) : QStringLiteral("WEXASESSION=0"));
        c.show();

        QCOMPARE(c.messages.texts(), QStringList{NoPartnerInfo});
        QVERIFY(!c.form.isEnabled());
        QCOMPARE(PlatformProcess::read(partnerFile()), earlier);
        QCOMPARE(m_platform->names(m_platform->box("supplier", "waiting")),
                 QStringList{"01-ZK-7.xml"});
    }

    void sendAsksBeforeUploading_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes uploads the response and disables the send button") << true;
        QTest::newRow("No sends nothing and leaves the send button enabled") << false;
    }

    void sendAsksBeforeUploading()
    {
        QFETCH(bool, yes);
        QVERIFY(startWithOrder());
        Control& c = *m_control;
        c.messages.answers = {yes ? Answer::Yes : Answer::No};
        const int busyBefore = c.host.busy;
        btnPrzeslij_Click(c.form);

        QCOMPARE(c.messages.texts(),
                 (yes ? QStringList{FirstQuestion, Sent} : QStringList{FirstQuestion}));
        QCOMPARE(c.form.isOn(Switch::btnPrzeslijEnabled), !yes);
        QVERIFY(c.form.isEnabled());
        QCOMPARE(c.host.busy, busyBefore + 1);
        QCOMPARE(c.host.restored, c.host.busy);
        const QString folder = m_platform->box("supplier", "received");
        const QStringList received = m_platform->names(folder);
        QCOMPARE(received.size(), yes ? 1 : 0);
        if (!yes)
            return;
        const std::optional<XmlDocument> built = MakeOrderResponse(c.form);
        QVERIFY(built);
        const QByteArray uploaded = PlatformProcess::read(folder + "/" + received[0]);
        // The channel posts the document's text as it is; it is the document a save writes,
        // only without the indentation.
        QCOMPARE(uploaded, built->xml().toUtf8());
        QCOMPARE(XmlDocument::fromBytes(uploaded).xml(),
                 XmlDocument::fromBytes(built->toUtf8()).xml());
    }

    void secondSendOfANumber_data()
    {
        QTest::addColumn<QString>("newNumber");
        QTest::addColumn<QString>("question");
        QTest::newRow("the same number asks whether to send it again")
            << QString()
            << "Проба повторной пересылки подтверждения поручения с тем же "
               "номером.\rПродолжить?";
        QTest::newRow("a new number asks the first question") << "Пз_ZK-7/2" << FirstQuestion;
    }

    void secondSendOfANumber()
    {
        QFETCH(QString, newNumber);
        QFETCH(QString, question);
        QVERIFY(startWithOrder());
        Control& c = *m_control;
        btnPrzeslij_Click(c.form);
        if (!newNumber.isEmpty())
            c.form.setField(Field::txtNrPotw, newNumber);
        c.messages.clear();
        btnPrzeslij_Click(c.form);
        QCOMPARE(c.messages.texts().value(0), question);
        QCOMPARE(c.messages.texts().value(1), Sent);
        QCOMPARE(m_platform->names(m_platform->box("supplier", "received")).size(), 2);
    }

    void uploadStatus_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("buttonEnabled");
        QTest::newRow("status OK is a success")
            << QByteArray("<send-document-response><submission-status>OK</submission-status>"
                          "</send-document-response>")
            << Sent << false;
        QTest::newRow("status ok in lower case is a failure")
            << QByteArray("<send-document-response><submission-status>ok</submission-status>"
                          "</send-document-response>")
            << "Произошла ошибка:ok" << true;
        QTest::newRow("an answer without a status reads -1")
            << QByteArray("<send-document-response/>") << "Произошла ошибка:-1" << true;
        QTest::newRow("an answer that is not XML reads -1")
            << QByteArray("Server busy") << "Произошла ошибка:-1" << true;
    }

    void uploadStatus()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, message);
        FixedResponder responder("200 OK", answer);
        Control c(responder.url("edi/supplier/Order.aspx"), QStringLiteral("WEXASESSION=1"));
        QVERIFY(Wczytaj_Zamowienie(c.form, XmlDocument::fromBytes(order("ZK-7", {"PCE"}))));
        c.form.services.uploadUrl = responder.url("edi/supplier/Upload.aspx");
        btnPrzeslij_Click(c.form);
        QCOMPARE(c.messages.texts(), (QStringList{FirstQuestion, message}));
        QTEST(c.form.isOn(Switch::btnPrzeslijEnabled), "buttonEnabled");
        QCOMPARE(responder.bodies.size(), 1);
        QVERIFY(responder.heads[0].startsWith("POST /edi/supplier/Upload.aspx "));
    }

    void unreachableServer_data()
    {
        QTest::addColumn<bool>("accepts");
        QTest::newRow("a closed port") << false;
        QTest::newRow("a server that accepts and never answers") << true;
    }

    void unreachableServer()
    {
        QFETCH(bool, accepts);
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        const quint16 port = silent.serverPort();
        if (!accepts)
            silent.close();
        RequestChannel::setStallTimeout(500);
        Control c(QStringLiteral("http://127.0.0.1:%1/edi/supplier/Order.aspx").arg(port),
                  QStringLiteral("WEXASESSION=1"));
        c.form.properties.debugLevel = QStringLiteral("2");
        c.show();

        // The channel reports each failing step, then the start-up its own conclusion.
        const QList<Message> shown = c.messages.shown;
        QVERIFY(shown.size() >= 2);
        QCOMPARE(shown.last().text, NoPartnerInfo);
        QStringList logged;
        for (const QString& line : logLines()) {
            QVERIFY2(!line.contains("Request: "), qPrintable(line));
            if (line.contains(ChannelLog))
                logged.append(line.mid(line.indexOf(ChannelLog) + ChannelLog.size()));
        }
        QCOMPARE(logged.size(), shown.size() - 1);
        for (qsizetype i = 0; i < logged.size(); ++i) {
            QCOMPARE(shown[i].title, ChannelTitle);
            QCOMPARE(shown[i].icon, Message::Icon::Critical);
            QVERIFY(!shown[i].text.isEmpty());
            QCOMPARE(logged[i], shown[i].text);
        }
    }

    void errorPageAnswer()
    {
        const QByteArray page = "<html><body><h1>Ошибка сервера</h1><br></body></html>";
        FixedResponder responder("500 Internal Server Error", page);
        Control c(responder.url("edi/supplier/Order.aspx"), QStringLiteral("WEXASESSION=1"));
        c.form.properties.debugLevel = QStringLiteral("4");
        c.show();

        QCOMPARE(c.messages.texts(), QStringList{NoPartnerInfo});
        QCOMPARE(c.messages.titles(), QStringList{"WEXA"});
        const QStringList log = logLines();
        const auto traced = [&log](const QString& text) {
            return std::any_of(log.begin(), log.end(),
                               [&text](const QString& line) { return line.endsWith(text); });
        };
        QVERIFY(
            traced("Request: " + responder.url("edi/Partners.aspx?format=xml") + " WEXASESSION=1"));
        QVERIFY(traced("Response: " + QString::fromUtf8(page)));
        QVERIFY(traced("ResponseParsed: "));
    }

    void cookieHeader_data()
    {
        QTest::addColumn<QString>("cookie");
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("sent");
        const QString own = QStringLiteral("http://127.0.0.1:%1/edi/supplier/Order.aspx");
        QTest::newRow("an empty cookie is still sent, empty") << QString() << own << true;
        QTest::newRow("the page's cookie goes to the page's own site")
            << "WEXASESSION=abc; lang=ru" << own << true;
        QTest::newRow("the cookie is kept from another host")
            << "WEXASESSION=abc"
            << "http://www.example.com/edi/supplier/Order.aspx" << false;
        QTest::newRow("the cookie is kept from another port of the same host")
            << "WEXASESSION=abc"
            << "http://127.0.0.1:9/edi/supplier/Order.aspx" << false;
    }

    void cookieHeader()
    {
        QFETCH(QString, cookie);
        QFETCH(QString, page);
        QFETCH(bool, sent);
        FixedResponder responder("200 OK", "<answer/>");
        Control c(page.contains("%1") ? page.arg(responder.port()) : page, cookie);
        ProcessState::instance().pageCookie = cookie;
        const XmlDocument answer =
            SendXMLDOMRequest(c.form, responder.url("edi/Partners.aspx?format=xml"),
                              XmlDocument::fromText("<partners-request/>"));
        QCOMPARE(answer.root().name(), "answer");
        QCOMPARE(c.messages.texts(), QStringList());
        QCOMPARE(responder.bodies.value(0), QByteArray("<partners-request/>"));
        QCOMPARE(responder.header("Cookie"),
                 sent ? std::optional<QByteArray>(cookie.toUtf8()) : std::nullopt);
    }

    void serviceAddresses_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("partnerUrl");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("upload");
        const QString h = QStringLiteral("http://h:8080");
        QTest::newRow("a page in a partner's folder has the folder above as its base")
            << h + "/edi/supplier/Order.aspx"
            << "supplier" << h + "/edi/" << h + "/edi/supplier/Upload.aspx";
        QTest::newRow("an empty PartnerURL keeps the slash of the service name")
            << h + "/edi/supplier/Order.aspx"
            << "" << h + "/edi/" << h + "/edi//Upload.aspx";
        QTest::newRow("a page address ending in a slash drops its last folder")
            << h + "/edi/supplier/"
            << "a/b" << h + "/edi/" << h + "/edi/a/b/Upload.aspx";
        QTest::newRow("an address with one slash has no base") << "Order.aspx/x"
                                                               << "supplier"
                                                               << ""
                                                               << "supplier/Upload.aspx";
        QTest::newRow("an address whose only slash comes first has no base") << "/Order.aspx"
                                                                             << ""
                                                                             << ""
                                                                             << "/Upload.aspx";
        QTest::newRow("an address without a slash has no base") << "Order.aspx"
                                                                << ""
                                                                << ""
                                                                << "/Upload.aspx";
    }

    void serviceAddresses()
    {
        QFETCH(QString, page);
        QFETCH(QString, partnerUrl);
        QFETCH(QString, base);
        RecordingMessages messages;
        Confirmation form(messages);
        form.properties.partnerUrl = partnerUrl;
        QCOMPARE(Exchanges::siteBase(page), base);
        Exchanges::buildServiceAddresses(form, page);
        QCOMPARE(form.services.partnersUrl, base + "Partners.aspx?format=xml");
        QTEST(form.services.uploadUrl, "upload");
        QCOMPARE(form.services.orderDataUrl, base + partnerUrl + "/OrderData.aspx");
    }
};

QTEST_GUILESS_MAIN(TestOnline)
#include "tst_online.moc"
