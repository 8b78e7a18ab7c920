#pragma once

#include "core/actions/Confirmation.h"
#include "core/session/ChangeWatcher.h"
#include "core/session/Drafts.h"
#include "core/session/JournalRecorder.h"

#include <QObject>
#include <QUndoStack>

#include <functional>
#include <optional>

// Keeps the user's work around the control: after every change a draft of the whole
// confirmation in the working folder's drafts folder, a step on the undo stack, and
// whether anything is neither sent nor saved. The control's own sequences are untouched;
// the keeper only watches them and puts back states the control once had.
class WorkKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr int UndoLimit = 100;

    explicit WorkKeeper(Confirmation& form, QObject* parent = nullptr);

    QUndoStack& undoStack() { return m_undo; }
    ChangeWatcher& watcher() { return m_watcher; }
    QString draftId() const { return m_draftId; }
    std::optional<Drafts> drafts() const;
    // Changes neither sent nor saved since the order came.
    bool hasUnsavedWork() const { return m_unsaved; }
    WorkState workState() const { return m_state; }
    JournalRecorder& journal() { return m_journal; }
    // The origin of the page the window works for (empty off-line): drafts record it, and
    // a window on-line is offered only the drafts of its own origin.
    void setOrigin(const QString& origin) { m_origin = origin; }
    // Whether a change may be taken now (no modal window open).
    void setReadyCheck(std::function<bool()> ready) { m_watcher.setReadyCheck(std::move(ready)); }

    // What the control tells its host. An order, fetched or opened from the journal, is a
    // confirmation of its own: its source is written into the journal.
    void orderReceived(const QByteArray& order, const QString& source = QStringLiteral("fetched"));
    void startupFinished();
    void responseUploaded(const QByteArray& document, const QString& address,
                          const QString& status);
    void responseSent();
    void responseSaved(const QString& path, const QByteArray& document);
    // A load keeps the work on screen as its draft before it empties the form; a load that
    // fails leaves that draft as it was and says how to get the work back.
    void responseLoading();
    void responseLoaded(const QString& path, bool loaded);
    // Gives up the work of a draft: it is no longer offered and the journal says so. An
    // empty text when done, else why not.
    QString discardDraft(const QString& id);

    // Unsent drafts of this window's origin other than the one being written now, the
    // latest first.
    QList<Drafts::Info> otherUnsentDrafts() const;
    // The drafts this window may restore: those of its origin on-line, all off-line.
    QList<Drafts::Info> allDrafts() const;
    // Puts a draft's confirmation into the control as one undoable step and goes on
    // writing that draft; an empty text when done, else why it was not restored.
    QString restoreDraft(const QString& id);

signals:
    // A quiet report for the status bar.
    void status(const QString& text);
    // The confirmation, or whether it is sent or saved, may look different now.
    void stateChanged();

private:
    class Step;

    void changed(const Confirmation::State& before, const Confirmation::State& after);
    void apply(const Confirmation::State& state, const QString& draftId);
    void writeDraft(const Confirmation::State& state);
    void setState(WorkState state);
    bool holdsConfirmation(const Confirmation::State& state) const;

    Confirmation& m_form;
    ChangeWatcher m_watcher;
    QUndoStack m_undo;
    QString m_draftId;
    QString m_origin;
    // The draft that held the work before a load: an undo goes back to it.
    std::optional<QString> m_beforeLoad;
    QByteArray m_order;
    QString m_orderSource;
    WorkState m_state = WorkState::Received;
    JournalRecorder m_journal;
    bool m_unsaved = false;
    bool m_quiet = false;
};
