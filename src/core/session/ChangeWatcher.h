#pragma once

#include "core/actions/Confirmation.h"

#include <QObject>
#include <QTimer>

#include <functional>

// Notices when the confirmation has changed: after a user's action has run to its end
// (the control enabled again, no modal window open), the state is compared with the one
// kept last; a different one is announced once, with the state before and after.
class ChangeWatcher : public QObject {
    Q_OBJECT
public:
    explicit ChangeWatcher(Confirmation& form, QObject* parent = nullptr);

    // Whether a change may be taken now; the window answers "no modal window is open".
    void setReadyCheck(std::function<bool()> ready) { m_ready = std::move(ready); }
    // The state taken as unchanged from now on, without announcing anything.
    void rebase();
    const Confirmation::State& baseline() const { return m_baseline; }
    // A change was noticed and waits for its action to be over.
    bool pending() const { return m_timer.isActive(); }
    // Compares at once; true when a change was announced.
    bool settle();
    // Changes made inside are taken as the new baseline, not announced.
    void restore(const Confirmation::State& state);

signals:
    void changed(const Confirmation::State& before, const Confirmation::State& after);

private:
    void schedule();

    Confirmation& m_form;
    Confirmation::State m_baseline;
    QTimer m_timer;
    std::function<bool()> m_ready;
};
