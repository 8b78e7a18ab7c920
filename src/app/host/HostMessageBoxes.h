#pragma once

#include "ui/control/MessageBoxes.h"

class TableFocus;

// The window's message boxes: once the clerk has read one, his keys go back to the table
// he was working in.
class HostMessageBoxes : public MessageBoxes {
public:
    using MessageBoxes::MessageBoxes;
    void setTableFocus(TableFocus* focus) { m_focus = focus; }
    Answer show(const Message& message) override;

private:
    TableFocus* m_focus = nullptr;
};
