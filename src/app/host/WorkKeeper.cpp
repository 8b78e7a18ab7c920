#include "app/host/WorkKeeper.h"

#include "core/actions/CellEditor.h"
#include "core/form/ProcessState.h"
#include "core/rules/XmlDocument.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QUndoCommand>

using Field = Confirmation::Field;

// One change of the confirmation: the states before and after it, and the draft each
// belongs to (a restored draft is written to from then on).
class WorkKeeper::Step : public QUndoCommand {
public:
    enum { RemarksOnly = 1 };

    Step(WorkKeeper& keeper, Confirmation::State before, QString beforeId,
         Confirmation::State after, QString afterId)
        : m_keeper(keeper), m_before(std::move(before)), m_beforeId(std::move(beforeId)),
          m_after(std::move(after)), m_afterId(std::move(afterId))
    {
    }

    // The change has happened already when the step is pushed.
    void redo() override
    {
        if (m_applied)
            m_keeper.apply(m_after, m_afterId);
        m_applied = true;
    }
    void undo() override { m_keeper.apply(m_before, m_beforeId); }

    // Typing remarks is one step, not one a letter.
    int id() const override { return onlyRemarks(m_before, m_after) ? RemarksOnly : -1; }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const Step*>(other);
        if (next->m_beforeId != m_afterId || !onlyRemarks(m_before, next->m_after))
            return false;
        m_after = next->m_after;
        m_afterId = next->m_afterId;
        return true;
    }

private:
    static bool onlyRemarks(const Confirmation::State& a, const Confirmation::State& b)
    {
        Confirmation::State same = b;
        same.fields[size_t(Field::txtUwagi)] = a.fields[size_t(Field::txtUwagi)];
        return same.sameContent(a);
    }

    WorkKeeper& m_keeper;
    Confirmation::State m_before;
    QString m_beforeId;
    Confirmation::State m_after;
    QString m_afterId;
    bool m_applied = false;
};

WorkKeeper::WorkKeeper(Confirmation& form, QObject* parent)
    : QObject(parent), m_form(form), m_watcher(form),
      m_journal(form, [this](const QString& text) { emit status(text); })
{
    m_undo.setUndoLimit(UndoLimit);
    connect(&m_watcher, &ChangeWatcher::changed, this, &WorkKeeper::changed);
    // Keys that come faster than the event loop turns (a scanner) would otherwise merge
    // several commits into one step: the last commit is taken before the next one opens.
    connect(&form.editor(), &CellEditor::visibleChanged, this, [this](bool visible) {
        if (visible && m_watcher.pending())
            m_watcher.settle();
    });
}

std::optional<Drafts> WorkKeeper::drafts() const
{
    const QString folder = m_form.process().workingFolder;
    if (folder.isEmpty())
        return std::nullopt;
    return Drafts(Drafts::folderOf(folder));
}

bool WorkKeeper::holdsConfirmation(const Confirmation::State& state) const
{
    return state.lineCount > 0 || !state.fields[size_t(Field::txtNrPotw)].isEmpty();
}

void WorkKeeper::setState(WorkState state)
{
    if (state == m_state)
        return;
    m_state = state;
    m_journal.state(state);
}

void WorkKeeper::orderReceived(const QByteArray& order, const QString& source)
{
    // The order is kept before it is shown: the server hands it out only once.
    m_draftId = Drafts::newId(QDateTime::currentDateTime());
    m_order = order;
    m_orderSource = source;
    m_journal.detach();
    const std::optional<Drafts> store = drafts();
    QString error;
    if (store && !store->writeOrder(m_draftId, order, &error))
        emit status(QStringLiteral("Заказ не сохранён в черновиках: ") + error);
}

void WorkKeeper::startupFinished()
{
    m_quiet = true;
    m_watcher.settle();
    m_quiet = false;
    m_undo.clear();
    m_unsaved = false;
    m_state = WorkState::Received;
    // The order is journaled as the form shows it, once its start-up is over.
    if (!m_order.isNull())
        m_journal.order(m_order, m_orderSource, m_draftId, m_origin);
    m_order.clear();
    const Confirmation::State now = m_form.state();
    if (holdsConfirmation(now))
        writeDraft(now);
    if (const std::optional<Drafts> store = drafts())
        store->prune(QDateTime::currentDateTime());
    emit stateChanged();
}

void WorkKeeper::responseUploaded(const QByteArray& document, const QString& address,
                                  const QString& status)
{
    m_journal.uploaded(document, address, status);
}

void WorkKeeper::responseSent()
{
    // What the send changed (the send button, the number sent) is no user's step.
    m_quiet = true;
    m_watcher.settle();
    m_quiet = false;
    m_unsaved = false;
    m_state = WorkState::Sent;
    writeDraft(m_form.state());
    emit stateChanged();
}

void WorkKeeper::responseSaved(const QString& path, const QByteArray& document)
{
    m_quiet = true;
    m_watcher.settle();
    m_quiet = false;
    m_unsaved = false;
    m_journal.saved(path, document);
    // A copy kept in a file does not undo a send.
    if (m_state != WorkState::Sent)
        m_state = WorkState::Saved;
    writeDraft(m_form.state());
    emit stateChanged();
}

void WorkKeeper::responseLoading()
{
    // A cell edit the load committed is a step of the work on screen, kept with it.
    m_watcher.settle();
    m_beforeLoad = holdsConfirmation(m_form.state()) ? m_draftId : QStringLiteral("");
    m_draftId.clear();
    m_journal.detach();
}

