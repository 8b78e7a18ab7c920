#include "app/cli/CommandLine.h"

#include "app/cli/StreamMessages.h"
#include "core/actions/CellEditor.h"
#include "core/actions/Confirmation.h"
#include "core/actions/LoadResponse.h"
#include "core/actions/QuantityFill.h"
#include "core/actions/SaveResponse.h"
#include "core/form/BuildVersion.h"
#include "core/form/Host.h"
#include "core/form/ProcessState.h"
#include "core/form/RuntimeError.h"
#include "core/rules/Chooser.h"
#include "core/rules/Conversions.h"
#include "core/rules/FileWriter.h"
#include "core/rules/HeaderCheck.h"
#include "core/rules/QuantityFile.h"
#include "core/rules/ResponseType.h"
#include "core/rules/ResponseWriter.h"
#include "core/rules/XmlDocument.h"
#include "core/session/JournalRecorder.h"
#include "core/session/Startup.h"
#include "core/session/WorkingFolder.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <memory>
#include <optional>

namespace CommandLine {
namespace {

// A single answer in a program that ends right after it leaves the order's document, the
// table and the response to the end of the process instead of freeing them node by node.
bool skipRequested = false;
bool skipFreeing = false;

struct Options {
    QString verb;
    Request request = Request::None;
    QStringList files;
    // The one being answered.
    QString file;
    QString out;
    QString screenshot;
    QString pdf;
    QString partnerIln;
    QString userIln;
    std::optional<QString> locale;
    std::optional<int> type;
    QList<std::pair<int, QString>> quantities;
    QString list;
    std::optional<QuantityFill::Columns> listColumns;
    // The working folder whose journal an answer is recorded in; empty when none is set up.
    QString journalFolder;
};

const QString StandardOutput = QStringLiteral("standard output");

void print(QIODevice& device, const QString& text)
{
    device.write(text.toUtf8());
}

// "2,5" or "2,5,buyer": the 1-based columns of a list's line names and quantities.
std::optional<QuantityFill::Columns> listColumns(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    static const QStringList kinds = {QStringLiteral("ean"), QStringLiteral("buyer"),
                                      QStringLiteral("supplier")};
    bool keyOk = false, quantityOk = false;
    const int key = parts.value(0).toInt(&keyOk);
    const int quantity = parts.value(1).toInt(&quantityOk);
    const qsizetype kind = parts.size() > 2 ? kinds.indexOf(parts[2]) : 0;
    if (parts.size() > 3 || !keyOk || !quantityOk || key < 1 || quantity < 1 || kind < 0)
        return std::nullopt;
    return QuantityFill::Columns{key - 1, QuantityFill::Key(kind), quantity - 1, false};
}

std::optional<Options> parse(const QStringList& arguments, QString& error)
{
    Options options;
    if (arguments.isEmpty()) {
        error = QStringLiteral("a verb is needed");
        return std::nullopt;
    }
    options.verb = arguments.first();
    if (options.verb != QLatin1String("respond") && options.verb != QLatin1String("show")) {
        error = QStringLiteral("unknown verb '%1'").arg(options.verb);
        return std::nullopt;
    }
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        options.request = requestOf(argument);
        if (options.request != Request::None)
            return options;
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value").arg(argument);
                return std::nullopt;
            }
            return arguments[++i];
        };
        if (argument == QLatin1String("--partner-iln") || argument == QLatin1String("--user-iln") ||
            argument == QLatin1String("--locale") || argument == QLatin1String("-o") ||
            argument == QLatin1String("--type") || argument == QLatin1String("--quantity") ||
            argument == QLatin1String("--screenshot") || argument == QLatin1String("--pdf") ||
            argument == QLatin1String("--quantities") || argument == QLatin1String("--columns")) {
            const std::optional<QString> v = value();
            if (!v)
                return std::nullopt;
            if (argument == QLatin1String("--partner-iln")) {
                options.partnerIln = *v;
            } else if (argument == QLatin1String("--user-iln")) {
                options.userIln = *v;
            } else if (argument == QLatin1String("--locale")) {
                options.locale = *v;
            } else if (argument == QLatin1String("-o")) {
                if (options.verb != QLatin1String("respond")) {
                    error = QStringLiteral("-o goes with respond");
                    return std::nullopt;
                }
                options.out = *v;
            } else if (argument == QLatin1String("--screenshot")) {
                if (options.verb != QLatin1String("show")) {
                    error = QStringLiteral("--screenshot goes with show");
                    return std::nullopt;
                }
                options.screenshot = *v;
            } else if (argument == QLatin1String("--pdf")) {
                if (options.verb != QLatin1String("respond")) {
                    error = QStringLiteral("--pdf goes with respond");
                    return std::nullopt;
                }
                options.pdf = *v;
            } else if (argument == QLatin1String("--quantities")) {
                options.list = *v;
            } else if (argument == QLatin1String("--columns")) {
                options.listColumns = listColumns(*v);
                if (!options.listColumns) {
                    error = QStringLiteral("--columns takes ID,QUANTITY[,ean|buyer|supplier]");
                    return std::nullopt;
                }
            } else if (argument == QLatin1String("--type")) {
                static const QStringList types = {
                    QStringLiteral("change"), QStringLiteral("refuse"), QStringLiteral("accept")};
                if (!types.contains(*v)) {
                    error = QStringLiteral("--type is accept, change or refuse");
                    return std::nullopt;
                }
                options.type = int(types.indexOf(*v));
            } else {
                const qsizetype equals = v->indexOf(QLatin1Char('='));
                bool ok = false;
                const int row = equals > 0 ? v->left(equals).toInt(&ok) : 0;
                if (!ok) {
                    error = QStringLiteral("--quantity takes ROW=TEXT");
                    return std::nullopt;
                }
                options.quantities.append({row, v->mid(equals + 1)});
            }
        } else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            error = QStringLiteral("unknown option '%1'").arg(argument);
            return std::nullopt;
        } else if (options.files.isEmpty() || options.verb == QLatin1String("respond")) {
            options.files.append(argument);
        } else {
            error = QStringLiteral("only one FILE is taken");
            return std::nullopt;
        }
    }
    if (options.files.isEmpty()) {
        error = QStringLiteral("FILE is missing");
        return std::nullopt;
    }
    if (options.files.size() > 1 && !options.pdf.isEmpty()) {
        error = QStringLiteral("--pdf takes one FILE");
        return std::nullopt;
    }
    if (options.files.size() > 1 && options.out.isEmpty()) {
        error = QStringLiteral("more than one FILE needs -o DIR");
        return std::nullopt;
    }
    options.file = options.files.first();
    return options;
}

