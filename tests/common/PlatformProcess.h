#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

// The platform server as its own process on a free loopback port, serving a store folder
// that the test fills and inspects. The process is killed with the object.
class PlatformProcess {
public:
    explicit PlatformProcess(QString root) : m_root(std::move(root)) {}
    ~PlatformProcess() { kill(); }

    // False when the server did not say where it listens.
    bool start()
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(WEXA_BIN_DIR "/wexa-platform"),
                        {"--root", m_root, "--listen", "127.0.0.1:0"});
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(10000))
                return false;
        static const QRegularExpression listening(
            "^wexa-platform listening on (http://127\\.0\\.0\\.1:(\\d+)/edi/)$");
        const auto match = listening.match(QString::fromUtf8(m_process.readLine()).trimmed());
        m_siteBase = match.captured(1);
        m_port = match.captured(2).toInt();
        return match.hasMatch();
    }
    // Ends the server at once, as a crash would.
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(10000);
    }

    QString siteBase() const { return m_siteBase; }
    int port() const { return m_port; }
    // A folder ("waiting", "delivered", "received") of the named mailbox.
    QString box(const QString& mailbox, const QString& folder) const
    {
        return m_root + "/mailbox/" + mailbox + '/' + folder;
    }
    static QStringList names(const QString& folder)
    {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }
    // Writes a file below the root, making its folders.
    bool place(const QString& path, const QByteArray& bytes) const
    {
        QFile file(m_root + '/' + path);
        QDir().mkpath(QFileInfo(file).path());
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
