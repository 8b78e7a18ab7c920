#pragma once

#include <QLocale>

class QCoreApplication;
class QTranslator;

namespace Translations {

// Installs Qt's own translations for the locale (the standard buttons, the context menus
// of the text fields) from the system's translations folder; the translator belongs to
// the application. Nothing when the system has none for the locale: the texts then stay
// English.
QTranslator* install(QCoreApplication& app, const QLocale& locale = QLocale());

} // namespace Translations