// Opens the file as the control would have it: an order fetched at an on-line start-up,
// or a saved response loaded by the user. Returns whether it was taken completely.
bool open(Confirmation& form, const Options& options, const QByteArray& bytes)
{
    ProcessState& process = form.process();
    process.user.iln = options.userIln;
    form.setPartnerIln(options.partnerIln);

    const XmlDocument document = XmlDocument::fromBytes(bytes);
    if (!document.isEmpty() && document.root().name() == QLatin1String("Document-Order")) {
        // The start-up sequence reports what escapes its steps, an order too long for the
        // cell index among them, and ends there.
        try {
            Startup::setParties(form);
            const bool read = Startup::takeOrder(form, document);
            Startup::finish(form);
            return read;
        } catch (const RuntimeError& e) {
            form.reportError(Messages::ErrorIn, QStringLiteral("UserControl_Show()"),
                             e.description());
            return false;
        }
    }
    return loadResponseFile(form, options.file) == LoadOutcome::Loaded;
}

// Fills the confirmed quantities from a warehouse's list and prints the report; false
// when the list could not be used.
bool fillFromList(Confirmation& form, const Options& options, QIODevice& err)
{
    QString error;
    const std::optional<QuantityFile> list = QuantityFile::read(options.list, &error);
    if (!list) {
        print(err, QStringLiteral("wexa-confirm: cannot read %1: %2\n").arg(options.list, error));
        return false;
    }
    const std::optional<QuantityFill::Columns> columns =
        QuantityFill::columnsOf(*list, options.listColumns);
    if (!columns) {
        print(err, QStringLiteral("wexa-confirm: %1 names no EAN or item code column and no "
                                  "quantity column; give them with --columns\n")
                       .arg(options.list));
        return false;
    }
    const std::optional<QuantityFill::Report> report = QuantityFill::fill(form, *list, *columns);
    if (!report) {
        print(err, QStringLiteral("wexa-confirm: quantities are filled under the response type "
                                  "change only (--type change)\n"));
        return false;
    }
    print(err, report->text());
    return true;
}