void WorkKeeper::responseLoaded(const QString& path, bool loaded)
{
    if (!loaded) {
        if (!m_beforeLoad.value_or(QString()).isEmpty())
            emit status(QStringLiteral("Файл не загружен. Работа, что была на экране, сохранена в "
                                       "черновике: Ctrl+Z или «Файл → Черновики…» вернёт её."));
        return;
    }
    m_draftId = Drafts::newId(QDateTime::currentDateTime());
    QFile file(path);
    const QByteArray document =
        file.open(QIODevice::ReadOnly) && file.size() <= XmlDocument::MaxInputSize ? file.readAll()
                                                                                   : QByteArray();
    m_state = WorkState::Received;
    m_journal.order(document, QStringLiteral("loaded"), m_draftId, m_origin);
}

void WorkKeeper::changed(const Confirmation::State& before, const Confirmation::State& after)
{
    if (!m_quiet) {
        // After a load the step leads back from the loaded draft to the one before.
        const QString beforeId = m_beforeLoad.value_or(m_draftId);
        m_undo.push(new Step(*this, before, beforeId, after, m_draftId));
        m_unsaved = true;
        setState(WorkState::InProgress);
    }
    m_beforeLoad.reset();
    if (holdsConfirmation(after) || !m_draftId.isEmpty())
        writeDraft(after);
    emit stateChanged();
}

void WorkKeeper::apply(const Confirmation::State& state, const QString& draftId)
{
    CellEditor& editor = m_form.editor();
    if (editor.isVisible())
        editor.pressEscape();
    m_watcher.restore(state);
    if (draftId != m_draftId)
        m_journal.follow(draftId);
    m_draftId = draftId;
    m_unsaved = true;
    setState(WorkState::InProgress);
    if (holdsConfirmation(state) || !draftId.isEmpty())
        writeDraft(state);
    emit stateChanged();
}

void WorkKeeper::writeDraft(const Confirmation::State& state)
{
    const std::optional<Drafts> store = drafts();
    if (!store)
        return;
    if (m_draftId.isEmpty())
        m_draftId = Drafts::newId(QDateTime::currentDateTime());
    const ProcessState& process = m_form.process();
    Drafts::Info info;
    info.id = m_draftId;
    info.state = m_state;
    info.lastChange = QDateTime::currentDateTime();
    info.userIln = process.user.iln;
    info.partnerIln = m_form.partnerIln();
    info.partnerName = process.partner.name;
    info.number = state.fields[size_t(Field::txtNrPotw)];
    info.buyer = state.fields[size_t(Field::lblILNKupWart)];
    info.lines = state.lineCount;
    info.origin = m_origin;
    QString error;
    if (store->write(info, state, &error))
        emit status(QStringLiteral("Черновик записан: %1")
                        .arg(info.lastChange.toString(QStringLiteral("HH:mm:ss"))));
    else
        emit status(QStringLiteral("Черновик не записан: ") + error);
}

QString WorkKeeper::discardDraft(const QString& id)
{
    const std::optional<Drafts> store = drafts();
    std::optional<Drafts::Info> info = store ? store->readInfo(id) : std::nullopt;
    const std::optional<Confirmation::State> state = store ? store->readState(id) : std::nullopt;
    if (!info || !state)
        return QStringLiteral("Черновик не читается: файл повреждён или удалён.");
    info->state = WorkState::Discarded;
    info->lastChange = QDateTime::currentDateTime();
    QString error;
    if (!store->write(*info, *state, &error))
        return QStringLiteral("Черновик не записан: ") + error;
    if (Journal* journal = m_journal.journal()) {
        if (const std::optional<qint64> entry = journal->entryOfDraft(id))
            journal->setState(*entry, WorkState::Discarded);
    }
    if (id == m_draftId) {
        m_state = WorkState::Discarded;
        m_unsaved = false;
    }
    emit stateChanged();
    return {};
}

QList<Drafts::Info> WorkKeeper::allDrafts() const
{
    const std::optional<Drafts> store = drafts();
    QList<Drafts::Info> found;
    for (const Drafts::Info& info : store ? store->list() : QList<Drafts::Info>()) {
        if (m_origin.isEmpty() || info.origin == m_origin)
            found.append(info);
    }
    return found;
}

QList<Drafts::Info> WorkKeeper::otherUnsentDrafts() const
{
    QList<Drafts::Info> unsent;
    for (const Drafts::Info& info : allDrafts()) {
        if (!WorkStates::isDone(info.state) && info.id != m_draftId && info.origin == m_origin)
            unsent.append(info);
    }
    return unsent;
}

QString WorkKeeper::restoreDraft(const QString& id)
{
    const std::optional<Drafts> store = drafts();
    const std::optional<Drafts::Info> info = store ? store->readInfo(id) : std::nullopt;
    const std::optional<Confirmation::State> state = store ? store->readState(id) : std::nullopt;
    if (!info || !state)
        return QStringLiteral("Черновик не читается: файл повреждён или удалён.");
    if (!m_origin.isEmpty() && info->origin != m_origin)
        return QStringLiteral("Черновик относится к заказу другого сайта (%1).")
            .arg(info->origin.isEmpty() ? QStringLiteral("без сайта") : info->origin);
    const QString partner =
        info->partnerName.isEmpty()
            ? info->partnerIln
            : QStringLiteral("%1, ILN %2").arg(info->partnerName, info->partnerIln);
    if (info->partnerIln != m_form.partnerIln())
        return QStringLiteral("Черновик относится к другому покупателю (%1). Откройте "
                              "подтверждение заказа этого покупателя, чтобы продолжить его.")
            .arg(partner);
    if (info->userIln != m_form.process().user.iln)
        return QStringLiteral("Черновик записан другим пользователем (ILN %1).").arg(info->userIln);
    m_watcher.settle();
    const Confirmation::State before = m_form.state();
    const QString beforeId = m_draftId;
    auto* step = new Step(*this, before, beforeId, *state, id);
    apply(*state, id);
    m_undo.push(step);
    return {};
}
