#include "core/session/ChangeWatcher.h"

namespace {
// While an action waits on a modal window the check is tried again this often.
constexpr int RetryMs = 50;
} // namespace

ChangeWatcher::ChangeWatcher(Confirmation& form, QObject* parent)
    : QObject(parent), m_form(form), m_baseline(form.state())
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!m_form.isEnabled() || (m_ready && !m_ready())) {
            m_timer.start(RetryMs);
            return;
        }
        settle();
    });
    const auto touched = [this] { schedule(); };
    for (Grid* grid : {&form.lines(), &form.summary()}) {
        connect(grid, &Grid::dataChanged, this, touched);
        connect(grid, &Grid::rowsInserted, this, touched);
        connect(grid, &Grid::rowsRemoved, this, touched);
        connect(grid, &Grid::modelReset, this, touched);
        connect(grid, &Grid::columnWidthChanged, this, touched);
    }
    connect(&form, &Confirmation::fieldChanged, this, touched);
    connect(&form, &Confirmation::switchChanged, this, touched);
    connect(&form, &Confirmation::datesChanged, this, touched);
    connect(&form, &Confirmation::cboxTypChanged, this, touched);
    connect(&form, &Confirmation::cboxPrzyczynaChanged, this, touched);
}

void ChangeWatcher::schedule()
{
    if (!m_timer.isActive())
        m_timer.start(0);
}

void ChangeWatcher::rebase()
{
    m_timer.stop();
    m_baseline = m_form.state();
}

bool ChangeWatcher::settle()
{
    m_timer.stop();
    Confirmation::State now = m_form.state();
    if (now.sameContent(m_baseline)) {
        // The current cell may have moved; it is kept so that an undo puts it back.
        m_baseline = std::move(now);
        return false;
    }
    const Confirmation::State before = std::exchange(m_baseline, std::move(now));
    emit changed(before, m_baseline);
    return true;
}

void ChangeWatcher::restore(const Confirmation::State& state)
{
    // The check the restore's own signals schedule is stopped before it can run.
    m_form.restore(state);
    rebase();
}
