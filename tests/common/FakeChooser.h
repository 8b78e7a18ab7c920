#pragma once

#include "TestSupport.h"

#include "core/actions/Confirmation.h"
#include "core/rules/Chooser.h"

#include <QDir>
#include <QList>

// Stands in for the chooser dialog: remembers how it was opened and leaves the chosen
// path: the proposed name in `folder`, else `path` ("" is a cancel).
class FakeChooser : public ChooserPort {
public:
    struct Opening {
        Mode mode;
        QString title;
        QString proposedName;
        bool controlEnabled;
    };

    explicit FakeChooser(const Confirmation* form = nullptr) : form(form) {}
    void run(Mode mode, const QString& title, const QString& proposedName) override
    {
        openings.append({mode, title, proposedName, form && form->isEnabled()});
        testProcess().chosenFilePath =
            folder.isEmpty() ? path : QDir(folder).filePath(proposedName);
    }

    const Confirmation* form;
    QString folder, path;
    QList<Opening> openings;
};
