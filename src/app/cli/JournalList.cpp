#include "app/cli/JournalList.h"

#include "app/cli/CommandLine.h"
#include "core/rules/FileWriter.h"
#include "core/session/Journal.h"
#include "core/session/WorkingFolder.h"

#include <QDate>

namespace JournalList {
namespace {

void print(QIODevice& device, const QString& text)
{
    device.write(text.toUtf8());
}

// A field of a line of its own: what came from a platform breaks no line and no column.
QString field(const QString& text)
{
    QString one = text;
    for (QChar& c : one) {
        if (c.unicode() < 0x20 || c == QChar(0x7f))
            c = QLatin1Char(' ');
    }
    return one;
}

} // namespace

QString usage()
{
    return QStringLiteral(
        "  wexa-confirm journal [--since DATE] [--buyer ILN] [--state STATE] [--search TEXT]\n"
        "                       [--csv]\n"
        "      lists the journal of the working folder, newest first: what was received,\n"
        "      sent and saved. DATE is yyyy-mm-dd; STATE is received, in-progress, sent,\n"
        "      saved or discarded; TEXT a part of a number or the buyer, or the start of an\n"
        "      EAN or item code. --csv writes CSV (UTF-8, ';') for a spreadsheet.\n");
}

int run(const QStringList& arguments, QIODevice& out, QIODevice& err)
{
    Journal::Filter filter;
    filter.limit = 100000;
    bool csv = false;
    QString error;
    for (qsizetype i = 0; i < arguments.size() && error.isEmpty(); ++i) {
        const QString& option = arguments[i];
        if (const auto request = CommandLine::requestOf(option);
            request != CommandLine::Request::None)
            return CommandLine::answer(request, QStringLiteral("Usage:\n") + usage(), out);
        if (option == QLatin1String("--csv")) {
            csv = true;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = QStringLiteral("%1 needs a value").arg(option);
            break;
        }
        const QString value = arguments[++i];
        if (option == QLatin1String("--since")) {
            filter.from = QDate::fromString(value, Qt::ISODate);
            if (!filter.from.isValid())
                error = QStringLiteral("--since takes a date as yyyy-mm-dd, not '%1'").arg(value);
        } else if (option == QLatin1String("--buyer")) {
            filter.buyerIln = value;
        } else if (option == QLatin1String("--search")) {
            filter.text = value;
        } else if (option == QLatin1String("--state")) {
            filter.state = WorkStates::fromWord(value);
            if (!filter.state)
                error = QStringLiteral("unknown state '%1'").arg(value);
        } else {
            error = QStringLiteral("unknown option '%1'").arg(option);
        }
    }
    if (!error.isEmpty())
        return CommandLine::wrongCall(QStringLiteral("wexa-confirm journal"), error, err);
    QString problem;
    const std::unique_ptr<Journal> journal = Journal::open(WorkingFolder::read(), problem);
    if (!journal) {
        print(err, QStringLiteral("wexa-confirm journal: %1\n").arg(problem));
        return CommandLine::Refused;
    }
    const QList<Journal::Entry> entries = journal->search(filter);
    if (!journal->lastError().isEmpty()) {
        print(err, QStringLiteral("wexa-confirm journal: %1\n").arg(journal->lastError()));
        return CommandLine::Refused;
    }
    QByteArray text;
    if (csv) {
        text = Journal::csv(entries);
    } else {
        for (const Journal::Entry& e : entries)
            text += QStringList{e.received.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                WorkStates::word(e.state),
                                field(e.orderNumber),
                                field(e.responseNumber.isEmpty() ? e.confirmationNumber
                                                                 : e.responseNumber),
                                field(e.buyerIln),
                                field(e.buyerName),
                                QString::number(e.lines),
                                field(e.answer)}
                        .join(QLatin1Char('\t'))
                        .toUtf8() +
                    '\n';
    }
    if (!FileWriter::write(out, text, &error)) {
        print(err, QStringLiteral("wexa-confirm journal: %1\n").arg(error));
        return CommandLine::Refused;
    }
    return CommandLine::Success;
}

} // namespace JournalList
