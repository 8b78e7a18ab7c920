#pragma once

#include "core/actions/Confirmation.h"
#include "core/session/WorkState.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// The drafts folder inside the working folder: for each confirmation being worked on, the
// order as it was received and a draft of everything the user sees, written after every
// change, so that closing the window, a crash or a power cut loses nothing. A draft is
// marked sent or saved with its response, or discarded when the clerk gives the work up;
// such drafts go after 30 days.
class Drafts {
public:
    // What a draft says of itself without being restored.
    struct Info {
        QString id;
        WorkState state = WorkState::Received;
        QDateTime lastChange;
        QString userIln;
        QString partnerIln;
        QString partnerName;
        QString number; // confirmation number
        QString buyer;
        int lines = 0;
        // The origin of the page whose order this is; empty off-line. A draft is offered
        // only to a window of the same origin.
        QString origin;
    };

    static QString folderName();
    // The drafts folder of a working folder.
    static QString folderOf(const QString& workingFolder);
    // A new id, unique within the folder, in the order drafts were started.
    static QString newId(const QDateTime& now);

    explicit Drafts(QString folder) : m_folder(std::move(folder)) {}
    const QString& folder() const { return m_folder; }
    QString draftPath(const QString& id) const;
    QString orderPath(const QString& id) const;

    // Writes atomically; false with the reason when it could not be written.
    bool write(const Info& info, const Confirmation::State& state, QString* error = nullptr) const;
    bool writeOrder(const QString& id, const QByteArray& order, QString* error = nullptr) const;
    std::optional<Info> readInfo(const QString& id) const;
    std::optional<Confirmation::State> readState(const QString& id) const;
    // Every readable draft, the latest change first.
    QList<Info> list() const;
    // The origin whose page a file of the working folder was written for (the partner
    // information an on-line start stores), kept beside the drafts; false when it could
    // not be kept.
    bool recordOrigin(const QString& fileName, const QString& origin) const;
    QString originOf(const QString& fileName) const;
    // Removes drafts whose work is done (sent, saved or given up) and whose last change is
    // older than the given days; returns how many.
    int prune(const QDateTime& now, int days = 30) const;

    // A draft's state as bytes and back; nothing when the bytes are no draft.
    static QByteArray encode(const Info& info, const Confirmation::State& state);
    static std::optional<Info> decodeInfo(const QByteArray& bytes);
    static std::optional<Confirmation::State> decodeState(const QByteArray& bytes);

private:
    bool writeFile(const QString& path, const QByteArray& bytes, QString* error) const;

    QString m_folder;
};
