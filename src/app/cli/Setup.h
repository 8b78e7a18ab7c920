#pragma once

#include "core/form/ProcessState.h"

#include <QIODevice>
#include <QStringList>

// Prepares what the control expects to find before its first start-up: the working
// folder setting, the folder, the user information file and, optionally, a partner
// information file.
namespace Setup {
int run(const QStringList& arguments, QIODevice& out, QIODevice& err);
// The information files in the layout the control reads.
QByteArray userInfoFile(const UserInfo& user);
QByteArray partnerInfoFile(const PartnerInfo& partner);
QString usage();
} // namespace Setup
