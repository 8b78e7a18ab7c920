#pragma once

#include "core/form/ProcessState.h"

#include <QIODevice>
#include <QStringList>

#include <optional>
#include <utility>

// Prepares what the control expects to find before its first start-up: the working
// folder setting, the folder, the user information file and, optionally, a partner
// information file.
namespace Setup {

struct Preparation {
    QString folder;
    UserInfo user;
    // A partner's location number and information, when one is to be written too.
    std::optional<std::pair<QString, PartnerInfo>> partner;
};
// Prepares the working folder as the first-start dialog and the setup command ask:
// checks the values first (a location number becomes part of a file name), then writes
// the folder, the information files and, last, the setting. Returns the folder as the
// setting holds it, or nothing with the reason, in the clerk's words, in `error`.
std::optional<QString> prepare(const Preparation& preparation, QString& error);

int run(const QStringList& arguments, QIODevice& out, QIODevice& err);
// The information files in the layout the control reads.
QByteArray userInfoFile(const UserInfo& user);
QByteArray partnerInfoFile(const PartnerInfo& partner);
QString usage();
} // namespace Setup
