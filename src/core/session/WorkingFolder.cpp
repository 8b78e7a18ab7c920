#include "core/session/WorkingFolder.h"

#include "core/rules/SafeNames.h"

#include <QDir>
#include <QSettings>

namespace {
const QString Organisation = QStringLiteral("WEXA");
const QString Key = QStringLiteral("WexaActiveX/OffLinePath");
} // namespace

QString WorkingFolder::read()
{
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope, Organisation);
    return store.value(Key).toString();
}

bool WorkingFolder::write(const QString& folder)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, Organisation);
    store.setValue(Key, folder);
    store.sync();
    return store.status() == QSettings::NoError;
}

QString WorkingFolder::file(const QString& folder, const QString& name)
{
    if (!SafeNames::fileNameRefusal(name).isEmpty())
        return {};
    return folder + QDir::separator() + name;
}
