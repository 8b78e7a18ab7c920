#include "core/rules/Chooser.h"

#include "core/form/ProcessState.h"

#include <QDir>

namespace {

QString inFolder(const QString& folder, const QString& name)
{
    return folder.endsWith(QDir::separator()) ? folder + name : folder + QDir::separator() + name;
}

} // namespace

namespace Chooser {

QString choose(ProcessState& process, ChooserPort& chooser, ChooserPort::Mode mode,
               const QString& proposedName)
{
    QString& chosen = process.chosenFilePath;
    chosen.clear();
    chooser.run(mode, mode == ChooserPort::Mode::Load ? LoadTitle : SaveTitle, proposedName);
    return chosen;
}

QString chosenPath(ChooserPort::Mode mode, const QString& folder, const QString& selectedFile,
                   const QString& typedName)
{
    if (mode == ChooserPort::Mode::Load)
        return selectedFile.isEmpty() ? QString() : inFolder(folder, selectedFile);
    if (typedName.isEmpty())
        return {};
    return typedName.contains(QDir::separator()) ? typedName : inFolder(folder, typedName);
}

QString offLinePathLabel(const QString& folder)
{
    return inFolder(folder, QStringLiteral("WEXA"));
}

QString proposedFileName(const QString& confirmationNumber)
{
    QString name =
        QStringLiteral("Подтверждение_заказа_") + confirmationNumber + QStringLiteral(".xml");
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    return name;
}

} // namespace Chooser
