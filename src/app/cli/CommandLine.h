#pragma once

#include <QFile>
#include <QIODevice>
#include <QStringList>

#include <functional>

class Confirmation;

// The command-line verbs that work on the confirmation without a window:
//   respond FILE [options] [-o OUT]   the order response, as UTF-8 XML
//   show FILE [options]               the control's state, as one JSON object
namespace CommandLine {

enum ExitCode { Success = 0, Refused = 1, UsageError = 2 };

// Renders the control to a PNG file; false with the reason when it could not.
using Screenshot = std::function<bool(Confirmation&, const QString&, QString&)>;
// Writes the printed confirmation as a PDF file; false with the reason when it could not.
using PdfWriter = std::function<bool(const Confirmation&, const QString&, QString&)>;

// `arguments` start with the verb. Messages go to `err` as "title: text" lines. Without
// a `screenshot`, show refuses --screenshot; without a `pdf` writer, respond refuses --pdf.
int run(const QStringList& arguments, QIODevice& out, QIODevice& err,
        const Screenshot& screenshot = nullptr, const PdfWriter& pdf = nullptr);
QString usage();
// The documents and the table of a single answer are left for the process's end to
// reclaim instead of being freed one node and one cell at a time.
void skipFreeingAtExit();
// --help and --version where an option may stand, in every program and verb of it.
enum class Request { None, Help, Version };
Request requestOf(const QString& argument);
// Prints the usage or the version line to `out`; the exit status, Success.
int answer(Request request, const QString& usage, QIODevice& out);
// A wrong call of `program` ("wexa-confirm setup"): "PROGRAM: ERROR", then where the usage
// is; the exit status, UsageError.
int wrongCall(const QString& program, const QString& error, QIODevice& err);

// What both programs do first: name the application for its settings and open the
// standard streams; false when a stream cannot be opened.
bool startProgram(QFile& out, QFile& err);

} // namespace CommandLine
