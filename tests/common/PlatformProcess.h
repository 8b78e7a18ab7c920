#pragma once

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

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

    // False when the server did not say where it listens.
    bool start(const QStringList& options = {})
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(WEXA_BIN_DIR "/wexa-platform"),
                        QStringList{"--root", m_root, "--listen", "127.0.0.1:0"} + options);
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(10000))
                return false;
        static const QRegularExpression listening(
            "^wexa-platform listening on http://127\\.0\\.0\\.1:(\\d+)/edi/$");
        const auto match = listening.match(QString::fromUtf8(m_process.readLine()).trimmed());
        m_port = match.captured(1).toInt();
        return match.hasMatch();
    }

    QString siteBase() const { return QStringLiteral("http://127.0.0.1:%1/edi/").arg(m_port); }
    int port() const { return m_port; }
    QProcess& process() { return m_process; }
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
    int m_port = 0;
};
