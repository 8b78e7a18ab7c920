#include "core/session/WorkState.h"

#include <QStringList>

namespace WorkStates {
namespace {
const QStringList& words()
{
    static const QStringList list = {QStringLiteral("received"), QStringLiteral("in-progress"),
                                     QStringLiteral("sent"), QStringLiteral("saved"),
                                     QStringLiteral("discarded")};
    return list;
}
} // namespace

QString label(WorkState state)
{
    switch (state) {
    case WorkState::Received:
        return QStringLiteral("получен, не подтверждён");
    case WorkState::InProgress:
        return QStringLiteral("в работе");
    case WorkState::Sent:
        return QStringLiteral("отправлен");
    case WorkState::Saved:
        return QStringLiteral("записан в файл");
    case WorkState::Discarded:
        return QStringLiteral("отброшен");
    }
    return {};
}

QString word(WorkState state)
{
    return words().value(int(state));
}

std::optional<WorkState> fromWord(const QString& word)
{
    const qsizetype index = words().indexOf(word);
    return index < 0 ? std::nullopt : fromNumber(int(index));
}

std::optional<WorkState> fromNumber(int number)
{
    if (number < int(WorkState::Received) || number > int(WorkState::Discarded))
        return std::nullopt;
    return WorkState(number);
}
} // namespace WorkStates
