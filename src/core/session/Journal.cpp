#include "core/session/Journal.h"

#include "core/actions/Confirmation.h"
#include "core/form/Columns.h"
#include "core/form/ProcessState.h"
#include "core/form/RuntimeError.h"
#include "core/rules/Conversions.h"
#include "core/rules/LineTally.h"
#include "core/rules/ResponseType.h"
#include "core/rules/XmlDocument.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <QVariant>

#include <atomic>
#include <functional>

namespace {

using Step = std::function<bool(QSqlDatabase&, QString&)>;

QString now()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QDateTime fromStored(const QString& text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs).toLocalTime();
}

// The UTC moment a local day begins, as stored.
QString dayStart(QDate day)
{
    return day.startOfDay().toUTC().toString(Qt::ISODateWithMs);
}

bool exec(QSqlDatabase& db, const QString& statement, QString& error)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    error = query.lastError().text();
    return false;
}

bool execAll(QSqlDatabase& db, const QStringList& statements, QString& error)
{
    for (const QString& statement : statements) {
        if (!exec(db, statement, error))
            return false;
    }
    return true;
}

// A text bound to a statement: an empty one, never NULL.
QVariant text(const QString& value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

// What an entry is found by besides its codes: its numbers and its buyer, in lower case.
bool insertText(QSqlDatabase& db, qint64 entry, const QStringList& parts, QString& error)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO entry_text (rowid, text) VALUES (?, ?)"));
    query.bindValue(0, entry);
    query.bindValue(1, parts.join(QLatin1Char('\n')).toLower());
    if (query.exec())
        return true;
    error = query.lastError().text();
    return false;
}

bool insertCodes(QSqlDatabase& db, qint64 entry, const QStringList& codes, QString& error)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO codes (entry, code) VALUES (?, ?)"));
    for (const QString& code : codes) {
        query.bindValue(0, entry);
        query.bindValue(1, code);
        if (!query.exec()) {
            error = query.lastError().text();
            return false;
        }
    }
    return true;
}

// The schema, one step a version. Each runs in its own transaction with the version it
// reaches.
const QList<Step>& migrations()
{
    static const QList<Step> steps = {
        [](QSqlDatabase& db, QString& error) {
            return execAll(
                db,
                {QStringLiteral("CREATE TABLE documents (id INTEGER PRIMARY KEY, bytes BLOB "
                                "NOT NULL)"),
                 QStringLiteral(
                     "CREATE TABLE entries (id INTEGER PRIMARY KEY, received TEXT NOT NULL, "
                     "changed TEXT NOT NULL, state INTEGER NOT NULL, draft_id TEXT NOT NULL, "
                     "origin TEXT NOT NULL, source TEXT NOT NULL, buyer_iln TEXT NOT NULL, "
                     "buyer_name TEXT NOT NULL, seller_iln TEXT NOT NULL, order_number TEXT "
                     "NOT NULL, order_date TEXT NOT NULL, confirmation_number TEXT NOT NULL, "
                     "lines INTEGER NOT NULL, ordered_total REAL NOT NULL, order_document "
                     "INTEGER REFERENCES documents(id))"),
                 QStringLiteral("CREATE INDEX entries_received ON entries (received)"),
                 QStringLiteral("CREATE INDEX entries_draft ON entries (draft_id)"),
                 QStringLiteral(
                     "CREATE TABLE responses (id INTEGER PRIMARY KEY, entry INTEGER NOT NULL "
                     "REFERENCES entries(id), at TEXT NOT NULL, number TEXT NOT NULL, type "
                     "TEXT NOT NULL, confirmed_total REAL NOT NULL, full_lines INTEGER NOT "
                     "NULL, changed_lines INTEGER NOT NULL, refused_lines INTEGER NOT NULL, "
                     "sent INTEGER NOT NULL, target TEXT NOT NULL, answer TEXT NOT NULL, "
                     "document INTEGER REFERENCES documents(id))"),
                 QStringLiteral("CREATE INDEX responses_entry ON responses (entry)"),
                 QStringLiteral("CREATE TABLE states (entry INTEGER NOT NULL REFERENCES "
                                "entries(id), at TEXT NOT NULL, state INTEGER NOT NULL)")},
                error);
        },
        // Search: the lines' codes, and the numbers and the buyer by any part of them,
        // filled for the entries already kept.
        [](QSqlDatabase& db, QString& error) {
            if (!execAll(db,
                         {QStringLiteral("CREATE TABLE codes (entry INTEGER NOT NULL "
                                         "REFERENCES entries(id), code TEXT NOT NULL)"),
                          QStringLiteral("CREATE INDEX codes_code ON codes (code, entry)"),
                          QStringLiteral("CREATE VIRTUAL TABLE entry_text USING fts5(text, "
                                         "tokenize = 'trigram')")},
                         error))
                return false;
            QSqlQuery kept(db);
            kept.setForwardOnly(true);
            if (!kept.exec(QStringLiteral(
                    "SELECT e.id, d.bytes, e.order_number, e.confirmation_number, e.buyer_name, "
                    "e.buyer_iln, (SELECT group_concat(number, char(10)) FROM responses WHERE "
                    "entry = e.id) FROM entries e LEFT JOIN documents d ON d.id = "
                    "e.order_document"))) {
                error = kept.lastError().text();
                return false;
            }
            while (kept.next()) {
                const qint64 entry = kept.value(0).toLongLong();
                if (!insertCodes(db, entry, Journal::codesOf(kept.value(1).toByteArray()), error) ||
                    !insertText(db, entry,
                                {kept.value(2).toString(), kept.value(3).toString(),
                                 kept.value(4).toString(), kept.value(5).toString(),
                                 kept.value(6).toString()},
                                error))
                    return false;
            }
            return true;
        },
    };
    return steps;
}

