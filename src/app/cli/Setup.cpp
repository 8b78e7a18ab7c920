#include "app/cli/Setup.h"

#include "app/cli/CommandLine.h"
#include "core/rules/FileWriter.h"
#include "core/rules/SafeNames.h"
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

// Why a location number cannot be taken: it is part of the partner file's name.
QString ilnRefusal(const QString& iln)
{
    if (iln.trimmed().isEmpty())
        return QStringLiteral("не задан");
    return SafeNames::namePartRefusal(iln, 35);
}

bool writeFile(const QString& path, const QByteArray& bytes, QString& error)
{
    QString reason;
    if (FileWriter::write(path, bytes, &reason))
        return true;
    error = QStringLiteral("файл %1 не записан: %2").arg(QDir::toNativeSeparators(path), reason);
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
        if (const auto request = CommandLine::requestOf(arguments[i]);
            request != CommandLine::Request::None)
            return CommandLine::answer(request, QStringLiteral("Usage:\n") + usage(), out);
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
    if (!error.isEmpty())
        return CommandLine::wrongCall(QStringLiteral("wexa-confirm setup"), error, err);

    Preparation preparation;
    preparation.folder = values.value(QStringLiteral("--working-folder"));
    preparation.user = {values.value(QStringLiteral("--user-iln")),
                        values.value(QStringLiteral("--user-nip")),
                        values.value(QStringLiteral("--user-name")),
                        values.value(QStringLiteral("--user-account"))};
    if (values.contains(QStringLiteral("--partner-iln")))
        preparation.partner = {values.value(QStringLiteral("--partner-iln")),
                               {values.value(QStringLiteral("--partner-nip")),
                                values.value(QStringLiteral("--partner-name")),
                                values.value(QStringLiteral("--partner-account"))}};
    const std::optional<QString> folder = prepare(preparation, error);
    if (!folder) {
        print(err, QStringLiteral("wexa-confirm setup: %1\n").arg(error));
        return CommandLine::Refused;
    }
    print(out, QStringLiteral("Working folder %1 is ready.\n").arg(*folder));
    return CommandLine::Success;
}

std::optional<QString> prepare(const Preparation& preparation, QString& error)
{
    const QString userIln = ilnRefusal(preparation.user.iln);
    const QString partnerIln =
        preparation.partner ? ilnRefusal(preparation.partner->first) : QString();
    if (preparation.folder.trimmed().isEmpty())
        error = QStringLiteral("рабочая папка не задана");
    else if (!userIln.isEmpty())
        error = QStringLiteral("ILN поставщика ") + userIln;
    else if (preparation.user.name.trimmed().isEmpty())
        error = QStringLiteral("название поставщика не задано");
    else if (!partnerIln.isEmpty())
        error = QStringLiteral("ILN покупателя ") + partnerIln;
    if (!error.isEmpty())
        return std::nullopt;
    // The setting holds the folder without a trailing separator.
    const QString folder = QDir::toNativeSeparators(
        QDir::cleanPath(QDir::current().absoluteFilePath(preparation.folder)));
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("папка %1 не создана").arg(folder);
        return std::nullopt;
    }
    if (!writeFile(InfoFiles::userInfoPath(folder), userInfoFile(preparation.user), error))
        return std::nullopt;
    if (preparation.partner && !writeFile(InfoFiles::partnerInfoPath(folder, preparation.user.iln,
                                                                     preparation.partner->first),
                                          partnerInfoFile(preparation.partner->second), error))
        return std::nullopt;
    if (!WorkingFolder::write(folder)) {
        error = QStringLiteral("настройка рабочей папки не записана");
        return std::nullopt;
    }
    return folder;
}

} // namespace Setup
