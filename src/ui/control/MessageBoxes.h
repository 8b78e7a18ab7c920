#pragma once

#include "core/form/MessageSink.h"

class QWidget;

// The control's messages as modal message boxes over the given window.
class MessageBoxes : public MessageSink {
public:
    explicit MessageBoxes(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }
    Answer show(const Message& message) override;

private:
    Answer askSaveCloseCancel(int icon, const Message& message);

    QWidget* m_owner;
};