std::atomic<int> connections = 0;

enum class Opened { Ready, NotAJournal, Failed };

// Opens the named connection to the file and reads the schema version it holds.
Opened connectTo(const QString& name, const QString& path, int& version, QString& error)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    // Two windows of one clerk write the same journal: one waits for the other.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000"));
    if (!db.open()) {
        error = db.lastError().text();
        return Opened::Failed;
    }
    QSqlQuery stored(db);
    if (!stored.exec(QStringLiteral("PRAGMA user_version")) || !stored.next()) {
        error = stored.lastError().text();
        return Opened::NotAJournal;
    }
    version = stored.value(0).toInt();
    return Opened::Ready;
}

// Moves the entry to the state, with a line of its history; nothing when it stands there
// already or, with `unlessSent`, was sent.
bool changeState(QSqlDatabase& db, qint64 entry, WorkState state, bool unlessSent, QString& error)
{
    QSqlQuery query(db);
    const QString at = now();
    query.prepare(QStringLiteral(
        "UPDATE entries SET state = ?, changed = ? WHERE id = ? AND state <> ? AND state <> ?"));
    query.bindValue(0, int(state));
    query.bindValue(1, at);
    query.bindValue(2, entry);
    query.bindValue(3, int(state));
    query.bindValue(4, unlessSent ? int(WorkState::Sent) : int(state));
    if (!query.exec()) {
        error = query.lastError().text();
        return false;
    }
    if (query.numRowsAffected() < 1)
        return true;
    query.prepare(QStringLiteral("INSERT INTO states (entry, at, state) VALUES (?, ?, ?)"));
    query.bindValue(0, entry);
    query.bindValue(1, at);
    query.bindValue(2, int(state));
    if (query.exec())
        return true;
    error = query.lastError().text();
    return false;
}

