#include "app/cli/Setup.h"

#include "app/cli/CommandLine.h"
#include "core/rules/FileWriter.h"
#include "core/rules/XmlDocument.h"
#include "core/session/InfoFiles.h"
#include "core/session/WorkingFolder.h"

#include <QDir>
#include <QMap>

namespace Setup {
namespace {

void print(QIODevice& device, const QString& text)
{
    device.write(text.toUtf8());
}

// An information file of the layout the control reads: root, partner-info, info.
QByteArray infoFile(const QString& root, const QList<std::pair<QString, QString>>& values)
{
    QString skeleton = QStringLiteral("<%1><partner-info><info>").arg(root);
    for (const auto& [name, value] : values)
        skeleton += QStringLiteral("<%1/>").arg(name);
    skeleton += QStringLiteral("</info></partner-info></%1>").arg(root);
    XmlDocument document = XmlDocument::fromText(skeleton);
    for (const auto& [name, value] : values)
        document.selectSingleNode(QStringLiteral("/%1/partner-info/info/%2").arg(root, name))
            .setText(value);
    return document.toUtf8();
}

bool writeFile(const QString& path, const QByteArray& bytes, QIODevice& err)
{
    QString error;
    if (FileWriter::write(path, bytes, &error))
        return true;
    print(err, QStringLiteral("wexa-confirm setup: cannot write %1: %2\n").arg(path, error));
    return false;
}

} // namespace

QByteArray userInfoFile(const UserInfo& user)
{
    return infoFile(QStringLiteral("user-info"), {{QStringLiteral("iln"), user.iln},
                                                  {QStringLiteral("nip"), user.nip},
                                                  {QStringLiteral("name"), user.name},
                                                  {QStringLiteral("account"), user.account}});
}

QByteArray partnerInfoFile(const PartnerInfo& partner)
{
    return infoFile(QStringLiteral("partner-info-response"),
                    {{QStringLiteral("nip"), partner.nip},
                     {QStringLiteral("name"), partner.name},
                     {QStringLiteral("account"), partner.account}});
}

QString usage()
{
    return QStringLiteral(
        "  wexa-confirm setup --working-folder DIR --user-iln ILN --user-name NAME\n"
        "                     [--user-nip NIP] [--user-account ACC]\n"
        "                     [--partner-iln ILN --partner-name NAME [--partner-nip NIP]\n"
        "                      [--partner-account ACC]]\n"
        "      prepares the working folder: the OffLinePath setting, the folder, userinfo.xml\n"
        "      and, with --partner-iln, that partner's information file.\n");
}

int run(const QStringList& arguments, QIODevice& out, QIODevice& err)
{
    static const QStringList known = {
        QStringLiteral("--working-folder"), QStringLiteral("--user-iln"),
        QStringLiteral("--user-name"),      QStringLiteral("--user-nip"),
        QStringLiteral("--user-account"),   QStringLiteral("--partner-iln"),
        QStringLiteral("--partner-name"),   QStringLiteral("--partner-nip"),
        QStringLiteral("--partner-account")};
    QMap<QString, QString> values;
    QString error;
    for (qsizetype i = 0; i < arguments.size() && error.isEmpty(); ++i) {
        if (!known.contains(arguments[i]))
            error = QStringLiteral("unknown option '%1'").arg(arguments[i]);
        else if (i + 1 >= arguments.size())
            error = QStringLiteral("%1 needs a value").arg(arguments[i]);
        else
            values.insert(arguments[i], arguments[i + 1]), ++i;
    }
    for (const char* needed : {"--working-folder", "--user-iln", "--user-name"}) {
        if (error.isEmpty() && !values.contains(QLatin1String(needed)))
            error = QStringLiteral("%1 is required").arg(QLatin1String(needed));
    }
    if (error.isEmpty() && values.contains(QStringLiteral("--partner-iln")) !=
                               values.contains(QStringLiteral("--partner-name")))
        error = QStringLiteral("--partner-iln and --partner-name go together");
    if (!error.isEmpty()) {
        print(err, QStringLiteral("wexa-confirm setup: %1\n\nUsage:\n").arg(error) + usage());
        return CommandLine::UsageError;
    }

    // The setting holds the folder without a trailing separator.
    const QString folder = QDir::toNativeSeparators(QDir::cleanPath(
        QDir::current().absoluteFilePath(values.value(QStringLiteral("--working-folder")))));
    if (!QDir().mkpath(folder)) {
        print(err, QStringLiteral("wexa-confirm setup: cannot create %1\n").arg(folder));
        return CommandLine::Refused;
    }
    const QString userIln = values.value(QStringLiteral("--user-iln"));
    const UserInfo user{userIln, values.value(QStringLiteral("--user-nip")),
                        values.value(QStringLiteral("--user-name")),
                        values.value(QStringLiteral("--user-account"))};
    if (!writeFile(InfoFiles::userInfoPath(folder), userInfoFile(user), err))
        return CommandLine::Refused;
    if (values.contains(QStringLiteral("--partner-iln"))) {
        const PartnerInfo partner{values.value(QStringLiteral("--partner-nip")),
                                  values.value(QStringLiteral("--partner-name")),
                                  values.value(QStringLiteral("--partner-account"))};
        const QString path = InfoFiles::partnerInfoPath(
            folder, userIln, values.value(QStringLiteral("--partner-iln")));
        if (!writeFile(path, partnerInfoFile(partner), err))
            return CommandLine::Refused;
    }
    WorkingFolder::write(folder);
    print(out, QStringLiteral("Working folder %1 is ready.\n").arg(folder));
    return CommandLine::Success;
}

} // namespace Setup
