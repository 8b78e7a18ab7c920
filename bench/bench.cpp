// Times the three things a user waits for on a large order, each against a plain libxml2
// parse of the same order in the same run: reading the order into the table, building its
// response, and one commit from the cell editor.
//
//   wexa-bench [ORDER]   also writes the generated order to ORDER

#include "control/Confirmation.h"
#include "control/MessageSink.h"
#include "control/ProcessState.h"
#include "control/Startup.h"
#include "documents/ResponseWriter.h"
#include "documents/XmlDocument.h"
#include "editing/CellEditor.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>

#include <libxml/parser.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
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

QString ean13(std::mt19937& random)
{
    QString digits = QStringLiteral("460");
    for (int i = 0; i < 9; ++i)
        digits += QChar('0' + int(random() % 10));
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += digits[i].digitValue() * (i % 2 ? 3 : 1);
    return digits + QChar('0' + (10 - sum % 10) % 10);
}

// An order as a buyer's system sends it: indented, Cyrillic names, quantities with
// decimals for goods sold by weight, prices, pack sizes and some discounts.
QByteArray makeOrder()
{
    static const char* goods[] = {"Молоко пастеризованное",
                                  "Кефир",
                                  "Творог",
                                  "Сметана",
                                  "Йогурт питьевой",
                                  "Сыр «Российский»",
                                  "Масло сливочное",
                                  "Ряженка",
                                  "Хлеб «Бородинский»",
                                  "Батон нарезной",
                                  "Печенье овсяное",
                                  "Крупа гречневая ядрица",
                                  "Рис круглозёрный",
                                  "Макаронные изделия «Перья»",
                                  "Сахар-песок",
                                  "Чай чёрный байховый",
                                  "Кофе молотый",
                                  "Сок яблочный осветлённый",
                                  "Вода минеральная",
                                  "Колбаса «Докторская» варёная"};
    static const char* kinds[] = {"3,2%",  "2,5%",  "9%",      "20%", "0,5 л", "1 л",
                                  "400 г", "900 г", "весовой", "в/у", "ГОСТ",  "1 кг"};
    static const char* makers[] = {"«Вологодское»",  "«Северная долина»", "«Заречье»",
                                   "«Красная цена»", "«Любимый край»",    "«Ладога»"};
    static const char* prefixes[] = {"MLK", "KFR", "TVR", "SMT", "SYR", "MSL", "HLB", "KRP"};
    std::mt19937 random(OrderLines);
    auto pick = [&](auto& list) { return QString::fromUtf8(list[random() % std::size(list)]); };

    QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Document-Order>\n  <Order-Header>\n"
            "    <OrderNumber>ZK/2026/4411</OrderNumber>\n    <OrderDate>2026-12-03</OrderDate>\n"
            "    <ExpectedDeliveryDate>2026-12-09</ExpectedDeliveryDate>\n"
            "    <ExpectedDeliveryTime>06:00</ExpectedDeliveryTime>\n"
            "    <Remarks>Разгрузка с 6:00 до 10:00.\nПаллеты не выше 1,8 м.</Remarks>\n"
            "  </Order-Header>\n  <Order-Parties>\n    <Buyer><ILN>%1</ILN></Buyer>\n"
            "    <Seller><ILN>%2</ILN></Seller>\n    <DeliveryPoint>\n"
            "      <ILN>4607000000031</ILN>\n      <Name>Распределительный центр «Юг»</Name>\n"
            "      <Address>г. Ростов-на-Дону, ул. Портовая, 193</Address>\n"
            "    </DeliveryPoint>\n  </Order-Parties>\n  <Order-Lines>\n")
            .arg(Buyer, Seller);
    for (int n = 1; n <= OrderLines; ++n) {
        const bool byWeight = random() % 5 == 0;
        const QString quantity = byWeight ? QStringLiteral("%1.%2")
                                                .arg(1 + random() % 60)
                                                .arg(random() % 1000, 3, 10, QLatin1Char('0'))
                                          : QString::number(1 + random() % 480);
        xml += QStringLiteral("    <Line>\n      <Line-Item>\n"
                              "        <LineNumber>%1</LineNumber>\n        <EAN>%2</EAN>\n"
                              "        <BuyerItemCode>%3</BuyerItemCode>\n"
                              "        <SupplierItemCode>%4-%5</SupplierItemCode>\n"
                              "        <ItemDescription>%6 %7 %8</ItemDescription>\n"
                              "        <OrderedQuantity>%9</OrderedQuantity>\n")
                   .arg(n)
                   .arg(ean13(random))
                   .arg(100000 + n)
                   .arg(pick(prefixes))
                   .arg(random() % 10000, 4, 10, QLatin1Char('0'))
                   .arg(pick(goods), pick(kinds), pick(makers), quantity);
        xml += QStringLiteral("        <OrderedUnitNetPrice>%1.%2</OrderedUnitNetPrice>\n"
                              "        <UnitOfMeasure>%3</UnitOfMeasure>\n"
                              "        <OrderedUnitPacksize>%4</OrderedUnitPacksize>\n")
                   .arg(10 + random() % 2500)
                   .arg(random() % 100, 2, 10, QLatin1Char('0'))
                   .arg(byWeight ? QStringLiteral("KGM") : QStringLiteral("PCE"))
                   .arg(std::vector{6, 8, 10, 12, 20, 24}[random() % 6]);
        if (random() % 3 == 0)
            xml += QStringLiteral("        <Discount>%1</Discount>\n")
                       .arg(std::vector{"2.5", "5", "7.25", "10"}[random() % 4]);
        xml += QStringLiteral("      </Line-Item>\n    </Line>\n");
    }
    xml += QStringLiteral("  </Order-Lines>\n</Document-Order>\n");
    return xml.toUtf8();
}

