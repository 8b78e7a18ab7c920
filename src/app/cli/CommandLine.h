#pragma once

#include <QIODevice>
#include <QStringList>

// The command-line verbs that work on the confirmation without a window:
//   respond FILE [options] [-o OUT]   the order response, as UTF-8 XML
//   show FILE [options]               the control's state, as one JSON object
namespace CommandLine {

enum ExitCode { Success = 0, Refused = 1, UsageError = 2 };

// `arguments` start with the verb. Messages go to `err` as "title: text" lines.
int run(const QStringList& arguments, QIODevice& out, QIODevice& err);
QString usage();

} // namespace CommandLine
