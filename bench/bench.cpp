// Times the three things a user waits for on a large order, each against a plain libxml2
// parse of the same order in the same run: reading the order into the table, building its
// response, one commit from the cell editor, the draft that keeps the work after it, and a
// fill of the confirmed quantities from a warehouse's list of 10,000 rows.
//
// The changes panel's share of a commit is the same commit with the panel beside the
// control, against the control alone.
//
//   wexa-bench [ORDER [SMALL DIR]]   also writes the generated order to ORDER, an order
//                                    of 100 lines to SMALL and 1,000 orders of 10 lines
//                                    into DIR, for timing whole processes

#include "app/demo/SampleOrders.h"
#include "app/host/ChangesPanel.h"
#include "app/host/WorkKeeper.h"
#include "core/actions/CellEditor.h"
#include "core/actions/Confirmation.h"
#include "core/actions/QuantityFill.h"
#include "core/form/MessageSink.h"
#include "core/form/ProcessState.h"
#include "core/rules/QuantityFile.h"
#include "core/rules/ResponseWriter.h"
#include "core/rules/XmlDocument.h"
#include "core/session/Drafts.h"
#include "core/session/Startup.h"
#include "ui/control/PotwierdzenieZam.h"

#include <QApplication>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QMainWindow>
#include <QSet>
#include <QTemporaryDir>

#include <libxml/parser.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr int OrderLines = 1723;
constexpr int EditedRow = 900;
const QString Buyer = QStringLiteral("4607000000017");
const QString Seller = QStringLiteral("4607000000024");