// What a user would do next: choose the type, then type quantities into the cell editor.
void edit(Confirmation& form, const Options& options)
{
    if (options.type)
        form.selectCboxTyp(*options.type);
    Grid& lines = form.lines();
    for (const auto& [row, text] : options.quantities) {
        if (row < 0 || row >= lines.rows())
            continue;
        lines.setCurrentCell(row, 4);
        if (form.editor().open() != CellEditor::Opened::Editor)
            continue;
        form.editor().setText(text);
        form.editor().pressEnter();
    }
}

QString dateText(const std::optional<QDate>& date)
{
    return date ? Conversions::FormatDate(*date) : QString();
}

QJsonObject state(const Confirmation& form)
{
    using Field = Confirmation::Field;
    QJsonObject header;
    for (auto [name, field] : {std::pair{"txtNrPotw", Field::txtNrPotw},
                               {"lblNrZamWart", Field::lblNrZamWart},
                               {"lblDataZamWart", Field::lblDataZamWart},
                               {"lblILNKupWart", Field::lblILNKupWart},
                               {"lblILNSprzedWart", Field::lblILNSprzedWart},
                               {"lblILNMiejscaDostWart", Field::lblILNMiejscaDostWart},
                               {"lblNazwaMiejscaDostWart", Field::lblNazwaMiejscaDostWart},
                               {"lblAdresMiejscaDostWart", Field::lblAdresMiejscaDostWart},
                               {"txtUwagi", Field::txtUwagi}})
        header.insert(QLatin1String(name), form.field(field));
    header.insert(QLatin1String("txtDataPotw"), dateText(form.txtDataPotw()));
    header.insert(QLatin1String("txtDataDost"), dateText(form.txtDataDost()));
    header.insert(QLatin1String("txtCzasDost"),
                  form.txtCzasDost() ? Conversions::FormatTime(*form.txtCzasDost()) : QString());
    header.insert(QLatin1String("cboxTyp"), form.cboxTyp());

    // Lines past the last row the cell index can address in full are left out; LineCount
    // still tells how many there are.
    const Grid& grid = form.lines();
    QJsonArray lines;
    try {
        for (int16_t r = 1; r <= form.lineCount(); ++r) {
            QJsonArray cells;
            for (int16_t c = 0; c < grid.columns(); ++c)
                cells.append(grid.text(r, c));
            lines.append(cells);
        }
    } catch (const RuntimeError&) {
    }
    QJsonObject json;
    json.insert(QLatin1String("header"), header);
    json.insert(QLatin1String("lines"), lines);
    json.insert(QLatin1String("summary"),
                QJsonArray{form.summary().text(1, 0), form.summary().text(1, 1)});
    json.insert(QLatin1String("LineCount"), form.lineCount());
    json.insert(QLatin1String("ValidLineCount"), form.validLineCount());
    return json;
}

// The chooser of a save, answered with the path given on the command line.
class GivenPath : public ChooserPort {
public:
    GivenPath(ProcessState& process, const QString& path) : m_process(process), m_path(path) {}
    void run(Mode, const QString&, const QString&) override { m_process.chosenFilePath = m_path; }

private:
    ProcessState& m_process;
    QString m_path;
};

