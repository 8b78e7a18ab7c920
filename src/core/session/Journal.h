#pragma once

#include "core/session/WorkState.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

class Confirmation;

// The journal of a working folder: every order fetched or loaded, every response sent or
// saved with the platform's answer, and where each confirmation stands, in one SQLite
// file beside the working folder's other files. It answers the clerk's "what did we
// confirm on that order, and did it go out?". Nothing here shows anything: a failure is
// returned with its reason, and the caller tells it once.
class Journal {
public:
    // 1: orders, responses, documents, states. 2: the lines' codes, for a search by EAN or
    // item code.
    static constexpr int SchemaVersion = 2;
    static QString fileName() { return QStringLiteral("journal.db"); }

    // An order as it came into the editor: fetched from the platform or loaded from a
    // saved response.
    struct Order {
        QString draftId;
        QString origin;
        QString source; // "fetched" or "loaded"
        QString buyerIln;
        QString buyerName;
        QString sellerIln;
        QString orderNumber;
        QString orderDate;
        QString confirmationNumber;
        int lines = 0;
        double orderedTotal = 0;
        QByteArray document;
    };
    // A response as it left the editor.
    struct Response {
        QString number;
        QString type; // the document's code: "4", "27" or "29"
        double confirmedTotal = 0;
        int full = 0;
        int changed = 0;
        int refused = 0;
        QByteArray document;
        bool sent = false; // else saved to a file
        QString target;    // the service's address, or the file
        QString answer;    // the platform's status ("OK", "-1", …); empty for a file
    };
    // One confirmation as the journal lists it, with its latest response.
    struct Entry {
        qint64 id = 0;
        QDateTime received;
        QDateTime changed;
        WorkState state = WorkState::Received;
        QString draftId;
        QString origin;
        QString source;
        QString buyerIln;
        QString buyerName;
        QString orderNumber;
        QString orderDate;
        QString confirmationNumber;
        int lines = 0;
        double orderedTotal = 0;
        QString responseNumber;
        QString responseType;
        double confirmedTotal = 0;
        QString responseTarget;
        QString answer;
    };
    struct Filter {
        // A part of an order or response number or of the buyer's name or ILN, or the start
        // of an EAN or item code of a line.
        QString text;
        QString buyerIln;
        QDate from; // received on or after, local time; null: no bound
        QDate to;   // received on or before
        std::optional<WorkState> state;
        int limit = 1000;
    };

    // Opens the journal of a working folder, making it or bringing an older one up to date.
    // A journal of a newer version is left as it is and not opened; a file that is not a
    // journal is set aside under a name of its own and a new journal begun, with what
    // happened in `notice`. Nothing, with the reason in `problem`, when no journal can be
    // written there.
    // `version` is for a test that needs a journal of an earlier version.
    static std::unique_ptr<Journal> open(const QString& folder, QString& problem,
                                         QString* notice = nullptr, int version = SchemaVersion);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    QString path() const { return m_path; }
    // The reason the last call failed.
    QString lastError() const { return m_error; }

    std::optional<qint64> recordOrder(const Order& order);
    // The response of an entry; a response the platform accepted makes the entry sent, one
    // saved to a file makes an entry not yet sent saved.
    bool recordResponse(qint64 entry, const Response& response);
    bool setState(qint64 entry, WorkState state);
    // The entry a draft's work is recorded under.
    std::optional<qint64> entryOfDraft(const QString& draftId) const;
    std::optional<Entry> entry(qint64 id) const;
    // Newest first.
    QList<Entry> search(const Filter& filter) const;
    QByteArray orderDocument(qint64 entry) const;
    // The latest response the platform accepted, exactly as sent, else the latest one sent
    // or saved; empty when there is none.
    QByteArray responseDocument(qint64 entry) const;

    // The confirmation's order and response as the journal keeps them.
    static Order orderOf(const Confirmation& form, const QByteArray& document);
    static Response responseOf(const Confirmation& form, const QByteArray& document);
    // The EANs and item codes of a document's lines, of an order or of a response.
    static QStringList codesOf(const QByteArray& document);
    // Entries as CSV for a spreadsheet: UTF-8 with a byte-order mark, ";" between fields.
    static QByteArray csv(const QList<Entry>& entries);

private:
    explicit Journal(QString connection, QString path);

    QString m_connection;
    QString m_path;
    mutable QString m_error;
};
