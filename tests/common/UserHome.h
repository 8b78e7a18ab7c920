#pragma once

#include "app/cli/Setup.h"
#include "app/host/LaunchOptions.h"

#include <QBuffer>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

// A user's home in a temporary folder: the program's settings are kept in it (for this
// process and the programs it starts) and its working folder is prepared there as the
// setup command prepares it.
class UserHome {
public:
    UserHome()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config());
        qputenv("XDG_CONFIG_HOME", config().toLocal8Bit());
    }

    QString path() const { return m_dir.path(); }
    QString config() const { return m_dir.filePath(QStringLiteral("config")); }
    QString work() const { return m_dir.filePath(QStringLiteral("work")); }

    // The setup command's options after its working folder; false when it refused them.
    bool setUp(const QStringList& options) const
    {
        QBuffer out, err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        const bool done =
            Setup::run(QStringList{"--working-folder", work()} + options, out, err) == 0;
        if (!done)
            qWarning("setup: %s", err.data().constData());
        return done;
    }

    // The window launched off-line for a partner.
    static LaunchOptions offLine(const QString& partnerIln, const QString& partnerName = {})
    {
        LaunchOptions options;
        options.properties = {{"OnLine", "Off"}, {"PartnerILN", partnerIln}};
        if (!partnerName.isEmpty())
            options.properties.insert("PartnerName", partnerName);
        return options;
    }

private:
    QTemporaryDir m_dir;
};