// Tells whether the save went through to the end, and records it in the journal.
class SaveWatch : public Host {
public:
    explicit SaveWatch(JournalRecorder* journal) : m_journal(journal) {}
    void responseSaved(const QString& path, const QByteArray& document) override
    {
        saved = true;
        if (m_journal)
            m_journal->saved(path, document);
    }
    bool saved = false;

private:
    JournalRecorder* m_journal;
};

// The messages of the command line, where a file that cannot be written is told as
// "cannot write FILE: reason" rather than as the save's error box.
class CommandMessages : public StreamMessages {
public:
    explicit CommandMessages(QIODevice& stream) : StreamMessages(stream), m_stream(stream) {}
    Answer show(const Message& message) override
    {
        if (!m_path.isEmpty() && message.title.endsWith(QLatin1String("btnZapisz_Click()"))) {
            const QString notWritten = QStringLiteral("Файл «%1» не записан: ").arg(m_path);
            if (message.text.startsWith(notWritten)) {
                print(m_stream, QStringLiteral("wexa-confirm: cannot write %1: %2\n")
                                    .arg(m_path, message.text.mid(notWritten.size())));
                return Answer::Ok;
            }
        }
        return StreamMessages::show(message);
    }
    void saving(const QString& path) { m_path = path; }

private:
    QIODevice& m_stream;
    QString m_path;
};

int respond(Confirmation& form, CommandMessages& messages, const Options& options, bool taken,
            const QByteArray& bytes, QIODevice& out, QIODevice& err)
{
    if (!taken)
        return Refused;
    // An answer is journaled like the window's work when the clerk has a working folder.
    std::optional<JournalRecorder> journal;
    if (!options.journalFolder.isEmpty()) {
        form.process().workingFolder = options.journalFolder;
        journal.emplace(form, [&err](const QString& text) {
            print(err, QStringLiteral("wexa-confirm: %1\n").arg(text));
        });
        journal->order(bytes, QStringLiteral("command line"), {}, {});
    }
    if (!options.out.isEmpty()) {
        // The control's own save, its header check and build included.
        SaveWatch watch(journal ? &*journal : nullptr);
        Host& host = form.host();
        form.setHost(watch);
        GivenPath chooser(form.process(), options.out);
        messages.saving(options.out);
        btnZapisz_Click(form, chooser);
        form.setHost(host);
        return watch.saved ? Success : Refused;
    }
    if (!headerCheck(form))
        return Refused;
    std::optional<XmlDocument> response = MakeOrderResponse(form);
    if (!response)
        return Refused;
    const QByteArray answer = response->toUtf8();
    QString error;
    if (!FileWriter::write(out, answer, &error)) {
        print(err,
              QStringLiteral("wexa-confirm: cannot write %1: %2\n").arg(StandardOutput, error));
        return Refused;
    }
    if (journal)
        journal->saved(StandardOutput, answer);
    return Success;
}

// The confirmation on paper, once the response itself was built.
int writePdf(const Confirmation& form, const Options& options, QIODevice& err, const PdfWriter& pdf)
{
    if (options.pdf.isEmpty())
        return Success;
    QString error;
    if (!pdf(form, options.pdf, error)) {
        print(err, QStringLiteral("wexa-confirm: cannot write %1: %2\n").arg(options.pdf, error));
        return Refused;
    }
    return Success;
}

