#pragma once

#include "TestSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <memory>

// The platform server as its own process on a free loopback port, serving a store folder
// that the test fills and inspects. Killed with the object, as a crash would end it.
class PlatformProcess {
public:
    explicit PlatformProcess(QString root) : m_root(std::move(root)) {}
    ~PlatformProcess()
    {
        m_process.kill();
        m_process.waitForFinished(10000);
    }

    // False when the server did not say where it listens. The server's log goes to the
    // test's own unless it is kept for errors().
    bool start(const QStringList& options = {}, bool keepErrors = false)
    {
        m_process.setProcessChannelMode(keepErrors ? QProcess::SeparateChannels
                                                   : QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(WEXA_BIN_DIR "/wexa-platform"),
                        QStringList{"--root", m_root, "--listen", "127.0.0.1:0"} + options);
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(10000))
                return false;
        static const QRegularExpression listening(
            "^wexa-platform listening on (https?)://127\\.0\\.0\\.1:(\\d+)/edi/$");
        const auto match = listening.match(QString::fromUtf8(m_process.readLine()).trimmed());
        m_scheme = match.captured(1);
        m_port = match.captured(2).toInt();
        return match.hasMatch();
    }
    // What the server has logged so far, when started to keep it.
    QByteArray errors()
    {
        m_errors += m_process.readAllStandardError();
        return m_errors;
    }
    // The most memory the server has held at once, in kilobytes.
    qint64 peakMemoryKb() const
    {
        const QByteArray status =
            readFile(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
        static const QRegularExpression peak("VmHWM:\\s*(\\d+) kB");
        return peak.match(QString::fromLatin1(status)).captured(1).toLongLong();
    }

    QString siteBase() const
    {
        return QStringLiteral("%1://127.0.0.1:%2/edi/").arg(m_scheme).arg(m_port);
    }
    int port() const { return m_port; }
    QProcess& process() { return m_process; }
    // The order page of a mailbox as a browser gets it: the session cookie it sets and the
    // link its button opens.
    struct Page {
        int status = 0;
        QString html;
        QString cookie;
        QString link;
    };
    Page page(const QString& partnerUrl) const
    {
        QNetworkAccessManager manager;
        std::unique_ptr<QNetworkReply> reply(
            manager.get(QNetworkRequest(QUrl(siteBase() + partnerUrl + "/Order.aspx"))));
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        Page page;
        page.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        page.html = QString::fromUtf8(reply->readAll());
        page.cookie = QString::fromUtf8(reply->rawHeader("Set-Cookie")).section(';', 0, 0);
        static const QRegularExpression button("id=\"open\" href=\"([^\"]+)\"");
        page.link = button.match(page.html).captured(1).replace("&amp;", "&");
        return page;
    }
    // A buyer's mailbox with its page's settings, its partner information and its orders.
    bool placeMailbox(const QString& partnerUrl, const QString& iln, const QString& buyer,
                      const QList<QByteArray>& orders, int debugLevel = 0) const
    {
        bool placed =
            place("mailbox/" + partnerUrl + "/page.ini",
                  "[General]\nPartnerName=" + partnerUrl.toUtf8() + "\nPartnerILN=" + iln.toUtf8() +
                      "\nDebugLevel=" + QByteArray::number(debugLevel) + "\n") &&
            place("partners/" + iln + ".xml",
                  "<partner-info-response><partner-info><info><nip>7800000002</nip>"
                  "<name>" +
                      buyer.toHtmlEscaped().toUtf8() +
                      "</name><account>40702810000000000002"
                      "</account></info></partner-info></partner-info-response>");
        for (qsizetype i = 0; i < orders.size(); ++i)
            placed = placed && place(QStringLiteral("mailbox/%1/waiting/%2.xml")
                                         .arg(partnerUrl)
                                         .arg(i + 1, 2, 10, QLatin1Char('0')),
                                     orders[i]);
        return placed;
    }
    QString root() const { return m_root; }
    static QStringList names(const QString& folder) { return QDir(folder).entryList(QDir::Files); }
    // Writes a file below the root, making its folders.
    bool place(const QString& path, const QByteArray& bytes) const
    {
        return writeFile(m_root + '/' + path, bytes);
    }
    static QByteArray read(const QString& path) { return readFile(path); }

private:
    QString m_root;
    QProcess m_process;
    QString m_scheme;
    int m_port = 0;
    QByteArray m_errors;
};