Journal::Entry entryFrom(const QSqlQuery& query)
{
    Journal::Entry entry;
    entry.id = query.value(0).toLongLong();
    entry.received = fromStored(query.value(1).toString());
    entry.changed = fromStored(query.value(2).toString());
    entry.state = WorkStates::fromNumber(query.value(3).toInt()).value_or(WorkState::Received);
    entry.draftId = query.value(4).toString();
    entry.origin = query.value(5).toString();
    entry.source = query.value(6).toString();
    entry.buyerIln = query.value(7).toString();
    entry.buyerName = query.value(8).toString();
    entry.orderNumber = query.value(9).toString();
    entry.orderDate = query.value(10).toString();
    entry.confirmationNumber = query.value(11).toString();
    entry.lines = query.value(12).toInt();
    entry.orderedTotal = query.value(13).toDouble();
    entry.responseNumber = query.value(14).toString();
    entry.responseType = query.value(15).toString();
    entry.confirmedTotal = query.value(16).toDouble();
    entry.responseTarget = query.value(17).toString();
    entry.answer = query.value(18).toString();
    return entry;
}

const QString EntryColumns = QStringLiteral(
    "SELECT e.id, e.received, e.changed, e.state, e.draft_id, e.origin, e.source, e.buyer_iln, "
    "e.buyer_name, e.order_number, e.order_date, e.confirmation_number, e.lines, "
    "e.ordered_total, r.number, r.type, r.confirmed_total, r.target, r.answer FROM entries e "
    "LEFT JOIN responses r ON r.id = (SELECT id FROM responses WHERE entry = e.id ORDER BY "
    "answer = 'OK' DESC, id DESC LIMIT 1)");

// Any part of the text, in lower case as the index keeps it: the pattern's own characters
// stand for themselves.
QString globPattern(const QString& text)
{
    QString pattern = QStringLiteral("*");
    for (const QChar c : text.toLower()) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('['))
            pattern += QLatin1Char('[') + c + QLatin1Char(']');
        else
            pattern += c;
    }
    return pattern + QLatin1Char('*');
}

// A spreadsheet reads a field that starts with one of these as a formula.
QString csvField(const QString& text, bool isText)
{
    QString field = text;
    if (isText && !field.isEmpty() &&
        (field.front() == QLatin1Char('=') || field.front() == QLatin1Char('+') ||
         field.front() == QLatin1Char('@') || field.front() == QLatin1Char('\t') ||
         field.front() == QLatin1Char('\r') ||
         (field.front() == QLatin1Char('-') && !(field.size() > 1 && field[1].isDigit()))))
        field.prepend(QLatin1Char('\''));
    if (field.contains(QLatin1Char(';')) || field.contains(QLatin1Char('"')) ||
        field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r'))) {
        field.replace(QLatin1Char('"'), QLatin1String("\"\""));
        field = QLatin1Char('"') + field + QLatin1Char('"');
    }
    return field;
}

double numberIn(const QString& text)
{
    try {
        return text.isEmpty() ? 0 : Conversions::toNumber(text);
    } catch (const RuntimeError&) {
        return 0;
    }
}

} // namespace

Journal::Journal(QString connection, QString path)
    : m_connection(std::move(connection)), m_path(std::move(path))
{
}

// Removing the connection closes the database: no handle to it outlives the journal.
Journal::~Journal()
{
    QSqlDatabase::removeDatabase(m_connection);
}

