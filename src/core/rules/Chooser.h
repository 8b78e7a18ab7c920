#pragma once

#include <QString>

struct ProcessState;

// The folder and file chooser as the control uses it: shown modally in load or save mode,
// it leaves the chosen path in the process-wide ChosenFilePath ("" when nothing was
// chosen).
class ChooserPort {
public:
    enum class Mode { Load, Save };
    virtual ~ChooserPort() = default;
    virtual void run(Mode mode, const QString& title, const QString& proposedName) = 0;
};

namespace Chooser {

inline const QString LoadTitle = QStringLiteral("Переписать подтверждение заказа.");
inline const QString SaveTitle = QStringLiteral("Записать подтверждение заказа");
inline const QString LoadCaption = QStringLiteral("&Wczytaj");
inline const QString SaveCaption = QStringLiteral("&Zapisz");

// Shows the chooser with the mode's title and returns the chosen path, "" when nothing
// was chosen.
QString choose(ProcessState& process, ChooserPort& chooser, ChooserPort::Mode mode,
               const QString& proposedName = QString());
// The path OK makes of the current folder and the selected or typed name: a name that
// holds a separator is taken as typed; nothing is added to it. "" when there is no name.
QString chosenPath(ChooserPort::Mode mode, const QString& folder, const QString& selectedFile,
                   const QString& typedName);
// What the chooser shows below the lists: the folder followed by "WEXA".
QString offLinePathLabel(const QString& folder);
// The name proposed for saving a confirmation with this number.
QString proposedFileName(const QString& confirmationNumber);

} // namespace Chooser
