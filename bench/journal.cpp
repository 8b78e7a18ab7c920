// Times the journal on a clerk's year and more: a search of a journal of 100,000 recorded
// orders against a plain count of its entries by SQLite, and what recording adds to a send
// of a 1,723-line confirmation to a platform on this machine.
//
//   wexa-journal-bench [FOLDER]   keeps the journal of 100,000 orders in FOLDER, where a
//                                 later run finds it instead of recording it again

#include "core/session/Journal.h"
#include "app/demo/SampleOrders.h"
#include "core/actions/Confirmation.h"
#include "core/actions/Send.h"
#include "core/form/Host.h"
#include "core/form/MessageSink.h"
#include "core/form/ProcessState.h"
#include "core/rules/XmlDocument.h"
#include "core/session/Exchanges.h"
#include "core/session/JournalRecorder.h"
#include "core/session/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Recorded = 100000;
constexpr int OrderLines = 1723;
const QString Buyer = QStringLiteral("4607000000017");
const QString Seller = QStringLiteral("4607000000024");

class Yes : public MessageSink {
public:
    Answer show(const Message& message) override
    {
        return message.buttons == Message::Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
};

double medianMs(int repetitions, const std::function<void()>& measure)
{
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        measure();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void row(const char* measure, double ms, double ratio, const char* target, bool met)
{
    std::printf("%-30s %10s %8.3fx %12s %5s\n", measure,
                qPrintable(QString::number(ms, 'f', 2) + QStringLiteral(" ms")), ratio, target,
                met ? "yes" : "NO");
}

// A platform that accepts every upload at once, read to its end first.
class AcceptingPlatform : public QTcpServer {
public:
    AcceptingPlatform()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                auto* received = new QByteArray;
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QObject::destroyed, socket, [received] { delete received; });
                connect(socket, &QTcpSocket::readyRead, socket, [socket, received] {
                    received->append(socket->readAll());
                    const qsizetype end = received->indexOf("\r\n\r\n");
                    const qsizetype at = received->toLower().indexOf("content-length:");
                    if (end < 0 || at < 0)
                        return;
                    const qsizetype length =
                        received->mid(at + 15, received->indexOf('\r', at) - at - 15)
                            .trimmed()
                            .toLongLong();
                    if (received->size() < end + 4 + length)
                        return;
                    const QByteArray body = "<send-document-response><submission-status>OK"
                                            "</submission-status></send-document-response>";
                    socket->write(
                        "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                        "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
    }
};

// A page of that platform hosting the control; its uploads are journaled when a recorder
// is given, as the window journals them.
struct Page : Host {
    std::optional<QString> pageCookie() const override { return QString(); }
    QString pageUrl() const override { return url; }
    void responseUploaded(const QByteArray& document, const QString& address,
                          const QString& status) override
    {
        if (recorder)
            recorder->uploaded(document, address, status);
    }
    QString url;
    JournalRecorder* recorder = nullptr;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QStringLiteral("ru_RU")));
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    QDir().mkpath(folder);
    ProcessState process;
    process.workingFolder = folder;
    process.user.iln = Seller;
    process.partnerIln = Buyer;

    // A year and more of orders, recorded as the window records them, one small order each.
    QString problem;
    std::unique_ptr<Journal> journal = Journal::open(folder, problem);
    if (!journal) {
        std::fprintf(stderr, "wexa-journal-bench: %s\n", qPrintable(problem));
        return 1;
    }
    QElapsedTimer filling;
    filling.start();
    Journal::Filter all;
    all.limit = Recorded;
    const qsizetype kept = journal->search(all).size();
    Journal::Order order;
    order.source = QStringLiteral("fetched");
    order.buyerIln = Buyer;
    order.buyerName = QStringLiteral("ТД «Северный»");
    order.sellerIln = Seller;
    order.lines = 3;
    order.orderedTotal = 60;
    for (int n = int(kept); n < Recorded; ++n) {
        order.orderNumber = QStringLiteral("ZK/2026/%1").arg(n, 6, 10, QLatin1Char('0'));
        order.confirmationNumber = QStringLiteral("Пз_") + order.orderNumber;
        order.draftId = QString::number(n);
        order.document = SampleOrders::generate(3, order.orderNumber, n % 997, {Buyer, Seller});
        if (!journal->recordOrder(order)) {
            std::fprintf(stderr, "wexa-journal-bench: %s\n", qPrintable(journal->lastError()));
            return 1;
        }
    }
    std::printf("%d orders in the journal, %lld recorded now in %.1f s\n\n", Recorded,
                qlonglong(Recorded - kept), double(filling.elapsed()) / 1e3);

    // The plain count a search is held against, on a connection of its own.
    QSqlDatabase plain = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "plain");
    plain.setDatabaseName(journal->path());
    plain.open();
    const double count = medianMs(21, [&] {
        QSqlQuery query(plain);
        query.exec(QStringLiteral("SELECT count(*) FROM entries"));
        query.next();
    });
    std::printf("%-30s %10s %9s %12s %5s\n", "measure", "measured", "ratio", "target", "met");
    row("count of the entries (SQLite)", count, 1.0, "", true);
    const auto search = [&](const QString& text) {
        Journal::Filter filter;
        filter.text = text;
        return medianMs(21, [&] { journal->search(filter); });
    };
    const double byNumber = search(QStringLiteral("2026/05467"));
    row("search by a number's part", byNumber, byNumber / count, "<= 50 ms", byNumber <= 50);
    const double byEan = search(QStringLiteral("46012345600"));
    row("search by an EAN's start", byEan, byEan / count, "<= 50 ms", byEan <= 50);
    const double latest = search(QString());
    row("the latest, nothing typed", latest, latest / count, "<= 50 ms", latest <= 50);

