#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Where one confirmation stands, told alike by its draft and by the journal: the order
// came and nothing was done to it yet, the clerk is working on it, its response went to
// the platform or into a file, or the clerk gave the work up.
enum class WorkState : uint8_t { Received, InProgress, Sent, Saved, Discarded };

namespace WorkStates {
// Whether the work needs nothing more: sent, saved or given up.
inline bool isDone(WorkState state)
{
    return state == WorkState::Sent || state == WorkState::Saved || state == WorkState::Discarded;
}
// As the clerk reads it.
QString label(WorkState state);
// The command line's word for it: received, in-progress, sent, saved, discarded.
QString word(WorkState state);
std::optional<WorkState> fromWord(const QString& word);
std::optional<WorkState> fromNumber(int number);
} // namespace WorkStates