class CountingMessages : public MessageSink {
public:
    Answer show(const Message& message) override
    {
        ++count;
        return message.buttons == Message::Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
    int count = 0;
};

// The processor time of this thread: other work on a shared machine does not count, the
// page faults of a run do.
double threadMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Time on the wall clock, for what waits on the disk.
double wallMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

template <typename Prepare, typename Measure>
double medianMs(int repetitions, Prepare prepare, Measure measure, double (*clock)() = threadMs)
{
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        prepare(i);
        const double start = clock();
        measure(i);
        times.push_back(clock() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void startOnline(Confirmation& form, const QByteArray& order)
{
    const XmlDocument document = XmlDocument::fromBytes(order);
    Startup::setParties(form);
    Startup::takeOrder(form, document);
    Startup::finish(form);
}

void row(const char* measure, double ms, double ratio, const char* target, bool met)
{
    std::printf("%-22s %10s %8.3fx %10s %5s\n", measure,
                qPrintable(QString::number(ms, 'f', 2) + QStringLiteral(" ms")), ratio, target,
                met ? "yes" : "NO");
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Freed memory stays with the process, so that no measure pays for page faults that
    // another one (or the previous repetition) had already paid: every measure runs warm.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    QLocale::setDefault(QLocale(QStringLiteral("ru_RU")));
    ProcessState process;
    process.user.iln = Seller;
    process.partnerIln = Buyer;

    const QByteArray order = SampleOrders::generate(OrderLines, QStringLiteral("ZK/2026/4411"),
                                                    OrderLines, {Buyer, Seller});
    const auto save = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
            return true;
        std::fprintf(stderr, "wexa-bench: cannot write %s\n", qPrintable(path));
        return false;
    };
    if (argc > 1 && !save(QString::fromLocal8Bit(argv[1]), order))
        return 2;
    if (argc > 3) {
        if (!save(QString::fromLocal8Bit(argv[2]),
                  SampleOrders::generate(100, QStringLiteral("ZK/2026/100"), 100, {Buyer, Seller})))
            return 2;
        for (int n = 1; n <= 1000; ++n) {
            const QString number = QStringLiteral("ZK/2026/%1").arg(n);
            if (!save(QStringLiteral("%1/order-%2.xml")
                          .arg(QString::fromLocal8Bit(argv[3]))
                          .arg(n, 4, 10, QLatin1Char('0')),
                      SampleOrders::generate(10, number, unsigned(n), {Buyer, Seller})))
                return 2;
        }
    }

    const double parse = medianMs(
        31, [](int) {},
        [&](int) {
            xmlFreeDoc(xmlReadMemory(order.constData(), int(order.size()), nullptr, nullptr, 0));
        });

    CountingMessages messages;
    std::unique_ptr<Confirmation> fresh;
    const double reading = medianMs(
        11, [&](int) { fresh = std::make_unique<Confirmation>(messages, process); },
        [&](int) { startOnline(*fresh, order); });
    fresh.reset();

    Confirmation form(messages, process);
    startOnline(form, order);
    bool built = true;
    const double building = medianMs(
        11, [](int) {},
        [&](int) {
            const std::optional<XmlDocument> response = MakeOrderResponse(form);
            built = built && response && !response->toUtf8().isEmpty();
        });

    form.selectCboxTyp(0);
    // The user types a quantity into the cell editor and presses Enter.
    const auto typeQuantityInto = [](Confirmation& into, int i) {
        into.lines().setCurrentCell(EditedRow, 4);
        into.editor().open();
        into.editor().setText(i % 2 ? QStringLiteral("0,5") : QStringLiteral("1"));
        into.editor().pressEnter();
    };
    auto typeQuantity = [&](int i) { typeQuantityInto(form, i); };
    const double commit = medianMs(
        31, [](int) {}, typeQuantity);

    // The same commit with the control on screen: the table's update and repaint count.
    // The same commit with the control on screen: the table's update and repaint count.
    double shownCommit = 0;
    {
        PotwierdzenieZam control(form);
        control.resize(1180, 760);
        control.show();
        QApplication::processEvents();
        shownCommit = medianMs(
            31, [](int) {},
            [&](int i) {
                typeQuantity(i);
                QApplication::processEvents();
            });
    }

    // The control alone and the control with the changes panel beside it, each in a window
    // of its own over a confirmation of its own, committed in turn so that a drift of the
    // machine falls on both alike; alone, an empty dock takes the panel's place.
    Confirmation paneled(messages, process);
    startOnline(paneled, order);
    paneled.selectCboxTyp(0);
    const auto windowOf = [](Confirmation& shown, QDockWidget* dock) {
        auto window = std::make_unique<QMainWindow>();
        window->setCentralWidget(new PotwierdzenieZam(shown));
        window->addDockWidget(Qt::RightDockWidgetArea, dock ? dock : new QDockWidget);
        window->resize(1540, 760);
        window->show();
        return window;
    };
    double panelShare = 0;
    {
        const auto alone = windowOf(form, nullptr);
        const auto beside = windowOf(paneled, new ChangesPanel(paneled));
        QApplication::processEvents();
        std::vector<double> without, with;
        for (int i = 0; i < 151; ++i) {
            for (Confirmation* shown : {&form, &paneled}) {
                // The clerk works in the window in front.
                QApplication::setActiveWindow(shown == &form ? alone.get() : beside.get());
                QApplication::processEvents();
                const double start = threadMs();
                typeQuantityInto(*shown, i);
                QApplication::processEvents();
                (shown == &form ? without : with).push_back(threadMs() - start);
            }
        }
        std::sort(without.begin(), without.end());
        std::sort(with.begin(), with.end());
        panelShare = with[with.size() / 2] / without[without.size() / 2] - 1;
    }

    // What keeps the work after a commit: the state taken and compared, an undo step, and
    // the draft written whole to disk (wall-clock time, the disk included).
    QTemporaryDir work;
    process.workingFolder = work.path();
    double draft = 0;
    double keptCommit = 0;
    bool drafted = false;
    {
        WorkKeeper keeper(form);
        keeper.startupFinished();
        const Drafts store(Drafts::folderOf(work.path()));
        Drafts::Info info;
        info.id = QStringLiteral("bench");
        const Confirmation::State state = form.state();
        draft = medianMs(
            31, [](int) {}, [&](int) { drafted = store.write(info, state); }, wallMs);
        keptCommit = medianMs(
            31, [](int) {},
            [&](int i) {
                typeQuantity(i + 1); // each time a value other than the cell's
                drafted = drafted && keeper.watcher().settle();
            },
            wallMs);
    }

    // A warehouse's list of 10,000 rows, every line of the order among them, read and
    // filled into the order.
    QByteArray list = "EAN;Количество\n";
    QSet<QString> listed;
    for (int16_t r = 1; r <= OrderLines; ++r) {
        const QString ean = form.lines().text(r, 1);
        if (!listed.contains(ean))
            list += ean.toUtf8() + ";0\n";
        listed.insert(ean);
    }
    for (int n = OrderLines; n < 10000; ++n)
        list += QByteArray::number(4690000000000LL + n) + ";2\n";
    int filled = 0;
    const double fill = medianMs(
        11, [](int) {},
        [&](int) {
            const QuantityFile file = QuantityFile::parseCsv(list);
            const std::optional<QuantityFill::Report> report =
                QuantityFill::fill(form, file, *QuantityFill::columnsOf(file));
            filled = report ? report->filled : -1;
        });

    const bool sound = drafted && filled == OrderLines && form.lineCount() == OrderLines &&
                       form.validLineCount() == OrderLines && built && messages.count == 0 &&
                       form.lines().text(EditedRow, 4) == "0,000";
    if (!sound) {
        std::fprintf(stderr,
                     "wexa-bench: the runs did not do what they should (lines %d, valid %d, "
                     "built %d, messages %d, cell %s, filled %d)\n",
                     form.lineCount(), form.validLineCount(), int(built), messages.count,
                     qPrintable(form.lines().text(EditedRow, 4)), filled);
        return 1;
    }

    std::printf("%d order lines, %lld bytes; processor time of one run, median of 11 to 31\n\n",
                OrderLines, qlonglong(order.size()));
    std::printf("%-22s %10s %9s %10s %5s\n", "measure", "measured", "ratio", "target", "met");
    row("libxml2 parse", parse, 1.0, "", true);
    row("reading", reading, reading / parse, "<= 4x", reading <= 4 * parse);
    row("building", building, building / parse, "<= 2x", building <= 2 * parse);
    row("commit", commit, commit / parse, "<= 0.2x", commit <= 0.2 * parse);
    row("commit, control shown", shownCommit, shownCommit / parse, "", true);
    std::printf("%-22s %10s %9s %10s %5s\n", "changes panel's share",
                qPrintable(QString::number(100 * panelShare, 'f', 1) + QStringLiteral(" %")), "",
                "<= 10 %", panelShare <= 0.10 ? "yes" : "NO");
    row("draft write (wall)", draft, draft / parse, "<= 10 ms", draft <= 10);
    row("fill, 10,000-row list", fill, fill / parse, "<= 3x", fill <= 3 * parse);
    row("commit, draft, undo", keptCommit, keptCommit / parse, "<= 15 ms", keptCommit <= 15);
    return 0;
}