    // A send of a large confirmation, with and without its journaling, taken in turns.
    AcceptingPlatform platform;
    Yes messages;
    Page page;
    page.url =
        QStringLiteral("http://127.0.0.1:%1/edi/supplier/Order.aspx").arg(platform.serverPort());
    Confirmation form(messages, process);
    form.setHost(page);
    Confirmation::Properties properties = form.properties();
    properties.partnerUrl = QStringLiteral("supplier");
    form.setProperties(properties);
    Exchanges::buildServiceAddresses(form, page.url);
    const XmlDocument document = XmlDocument::fromBytes(SampleOrders::generate(
        OrderLines, QStringLiteral("ZK/2026/4411"), OrderLines, {Buyer, Seller}));
    Startup::setParties(form);
    Startup::takeOrder(form, document);
    Startup::finish(form);
    JournalRecorder recorder(form, [](const QString& text) {
        std::fprintf(stderr, "wexa-journal-bench: %s\n", qPrintable(text));
    });
    recorder.order(document.toUtf8(), QStringLiteral("fetched"), QStringLiteral("send"), {});
    // Taken in turns, the ratio of each pair: the machine's drift falls on both alike.
    std::vector<double> without;
    std::vector<double> ratios;
    for (int i = 0; i < 21; ++i) {
        double times[2] = {0, 0};
        for (bool journaled : {false, true}) {
            page.recorder = journaled ? &recorder : nullptr;
            form.recordSent(QString()); // every send asks the first question
            QElapsedTimer timer;
            timer.start();
            btnPrzeslij_Click(form);
            times[journaled] = double(timer.nsecsElapsed()) / 1e6;
        }
        without.push_back(times[0]);
        ratios.push_back(times[1] / times[0]);
    }
    std::sort(without.begin(), without.end());
    std::sort(ratios.begin(), ratios.end());
    const double plainSend = without[without.size() / 2];
    const double ratio = ratios[ratios.size() / 2];
    std::printf("\n");
    row("send, 1,723 lines", plainSend, 1.0, "", true);
    row("send, 1,723 lines, journaled", plainSend * ratio, ratio, "<= 1.1x", ratio <= 1.1);
    return 0;
}