std::unique_ptr<Journal> Journal::open(const QString& folder, QString& problem, QString* notice,
                                       int version)
{
    problem.clear();
    if (folder.isEmpty() || !QDir(folder).exists()) {
        problem = QStringLiteral("нет рабочей папки");
        return nullptr;
    }
    const QString path = QDir(folder).filePath(fileName());
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QString name = QStringLiteral("wexa-journal-%1").arg(++connections);
        // The journal closes the connection however it leaves this function.
        std::unique_ptr<Journal> journal(new Journal(name, path));
        int at = 0;
        QString why;
        const Opened opened = connectTo(name, path, at, why);
        if (opened == Opened::Failed) {
            problem = why;
            return nullptr;
        }
        if (opened == Opened::NotAJournal) {
            // Not a journal, or one damaged beyond reading: kept aside, never deleted.
            journal.reset();
            const QString aside =
                path + QStringLiteral(".повреждён-") +
                QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
            if (attempt > 0 || !QFile::rename(path, aside)) {
                problem = QStringLiteral("журнал %1 не читается: %2")
                              .arg(QDir::toNativeSeparators(path), why);
                return nullptr;
            }
            for (const char* suffix : {"-wal", "-shm"})
                QFile::rename(path + QLatin1String(suffix), aside + QLatin1String(suffix));
            if (notice)
                *notice = QStringLiteral("Журнал не читался (%1) и отложен как %2; начат новый.")
                              .arg(why, QDir::toNativeSeparators(aside));
            continue;
        }
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (at > SchemaVersion) {
            problem = QStringLiteral("журнал записан более новой версией редактора (схема %1, "
                                     "эта версия знает схему %2) и не изменяется")
                          .arg(at)
                          .arg(SchemaVersion);
            return nullptr;
        }
        QString error;
        if (!exec(db, QStringLiteral("PRAGMA journal_mode=WAL"), error) ||
            !exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"), error) ||
            !exec(db, QStringLiteral("PRAGMA foreign_keys=ON"), error)) {
            problem = error;
            return nullptr;
        }
        for (int step = at; step < version; ++step) {
            const bool done =
                db.transaction() && migrations()[step](db, error) &&
                exec(db, QStringLiteral("PRAGMA user_version=%1").arg(step + 1), error) &&
                db.commit();
            if (!done) {
                if (error.isEmpty())
                    error = db.lastError().text();
                db.rollback();
                problem = QStringLiteral("журнал не обновлён: ") + error;
                return nullptr;
            }
        }
        return journal;
    }
    return nullptr;
}

std::optional<qint64> Journal::recordOrder(const Order& order)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        m_error = db.lastError().text();
        return std::nullopt;
    }
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO documents (bytes) VALUES (?)"));
    query.bindValue(0, order.document.isNull() ? QByteArray("") : order.document);
    bool done = query.exec();
    const qint64 document = query.lastInsertId().toLongLong();
    const QString at = now();
    if (done) {
        query.prepare(QStringLiteral(
            "INSERT INTO entries (received, changed, state, draft_id, origin, source, buyer_iln, "
            "buyer_name, seller_iln, order_number, order_date, confirmation_number, lines, "
            "ordered_total, order_document) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        const QVariantList values = {at,
                                     at,
                                     int(WorkState::Received),
                                     text(order.draftId),
                                     text(order.origin),
                                     text(order.source),
                                     text(order.buyerIln),
                                     text(order.buyerName),
                                     text(order.sellerIln),
                                     text(order.orderNumber),
                                     text(order.orderDate),
                                     text(order.confirmationNumber),
                                     order.lines,
                                     order.orderedTotal,
                                     document};
        for (qsizetype i = 0; i < values.size(); ++i)
            query.bindValue(int(i), values[i]);
        done = query.exec();
    }
    const qint64 entry = query.lastInsertId().toLongLong();
    QString error = query.lastError().text();
    if (done) {
        query.prepare(QStringLiteral("INSERT INTO states (entry, at, state) VALUES (?, ?, ?)"));
        query.bindValue(0, entry);
        query.bindValue(1, at);
        query.bindValue(2, int(WorkState::Received));
        done = query.exec() && insertCodes(db, entry, codesOf(order.document), error) &&
               insertText(
                   db, entry,
                   {order.orderNumber, order.confirmationNumber, order.buyerName, order.buyerIln},
                   error);
    }
    if (!done || !db.commit()) {
        m_error = error.isEmpty() ? db.lastError().text() : error;
        db.rollback();
        return std::nullopt;
    }
    return entry;
}

