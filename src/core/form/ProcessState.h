#pragma once

#include <QString>

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

// State shared by every control in the process and kept after one is destroyed.
struct ProcessState {
    QString workingFolder;
    UserInfo user;
    PartnerInfo partner;
    QString partnerIln;
    QString pageCookie;
    QString chosenFilePath;

    static ProcessState& instance();
    // Back to the state of a fresh process (tests start from it).
    static void reset();
};