int verb(const Options& options, const QByteArray& bytes, QIODevice& out, QIODevice& err,
         const Screenshot& screenshot, const PdfWriter& pdf)
{
    if (!options.pdf.isEmpty() && !pdf) {
        print(err, QStringLiteral("wexa-confirm: --pdf is not available here\n"));
        return UsageError;
    }
    CommandMessages messages(err);
    ProcessState process;
    auto owned = std::make_unique<Confirmation>(messages, process);
    // A large table takes a while to free, and the process ends right after.
    Confirmation& form = skipFreeing ? *owned.release() : *owned;
    const bool taken = open(form, options, bytes);
    edit(form, options);
    if (!options.list.isEmpty() && !fillFromList(form, options, err))
        return UsageError;
    if (options.verb == QLatin1String("respond")) {
        const int status = respond(form, messages, options, taken, bytes, out, err);
        return status == Success ? writePdf(form, options, err, pdf) : status;
    }
    QString error;
    if (!FileWriter::write(out, QJsonDocument(state(form)).toJson(QJsonDocument::Indented),
                           &error)) {
        print(err,
              QStringLiteral("wexa-confirm: cannot write %1: %2\n").arg(StandardOutput, error));
        return Refused;
    }
    if (!options.screenshot.isEmpty()) {
        if (!screenshot) {
            print(err, QStringLiteral("wexa-confirm: --screenshot is not available here\n"));
            return UsageError;
        }
        if (!screenshot(form, options.screenshot, error)) {
            print(err, QStringLiteral("wexa-confirm: %1\n").arg(error));
            return UsageError;
        }
    }
    return messages.warned() ? Refused : Success;
}

// One file, as a call of its own would answer it.
int runOne(const Options& options, QIODevice& out, QIODevice& err, const Screenshot& screenshot,
           const PdfWriter& pdf = nullptr)
{
    QFile file(options.file);
    if (!file.open(QIODevice::ReadOnly)) {
        print(err, QStringLiteral("wexa-confirm: cannot read %1: %2\n")
                       .arg(options.file, file.errorString()));
        return UsageError;
    }
    const QByteArray bytes = file.readAll();
    file.close();

    // Whatever the control's own handlers let through ends the verb here, not the process.
    try {
        return verb(options, bytes, out, err, screenshot, pdf);
    } catch (const RuntimeError& e) {
        print(err, QStringLiteral("wexa-confirm: %1\n").arg(e.description()));
    } catch (const std::exception& e) {
        print(err, QStringLiteral("wexa-confirm: %1\n").arg(QString::fromLocal8Bit(e.what())));
    }
    return Refused;
}

// Each file answered into the folder under its own name, its messages prefixed by that
// name; the exit status is the worst of them.
int runMany(const Options& options, QIODevice& out, QIODevice& err)
{
    if (!QFileInfo(options.out).isDir()) {
        print(err, QStringLiteral("wexa-confirm: %1 is not a folder\n").arg(options.out));
        return UsageError;
    }
    const QDir folder(options.out);
    int worst = Success;
    for (const QString& file : options.files) {
        Options one = options;
        one.file = file;
        one.out = folder.filePath(QFileInfo(file).fileName());
        QBuffer messages;
        messages.open(QIODevice::WriteOnly);
        int status = UsageError;
        if (QFileInfo(one.out).absoluteFilePath() == QFileInfo(file).absoluteFilePath())
            print(messages, QStringLiteral("wexa-confirm: the response would replace the order\n"));
        else
            status = runOne(one, out, messages, nullptr);
        worst = std::max(worst, status);
        for (const QByteArray& line : messages.data().split('\n')) {
            if (!line.isEmpty())
                err.write(file.toUtf8() + ": " + line + '\n');
        }
    }
    return worst;
}

} // namespace

