#include "app/host/UndoKeys.h"

#include <QAbstractSpinBox>
#include <QKeyEvent>
#include <QObject>

namespace UndoKeys {
namespace {

bool isUndoKey(const QKeyEvent& key)
{
    return key.matches(QKeySequence::Undo) || key.matches(QKeySequence::Redo) ||
           key.keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Y) ||
           key.keyCombination() ==
               QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
}

// Leaves the key's shortcut override unanswered, so that the window's shortcut runs.
class Filter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ShortcutOverride &&
            isUndoKey(*static_cast<QKeyEvent*>(event))) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void passToWindow(QWidget& control)
{
    auto* filter = new Filter(&control);
    for (QAbstractSpinBox* field : control.findChildren<QAbstractSpinBox*>())
        field->installEventFilter(filter);
}

} // namespace UndoKeys
