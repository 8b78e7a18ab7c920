#pragma once

#include "PlatformProcess.h"
#include "ServiceClient.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A store folder of its own for each test function and the platform server over it. A new
// server kills the one before, as a crash would end it.
struct ServerFixture {
    std::unique_ptr<QTemporaryDir> root;
    std::unique_ptr<PlatformProcess> platform;

    void fresh()
    {
        platform.reset();
        root = std::make_unique<QTemporaryDir>();
    }
    // A server over the store, not yet started.
    PlatformProcess& server()
    {
        platform = std::make_unique<PlatformProcess>(root->path());
        return *platform;
    }
    bool restart(const QStringList& options = {}, bool keepErrors = false)
    {
        return server().start(options, keepErrors);
    }
    int port() const { return platform->port(); }
    QString path(const QString& relative) const { return root->filePath(relative); }
    QStringList names(const QString& folder) const { return PlatformProcess::names(path(folder)); }
    // The link a mailbox's page opens the editor with.
    static QString pageLink(const std::string& html)
    {
        return QString::fromStdString(html)
            .section("id=\"open\" href=\"", 1)
            .section('"', 0, 0)
            .replace("&amp;", "&");
    }
    // Options that serve over TLS, with a certificate of the test authority.
    static inline const QString Tls = QStringLiteral(WEXA_SOURCE_DIR "/tests/common/tls/");
    static QStringList tls()
    {
        return {"--tls-cert", Tls + "server.pem", "--tls-key", Tls + "server.key"};
    }
};
