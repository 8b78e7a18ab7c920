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
#include "exchange/RequestChannel.h"
#include "exchange/Send.h"
#include "storage/InfoFiles.h"
#include "storage/WorkingFolder.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkReply>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

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
const QString ChannelLog = QStringLiteral("Bі№d w SendXMLDOMRequest():");

QByteArray partnerInfo(const QString& name)
{
    return "<partner-info-response><partner-info><info><nip>7800000002</nip><name>" +
           name.toUtf8() +
           "</name><account>40702810000000000002</account></info></partner-info>"
           "</partner-info-response>";
}

QByteArray order(int lines)
{
    QString items;
    for (int n = 1; n <= lines; ++n)
        items += QStringLiteral("<Line><Line-Item><LineNumber>%1</LineNumber><EAN>46012345600%1"
                                "</EAN><ItemDescription>Товар %1</ItemDescription>"
                                "<OrderedQuantity>10</OrderedQuantity><OrderedUnitNetPrice>12.5"
                                "</OrderedUnitNetPrice><UnitOfMeasure>PCE</UnitOfMeasure>"
                                "</Line-Item></Line>")
                     .arg(n);
    return QStringLiteral("<Document-Order><Order-Header><OrderNumber>ZK-7</OrderNumber>"
                          "<OrderDate>2026-12-03</OrderDate></Order-Header><Order-Parties>"
                          "<Buyer><ILN>%1</ILN></Buyer><Seller><ILN>%2</ILN></Seller>"
                          "</Order-Parties><Order-Lines>%3</Order-Lines></Document-Order>")
        .arg(PartnerIln, UserIln, items)
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
    std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(QUrl(pageUrl))));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const auto cookies =
        reply->header(QNetworkRequest::SetCookieHeader).value<QList<QNetworkCookie>>();
    return cookies.isEmpty() ? QString()
                             : cookies.last().toRawForm(QNetworkCookie::NameAndValueOnly);
}

// Gives every request on a loopback port the same answer and keeps what each one sent.
struct FixedResponder : QTcpServer {
    FixedResponder(QByteArray status, QByteArray body)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [=, this] {
            QTcpSocket* socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [=, this] {
                const QByteArray in = socket->peek(socket->bytesAvailable());
                const qsizetype end = in.indexOf("\r\n\r\n");
                static const QRegularExpression length("content-length: *(\\d+)",
                                                       QRegularExpression::CaseInsensitiveOption);
                const qsizetype size = length.match(in.left(end)).captured(1).toLongLong();
                if (end < 0 || in.size() < end + 4 + size)
                    return;
                heads.append(in.left(end));
                bodies.append(in.mid(end + 4, size));
                socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=utf-8" +
                              "\r\nContent-Length: " + QByteArray::number(body.size()) +
                              "\r\nConnection: close\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
        });
    }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(serverPort()).arg(path);
    }

    QList<QByteArray> heads, bodies;
};

// A control in a page of the platform, set up as the page's properties set it.
struct Control : Host {
    Control(const QString& pageUrl, const std::optional<QString>& cookie,
            const QString& partnerUrl = QStringLiteral("supplier"))
        : url(pageUrl), cookie(cookie)
    {
        form.setHost(*this);
        form.properties.partnerUrl = partnerUrl;
        form.properties.partnerName = QStringLiteral("ABC");
        form.setPartnerIln(PartnerIln);
    }
    std::optional<QString> pageCookie() const override { return cookie; }
    QString pageUrl() const override { return url; }
    void showBusyPointer() override { ++busy; }
    void restorePointer() override { ++restored; }

    QString url;
    std::optional<QString> cookie;
    int busy = 0, restored = 0;
    RecordingMessages messages;
    Confirmation form{messages};
};

} // namespace

