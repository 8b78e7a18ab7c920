#pragma once

#include <QIODevice>
#include <QStringList>

// wexa-confirm journal [--since DATE] [--buyer ILN] [--state STATE] [--search TEXT] [--csv]:
// the entries of the working folder's journal, newest first.
namespace JournalList {
int run(const QStringList& arguments, QIODevice& out, QIODevice& err);
QString usage();
} // namespace JournalList