QString usage()
{
    return QStringLiteral(
        "Usage:\n"
        "  wexa-confirm respond FILE [options] [-o OUT]\n"
        "  wexa-confirm respond FILE... [options] -o DIR\n"
        "  wexa-confirm show FILE [options]\n"
        "\n"
        "FILE holding a Document-Order is taken as an order fetched at an on-line start-up\n"
        "(the buyer is --partner-iln, the seller --user-iln); any other FILE is loaded as a\n"
        "saved order response, checked against those two numbers.\n"
        "\n"
        "respond  checks the header and writes the order response as UTF-8 XML to standard\n"
        "         output or, replacing it atomically, to OUT.\n"
        "show     prints the control's state (header, lines, summary, counters) as JSON.\n"
        "\n"
        "Options:\n"
        "  --partner-iln ILN      the buyer's location number (default empty)\n"
        "  --user-iln ILN         the user's own location number (default empty)\n"
        "  --locale NAME          the user's locale, e.g. ru_RU or pl_PL (comma), en_US (point)\n"
        "  --type accept|change|refuse\n"
        "                         choose the response type after loading\n"
        "  --quantity ROW=TEXT    type TEXT into the confirmed quantity of line ROW and press\n"
        "                         Enter; repeatable, applied in order after --type\n"
        "  --quantities LIST      fill the confirmed quantities from a CSV or XLSX list of\n"
        "                         the warehouse (after --type and --quantity) and print\n"
        "                         what did not match to standard error\n"
        "  --columns ID,QTY[,ean|buyer|supplier]\n"
        "                         the list's columns (from 1) when its header names none\n"
        "  -o OUT                 (respond) write the response to OUT; with more than one\n"
        "                         FILE, OUT is a folder that takes each response under\n"
        "                         its order's file name, and every message is prefixed\n"
        "                         by the name of the file it is about\n"
        "  --screenshot PNG       (show) also render the control, without a screen, to PNG\n"
        "  --pdf FILE             (respond, one FILE) also write the printed confirmation,\n"
        "                         header, lines and totals, as a PDF file\n"
        "\n"
        "Every message the control shows is printed to standard error as 'title: text';\n"
        "questions are answered Yes.\n"
        "Exit status: respond 0 when a response was built, 1 when the file was refused or\n"
        "incomplete, the header check failed or the build failed; show 0 unless a warning or\n"
        "error message was shown, else 1; both 1 when the output could not be written and 2\n"
        "for a usage error or an unreadable file; for many files the worst of theirs.\n");
}

int run(const QStringList& arguments, QIODevice& out, QIODevice& err, const Screenshot& screenshot,
        const PdfWriter& pdf)
{
    QString error;
    const std::optional<Options> options = parse(arguments, error);
    if (!options)
        return wrongCall(QStringLiteral("wexa-confirm %1").arg(arguments.value(0)), error, err);
    if (options->request != Request::None)
        return answer(options->request, usage(), out);
    if (options->locale)
        QLocale::setDefault(QLocale(*options->locale));
    Options given = *options;
    if (given.verb == QLatin1String("respond"))
        given.journalFolder = WorkingFolder::read();
    // Many answers in one run free each one's documents before the next.
    skipFreeing = skipRequested && options->files.size() == 1;
    if (skipFreeing)
        XmlDocument::leaveTreesToProcessExit();
    if (given.files.size() > 1)
        return runMany(given, out, err);
    return runOne(given, out, err, screenshot, pdf);
}

Request requestOf(const QString& argument)
{
    if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
        return Request::Help;
    return argument == QLatin1String("--version") ? Request::Version : Request::None;
}

int answer(Request request, const QString& usage, QIODevice& out)
{
    print(out, request == Request::Version
                   ? QStringLiteral("wexa-confirm %1\n").arg(BuildVersion::text())
                   : usage);
    return Success;
}

int wrongCall(const QString& program, const QString& error, QIODevice& err)
{
    print(err, QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(program, error));
    return UsageError;
}

void skipFreeingAtExit()
{
    skipRequested = true;
}

bool startProgram(QFile& out, QFile& err)
{
    QCoreApplication::setOrganizationName(QStringLiteral("WEXA"));
    QCoreApplication::setApplicationName(QStringLiteral("wexa-confirm"));
    QCoreApplication::setApplicationVersion(BuildVersion::text());
    return out.open(stdout, QIODevice::WriteOnly) && err.open(stderr, QIODevice::WriteOnly);
}

} // namespace CommandLine
