#include "app/host/HostMessageBoxes.h"

#include "app/host/TableFocus.h"

#include <optional>

Answer HostMessageBoxes::show(const Message& message)
{
    std::optional<TableFocus::Away> away;
    if (m_focus)
        away.emplace(*m_focus);
    return MessageBoxes::show(message);
}