bool Journal::recordResponse(qint64 entry, const Response& response)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        m_error = db.lastError().text();
        return false;
    }
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO documents (bytes) VALUES (?)"));
    query.bindValue(0, response.document.isNull() ? QByteArray("") : response.document);
    bool done = query.exec();
    const qint64 document = query.lastInsertId().toLongLong();
    if (done) {
        query.prepare(QStringLiteral(
            "INSERT INTO responses (entry, at, number, type, confirmed_total, full_lines, "
            "changed_lines, refused_lines, sent, target, answer, document) VALUES (?, ?, ?, ?, "
            "?, ?, ?, ?, ?, ?, ?, ?)"));
        const QVariantList values = {entry,
                                     now(),
                                     text(response.number),
                                     text(response.type),
                                     response.confirmedTotal,
                                     response.full,
                                     response.changed,
                                     response.refused,
                                     response.sent,
                                     text(response.target),
                                     text(response.answer),
                                     document};
        for (qsizetype i = 0; i < values.size(); ++i)
            query.bindValue(int(i), values[i]);
        done = query.exec();
    }
    // The response's number is found like the order's.
    if (done) {
        query.prepare(QStringLiteral("UPDATE entry_text SET text = text || ? WHERE rowid = ?"));
        query.bindValue(0, QLatin1Char('\n') + response.number.toLower());
        query.bindValue(1, entry);
        done = query.exec();
    }
    QString error = query.lastError().text();
    // Where the entry stands moves within the same transaction: accepted, it is sent; a
    // copy in a file makes saved what was not sent.
    if (done && response.sent && response.answer == QLatin1String("OK"))
        done = changeState(db, entry, WorkState::Sent, false, error);
    else if (done && !response.sent)
        done = changeState(db, entry, WorkState::Saved, true, error);
    if (!done || !db.commit()) {
        m_error = error.isEmpty() ? db.lastError().text() : error;
        db.rollback();
        return false;
    }
    return true;
}

bool Journal::setState(qint64 entry, WorkState state)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString error;
    if (!db.transaction() || !changeState(db, entry, state, false, error) || !db.commit()) {
        m_error = error.isEmpty() ? db.lastError().text() : error;
        db.rollback();
        return false;
    }
    return true;
}

std::optional<qint64> Journal::entryOfDraft(const QString& draftId) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(
        QStringLiteral("SELECT id FROM entries WHERE draft_id = ? ORDER BY id DESC LIMIT 1"));
    query.bindValue(0, draftId);
    if (!query.exec()) {
        m_error = query.lastError().text();
        return std::nullopt;
    }
    return query.next() ? std::optional(query.value(0).toLongLong()) : std::nullopt;
}

std::optional<Journal::Entry> Journal::entry(qint64 id) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(EntryColumns + QStringLiteral(" WHERE e.id = ?"));
    query.bindValue(0, id);
    if (!query.exec()) {
        m_error = query.lastError().text();
        return std::nullopt;
    }
    return query.next() ? std::optional(entryFrom(query)) : std::nullopt;
}

QList<Journal::Entry> Journal::search(const Filter& filter) const
{
    QStringList conditions;
    QVariantList values;
    const QString text = filter.text.trimmed();
    if (!text.isEmpty()) {
        // A part of the numbers or the buyer through the text's index of three-letter runs;
        // the start of a code through the codes' index, a prefix being a range.
        conditions.append(QStringLiteral(
            "e.id IN (SELECT rowid FROM entry_text WHERE text GLOB ? UNION SELECT entry FROM "
            "codes WHERE code >= ? AND code < ?)"));
        values << globPattern(text) << text << text + QChar(0xffff);
    }
    if (!filter.buyerIln.isEmpty()) {
        conditions.append(QStringLiteral("e.buyer_iln = ?"));
        values << filter.buyerIln;
    }
    if (filter.from.isValid()) {
        conditions.append(QStringLiteral("e.received >= ?"));
        values << dayStart(filter.from);
    }
    if (filter.to.isValid()) {
        conditions.append(QStringLiteral("e.received < ?"));
        values << dayStart(filter.to.addDays(1));
    }
    if (filter.state) {
        conditions.append(QStringLiteral("e.state = ?"));
        values << int(*filter.state);
    }
    QString statement = EntryColumns;
    if (!conditions.isEmpty())
        statement += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    statement += QStringLiteral(" ORDER BY e.received DESC, e.id DESC LIMIT ?");
    values << filter.limit;

    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(statement);
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values[i]);
    QList<Entry> found;
    if (!query.exec()) {
        m_error = query.lastError().text();
        return found;
    }
    while (query.next())
        found.append(entryFrom(query));
    return found;
}

