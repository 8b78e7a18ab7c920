#pragma once

#include <QIODevice>
#include <QStringList>

// The whole on-line road on one machine: a working folder, the reference platform server
// on a free loopback port with a partner and a few orders waiting, and the control opened
// as that platform's page would open it. Closing the window stops the server. Unattended,
// with no screen, the order is confirmed and sent without anybody's help.
namespace Demo {
int run(const QStringList& arguments, QIODevice& out, QIODevice& err, bool unattended);
QString usage();
} // namespace Demo
