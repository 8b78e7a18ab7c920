#include "app/host/Preferences.h"

#include "core/rules/SafeNames.h"

#include <QDir>
#include <QLoggingCategory>
#include <QSettings>

Q_LOGGING_CATEGORY(lcPreferences, "wexa.confirm.preferences")

namespace Preferences {

bool write(const QString& what, const std::function<void(QSettings&)>& change)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("WEXA"));
    change(store);
    store.sync();
    if (store.status() == QSettings::NoError)
        return true;
    qCWarning(lcPreferences).noquote() << SafeNames::oneLine(
        QStringLiteral("Настройка «%1» не запомнена: файл настроек %2 не записан")
            .arg(what, QDir::toNativeSeparators(store.fileName())));
    return false;
}

} // namespace Preferences
