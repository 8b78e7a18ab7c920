#pragma once

#include <QDate>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class QFile;

struct UserInfo {
    QString iln;
    QString nip;
    QString name;
    QString account;
};

struct PartnerInfo {
    QString nip;
    QString name;
    QString account;
};

// The optional trace in the working folder: up to which level it records, and its file
// while one is open.
struct TraceLog {
    int16_t level = 0;
    std::shared_ptr<QFile> file;
};

// How long the platform may keep the control waiting, in milliseconds.
struct RequestDeadlines {
    // A transfer that makes no progress for this long fails like an unreachable server.
    int stall = 60000;
    // A whole exchange, however steady, that takes longer fails the same way.
    int whole = 120000;
};

// State shared by every control in the process and kept after one is destroyed. The
// program makes one and hands it to each control it creates; a test makes its own.
struct ProcessState {
    QString workingFolder;
    UserInfo user;
    PartnerInfo partner;
    QString partnerIln;
    QString pageCookie;
    QString chosenFilePath;
    // "Today" for the control when pinned (the tests pin it), the calendar's otherwise.
    std::optional<QDate> pinnedToday;
    TraceLog trace;
    RequestDeadlines deadlines;

    QDate today() const { return pinnedToday.value_or(QDate::currentDate()); }
};