QByteArray Journal::orderDocument(qint64 entry) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT d.bytes FROM entries e JOIN documents d ON d.id = "
                                 "e.order_document WHERE e.id = ?"));
    query.bindValue(0, entry);
    return query.exec() && query.next() ? query.value(0).toByteArray() : QByteArray();
}

QByteArray Journal::responseDocument(qint64 entry) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT d.bytes FROM responses r JOIN documents d ON d.id = "
                                 "r.document WHERE r.entry = ? ORDER BY r.answer = 'OK' DESC, "
                                 "r.id DESC LIMIT 1"));
    query.bindValue(0, entry);
    return query.exec() && query.next() ? query.value(0).toByteArray() : QByteArray();
}

Journal::Order Journal::orderOf(const Confirmation& form, const QByteArray& document)
{
    Order order;
    order.buyerIln = form.partnerIln();
    order.buyerName = form.field(Confirmation::Field::lblILNKupWart);
    order.sellerIln = form.process().user.iln;
    order.orderNumber = form.field(Confirmation::Field::lblNrZamWart);
    order.orderDate = form.field(Confirmation::Field::lblDataZamWart);
    order.confirmationNumber = form.field(Confirmation::Field::txtNrPotw);
    order.lines = form.lineCount();
    for (int16_t r = 1; r <= form.lineCount(); ++r)
        order.orderedTotal += numberIn(form.lines().text(r, ColOrdered));
    order.document = document;
    return order;
}

Journal::Response Journal::responseOf(const Confirmation& form, const QByteArray& document)
{
    Response response;
    response.number = form.field(Confirmation::Field::txtNrPotw);
    response.type = ResponseType::code(form.cboxTyp());
    response.confirmedTotal = numberIn(form.summary().text(1, SumConfirmed));
    const LineTally tally = LineTally::of(form);
    response.full = tally.full;
    response.changed = tally.changed;
    response.refused = tally.refused;
    response.document = document;
    return response;
}

QStringList Journal::codesOf(const QByteArray& document)
{
    QStringList codes;
    const XmlDocument parsed = XmlDocument::fromBytes(document);
    for (const XmlNode& block : parsed.root().childNodes()) {
        if (!block.name().endsWith(QLatin1String("-Lines")))
            continue;
        for (const XmlNode& line : block.childNodes()) {
            const XmlNode item = line.selectSingleNode("Line-Item");
            for (const XmlNode& value : item.isNull() ? QList<XmlNode>() : item.childNodes()) {
                const QString name = value.name();
                if (name != QLatin1String("EAN") && name != QLatin1String("BuyerItemCode") &&
                    name != QLatin1String("SupplierItemCode"))
                    continue;
                const QString code = value.text().trimmed();
                if (!code.isEmpty() && !codes.contains(code))
                    codes.append(code);
            }
        }
    }
    return codes;
}

QByteArray Journal::csv(const QList<Entry>& entries)
{
    QStringList rows = {
        QStringLiteral("Получен;Состояние;Покупатель;ILN покупателя;Номер заказа;Дата заказа;Номер "
                       "подтверждения;Строк;Заказано;Подтверждено;Ответ площадки;Куда")};
    for (const Entry& e : entries) {
        const QString number = e.responseNumber.isEmpty() ? e.confirmationNumber : e.responseNumber;
        rows.append(QStringList{
            e.received.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), WorkStates::label(e.state),
            csvField(e.buyerName, true), csvField(e.buyerIln, true), csvField(e.orderNumber, true),
            csvField(e.orderDate, true), csvField(number, true), QString::number(e.lines),
            QString::number(e.orderedTotal, 'f', 3),
            e.responseNumber.isEmpty() ? QString() : QString::number(e.confirmedTotal, 'f', 3),
            csvField(e.answer, true), csvField(e.responseTarget, true)}
                        .join(QLatin1Char(';')));
    }
    return "\xEF\xBB\xBF" + rows.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}