// The processor time of this thread: other work on a shared machine does not count, the
// page faults of a run do.
double threadMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

template <typename Prepare, typename Measure>
double medianMs(int repetitions, Prepare prepare, Measure measure)
{
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        prepare(i);
        const double start = threadMs();
        measure(i);
        times.push_back(threadMs() - start);
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
    QCoreApplication app(argc, argv);
    // Freed memory stays with the process, so that no measure pays for page faults that
    // another one (or the previous repetition) had already paid: every measure runs warm.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    QLocale::setDefault(QLocale(QStringLiteral("ru_RU")));
    ProcessState::instance().user.iln = Seller;
    ProcessState::instance().partnerIln = Buyer;

    const QByteArray order = makeOrder();
    if (argc > 1) {
        QFile file(QString::fromLocal8Bit(argv[1]));
        if (!file.open(QIODevice::WriteOnly) || file.write(order) != order.size()) {
            std::fprintf(stderr, "wexa-bench: cannot write %s\n", argv[1]);
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
        11, [&](int) { fresh = std::make_unique<Confirmation>(messages); },
        [&](int) { startOnline(*fresh, order); });
    fresh.reset();

    Confirmation form(messages);
    startOnline(form, order);
    bool built = true;
    const double building = medianMs(
        11, [](int) {},
        [&](int) {
            const std::optional<XmlDocument> response = MakeOrderResponse(form);
            built = built && response && !response->toUtf8().isEmpty();
        });

    form.selectCboxTyp(0);
    const double commit = medianMs(
        31, [](int) {},
        [&](int i) {
            form.lines().setCurrentCell(EditedRow, 4);
            form.editor().open();
            form.editor().setText(i % 2 ? QStringLiteral("0,5") : QStringLiteral("1"));
            form.editor().pressEnter();
        });

    const bool sound = form.lineCount() == OrderLines && form.validLineCount() == OrderLines &&
                       built && messages.count == 0 && form.lines().text(EditedRow, 4) == "1,000";
    if (!sound) {
        std::fprintf(stderr,
                     "wexa-bench: the runs did not do what they should (lines %d, valid %d, "
                     "built %d, messages %d, cell %s)\n",
                     form.lineCount(), form.validLineCount(), int(built), messages.count,
                     qPrintable(form.lines().text(EditedRow, 4)));
        return 1;
    }

    std::printf("%d order lines, %lld bytes; processor time of one run, median of 11 to 31\n\n",
                OrderLines, qlonglong(order.size()));
    std::printf("%-22s %10s %9s %10s %5s\n", "measure", "measured", "ratio", "target", "met");
    row("libxml2 parse", parse, 1.0, "", true);
    row("reading", reading, reading / parse, "<= 4x", reading <= 4 * parse);
    row("building", building, building / parse, "<= 4x", building <= 4 * parse);
    row("commit", commit, commit / parse, "<= 0.2x", commit <= 0.2 * parse);
    return 0;
}
