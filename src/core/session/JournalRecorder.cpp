#include "core/session/JournalRecorder.h"

#include "core/actions/Confirmation.h"
#include "core/form/ProcessState.h"

JournalRecorder::JournalRecorder(const Confirmation& form, std::function<void(const QString&)> tell)
    : m_form(form), m_tell(std::move(tell))
{
}

JournalRecorder::~JournalRecorder() = default;

void JournalRecorder::fail(const QString& what)
{
    if (m_failed)
        return;
    m_failed = true;
    if (m_tell)
        m_tell(QStringLiteral("Журнал не ведётся: %1. Работа продолжается без него.").arg(what));
}

Journal* JournalRecorder::journal()
{
    const QString folder = m_form.process().workingFolder;
    // A journal that could not be opened is not tried again for the same folder.
    if (folder == m_folder && (m_journal || m_failed))
        return m_journal.get();
    m_journal.reset();
    m_folder = folder;
    if (folder.isEmpty())
        return nullptr;
    QString problem;
    QString notice;
    m_journal = Journal::open(folder, problem, &notice);
    if (!m_journal)
        fail(problem);
    else if (!notice.isEmpty() && m_tell)
        m_tell(notice);
    return m_journal.get();
}

void JournalRecorder::order(const QByteArray& document, const QString& source,
                            const QString& draftId, const QString& origin)
{
    m_entry = 0;
    Journal* kept = journal();
    if (!kept)
        return;
    Journal::Order order = Journal::orderOf(m_form, document);
    order.source = source;
    order.draftId = draftId;
    order.origin = origin;
    if (const std::optional<qint64> entry = kept->recordOrder(order))
        m_entry = *entry;
    else
        fail(kept->lastError());
}

bool JournalRecorder::ensureEntry()
{
    if (m_entry == 0)
        order({}, QStringLiteral("editor"), {}, {});
    return m_entry != 0;
}

void JournalRecorder::uploaded(const QByteArray& document, const QString& address,
                               const QString& status)
{
    if (!ensureEntry())
        return;
    Journal::Response response = Journal::responseOf(m_form, document);
    response.sent = true;
    response.target = address;
    response.answer = status;
    if (!m_journal->recordResponse(m_entry, response))
        fail(m_journal->lastError());
}

void JournalRecorder::saved(const QString& path, const QByteArray& document)
{
    if (!ensureEntry())
        return;
    Journal::Response response = Journal::responseOf(m_form, document);
    response.target = path;
    if (!m_journal->recordResponse(m_entry, response))
        fail(m_journal->lastError());
}

void JournalRecorder::state(WorkState state)
{
    if (m_entry == 0 || !journal())
        return;
    if (!m_journal->setState(m_entry, state))
        fail(m_journal->lastError());
}

void JournalRecorder::follow(const QString& draftId)
{
    m_entry = 0;
    if (Journal* kept = journal())
        m_entry = kept->entryOfDraft(draftId).value_or(0);
}
