#pragma once

#include "core/session/Journal.h"

#include <functional>
#include <memory>

class Confirmation;

// Records one confirmation's story into the working folder's journal as it happens: the
// order it began with, each response sent or saved, where it stands. The journal is an
// aid, never a step of the work: a journal that cannot be opened or written is told once
// through `tell`, and the work goes on without it.
class JournalRecorder {
public:
    JournalRecorder(const Confirmation& form, std::function<void(const QString&)> tell);
    ~JournalRecorder();

    // The journal of the working folder, opened at the first use; nothing when it cannot
    // be.
    Journal* journal();
    qint64 entry() const { return m_entry; }

    // An order the confirmation begins with: fetched, loaded or opened from the journal.
    void order(const QByteArray& document, const QString& source, const QString& draftId,
               const QString& origin);
    void uploaded(const QByteArray& document, const QString& address, const QString& status);
    void saved(const QString& path, const QByteArray& document);
    void state(WorkState state);
    // The work goes on under a draft restored from earlier: its entry from now on.
    void follow(const QString& draftId);
    // Nothing is recorded for the confirmation until its next order.
    void detach() { m_entry = 0; }

private:
    void fail(const QString& what);
    // A response with no order recorded before it gets an entry of its own.
    bool ensureEntry();

    const Confirmation& m_form;
    std::function<void(const QString&)> m_tell;
    std::unique_ptr<Journal> m_journal;
    QString m_folder;
    qint64 m_entry = 0;
    bool m_failed = false;
};