class TestOnline : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_settings, m_work, m_store;
    std::unique_ptr<PlatformProcess> m_platform;
    std::unique_ptr<Control> m_control;

    QString partnerFile() const
    {
        return InfoFiles::partnerInfoPath(m_work->path(), UserIln, PartnerIln);
    }
    QStringList names(const QString& folder, const QString& mailbox = "supplier") const
    {
        return m_platform->names(m_platform->box(mailbox, folder));
    }
    QStringList logLines() const
    {
        return Cp1251::decode(PlatformProcess::read(m_work->filePath("ABCPotwierdzenie.log")))
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
    // Starts the platform with an order of the given lines waiting in the mailbox (none for
    // 0) and shows the control in its page.
    bool start(int lines, bool knowsPartner = true, const QString& partnerUrl = "supplier")
    {
        const QString mailbox = partnerUrl.isEmpty() ? "_" : partnerUrl;
        if ((knowsPartner &&
             !m_platform->place("partners/" + PartnerIln + ".xml", partnerInfo(PartnerName))) ||
            (lines > 0 &&
             !m_platform->place("mailbox/" + mailbox + "/waiting/01-ZK-7.xml", order(lines))) ||
            !m_platform->start())
            return false;
        const QString url = m_platform->siteBase() + "supplier/Order.aspx";
        m_control = std::make_unique<Control>(url, openSession(url), partnerUrl);
        Lifecycle::UserControl_Show(m_control->form);
        return true;
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
        QVERIFY(writeFile(m_work->filePath("userinfo.xml"),
                          "<user><partner-info><info><iln>" + UserIln.toUtf8() +
                              "</iln><nip>7700000001</nip><name>" + UserName.toUtf8() +
                              "</name><account>40702810000000000001</account></info>"
                              "</partner-info></user>"));
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
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("partnerUrl");
        QTest::newRow("a waiting order is taken and fully accepted") << 2 << "supplier";
        QTest::newRow("no waiting order leaves the tables empty") << 0 << "supplier";
        QTest::newRow("an empty PartnerURL takes the order from the mailbox _") << 1 << "";
    }
    void startupTakesPartnerAndOrder()
    {
        QFETCH(int, lines);
        QFETCH(QString, partnerUrl);
        QVERIFY(start(lines, true, partnerUrl));
        const Confirmation& form = m_control->form;
        QCOMPARE(m_control->messages.texts(), QStringList());
        QVERIFY(form.isEnabled());
        QCOMPARE(form.lineCount(), lines);
        QCOMPARE(form.cboxTyp(), 2);
        QCOMPARE(form.field(Field::lblNrZamWart), lines ? "ZK-7" : "");
        QCOMPARE(form.field(Field::lblILNKupWart), PartnerName);
        QCOMPARE(form.field(Field::lblILNSprzedWart), UserName);
        QCOMPARE(m_control->busy, m_control->restored);
        const QString mailbox = partnerUrl.isEmpty() ? "_" : partnerUrl;
        QCOMPARE(names("waiting", mailbox), QStringList());
        QCOMPARE(names("delivered", mailbox), lines ? QStringList{"01-ZK-7.xml"} : QStringList());
        PartnerInfo stored;
        QCOMPARE(InfoFiles::readPartnerInfo(partnerFile(), stored), InfoFiles::Read::Loaded);
        QCOMPARE(stored.name, PartnerName);
    }

    void unknownPartnerStopsTheStart()
    {
        const QByteArray earlier = partnerInfo(QStringLiteral("Прежнее имя"));
        QVERIFY(writeFile(partnerFile(), earlier));
        QVERIFY(start(1, false));
        QCOMPARE(m_control->messages.texts(), QStringList{NoPartnerInfo});
        QVERIFY(!m_control->form.isEnabled());
        QCOMPARE(PlatformProcess::read(partnerFile()), earlier);
        QCOMPARE(names("waiting"), QStringList{"01-ZK-7.xml"});
    }

    void sendAsksBeforeUploading_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("secondNumber"); // null: no second send
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("received");
        const QString again = "Проба повторной пересылки подтверждения поручения с тем же "
                              "номером.\rПродолжить?";
        QTest::newRow("Yes uploads the response and disables the send button")
            << true << QString() << QStringList{FirstQuestion, Sent} << 1;
        QTest::newRow("No sends nothing and leaves the send button enabled")
            << false << QString() << QStringList{FirstQuestion} << 0;
        QTest::newRow("sending the same number again asks whether to send it again")
            << true << "" << QStringList{FirstQuestion, Sent, again, Sent} << 2;
        QTest::newRow("a new number asks the first question again")
            << true << "Пз_ZK-7/2" << QStringList{FirstQuestion, Sent, FirstQuestion, Sent} << 2;
    }
    void sendAsksBeforeUploading()
    {
        QFETCH(bool, yes);
        QFETCH(QString, secondNumber);
        QFETCH(int, received);
        QVERIFY(start(2));
        Control& c = *m_control;
        c.messages.answers = {yes ? Answer::Yes : Answer::No};
        const int busyBefore = c.busy;
        btnPrzeslij_Click(c.form);
        if (!secondNumber.isNull()) {
            if (!secondNumber.isEmpty())
                c.form.setField(Field::txtNrPotw, secondNumber);
            btnPrzeslij_Click(c.form);
        }
        QTEST(c.messages.texts(), "messages");
        QCOMPARE(c.form.isOn(Switch::btnPrzeslijEnabled), !yes);
        QVERIFY(c.form.isEnabled());
        QCOMPARE(c.busy, busyBefore + (secondNumber.isNull() ? 1 : 2));
        QCOMPARE(c.restored, c.busy);
        QCOMPARE(names("received").size(), received);
        // What is uploaded is the document a save writes, without the indentation.
        if (const std::optional<XmlDocument> built = MakeOrderResponse(c.form); received == 1)
            QCOMPARE(PlatformProcess::read(m_platform->box("supplier", "received/") +
                                           names("received").value(0)),
                     built.value().xml().toUtf8());
    }

    void uploadStatus_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("status OK is a success") << QByteArray("OK") << Sent;
        QTest::newRow("status ok in lower case is a failure")
            << QByteArray("ok") << "Произошла ошибка:ok";
        QTest::newRow("an answer without a status reads -1")
            << QByteArray() << "Произошла ошибка:-1";
    }
    void uploadStatus()
    {
        QFETCH(QByteArray, status);
        QFETCH(QString, message);
        FixedResponder responder(
            "200 OK", status.isEmpty() ? "<send-document-response/>"
                                       : "<send-document-response><submission-status>" + status +
                                             "</submission-status></send-document-response>");
        Control c(responder.url("edi/supplier/Order.aspx"), QStringLiteral("WEXASESSION=1"));
        QVERIFY(Wczytaj_Zamowienie(c.form, XmlDocument::fromBytes(order(1))));
        c.form.services.uploadUrl = responder.url("edi/supplier/Upload.aspx");
        btnPrzeslij_Click(c.form);
        QCOMPARE(c.messages.texts(), (QStringList{FirstQuestion, message}));
        QCOMPARE(c.form.isOn(Switch::btnPrzeslijEnabled), message != Sent);
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

    void errorPageAnswer()
    {
        const QByteArray page = "<html><body><h1>Ошибка сервера</h1><br></body></html>";
        FixedResponder responder("500 Internal Server Error", page);
        Control c(responder.url("edi/supplier/Order.aspx"), QStringLiteral("WEXASESSION=1"));
        c.form.properties.debugLevel = QStringLiteral("4");
        Lifecycle::UserControl_Show(c.form);
        QCOMPARE(c.messages.texts(), QStringList{NoPartnerInfo});
        QCOMPARE(c.messages.titles(), QStringList{"WEXA"});
        const QString log = logLines().join('\n') + '\n';
        QVERIFY(log.contains("Request: " + responder.url("edi/Partners.aspx?format=xml") +
                             " WEXASESSION=1\n"));
        QVERIFY(log.contains("Response: " + QString::fromUtf8(page) + '\n'));
        QVERIFY(log.contains("ResponseParsed: \n"));
    }

    void cookieHeader_data()
    {
        QTest::addColumn<QString>("cookie");
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("sent");
        QTest::newRow("an empty cookie is still sent, empty") << ""
                                                              << "" << true;
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
        Control c(page.isEmpty() ? responder.url("edi/supplier/Order.aspx") : page, cookie);
        ProcessState::instance().pageCookie = cookie;
        const XmlDocument answer =
            SendXMLDOMRequest(c.form, responder.url("edi/Partners.aspx?format=xml"),
                              XmlDocument::fromText("<partners-request/>"));
        QCOMPARE(answer.root().name(), "answer");
        QCOMPARE(c.messages.texts(), QStringList());
        QCOMPARE(responder.bodies.value(0), QByteArray("<partners-request/>"));
        static const QRegularExpression header("\r\ncookie:([^\r]*)",
                                               QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch match = header.match(responder.heads.value(0));
        QCOMPARE(match.hasMatch(), sent);
        QCOMPARE(match.captured(1).trimmed(), sent ? cookie : "");
    }
};

QTEST_GUILESS_MAIN(TestOnline)
#include "tst_online.moc"
