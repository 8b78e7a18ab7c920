#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// The platform server run as its own process on a free loopback port, serving a store
// folder that the test fills and inspects. The process is killed with the object.
class PlatformProcess {
public:
    explicit PlatformProcess(QString root) : m_root(std::move(root)) {}
    ~PlatformProcess() { kill(); }

    // Starts the server; false when it did not say where it listens.
    bool start()
    {
        m_process.setProgram(QStringLiteral(WEXA_BIN_DIR "/wexa-platform"));
        m_process.setArguments({QStringLiteral("--root"), m_root, QStringLiteral("--listen"),
                                QStringLiteral("127.0.0.1:0")});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(10000))
                return false;
        }
        static const QRegularExpression listening(
            QStringLiteral("^wexa-platform listening on (http://127\\.0\\.0\\.1:(\\d+)/edi/)$"));
        const QRegularExpressionMatch match =
            listening.match(QString::fromUtf8(m_process.readLine()).trimmed());
        if (!match.hasMatch())
            return false;
        m_siteBase = match.captured(1);
        m_port = match.captured(2).toInt();
        return true;
    }
    // Ends the server at once, as a crash would (SIGKILL).
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(10000);
    }

    QString siteBase() const { return m_siteBase; }
    int port() const { return m_port; }

    // A folder ("waiting", "delivered", "received") of the named mailbox.
    QString box(const QString& mailbox, const QString& folder) const
    {
        return m_root + QStringLiteral("/mailbox/") + mailbox + QLatin1Char('/') + folder;
    }
    QStringList names(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }
    // Writes a file below the root, making its folders.
    bool place(const QString& path, const QByteArray& bytes) const
    {
        const QString full = m_root + QLatin1Char('/') + path;
        QDir().mkpath(full.left(full.lastIndexOf(QLatin1Char('/'))));
        QFile file(full);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QString m_root;
    QProcess m_process;
    QString m_siteBase;
    int m_port = 0;
};
