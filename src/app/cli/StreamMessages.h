#pragma once

#include "core/form/MessageSink.h"

#include <QIODevice>

// Messages for the command line: one line each on the error stream, "title: text",
// questions answered Yes.
class StreamMessages : public MessageSink {
public:
    explicit StreamMessages(QIODevice& stream) : m_stream(stream) {}

    Answer show(const Message& message) override;
    // Whether a message with the critical or exclamation icon was shown.
    bool warned() const { return m_warned; }

private:
    QIODevice& m_stream;
    bool m_warned = false;
};
