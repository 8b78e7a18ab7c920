#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Buyer = QStringLiteral("4607000000017");
const QString Seller = QStringLiteral("4607000000024");
const QString Sample = QStringLiteral(WEXA_SOURCE_DIR "/samples/order.xml");
const QString AboveOrdered = QStringLiteral(
    "WEXA: Не возможно подтвердить большее, чем указано в заказе  количество товара");

QStringList parties(const QString& partner = Buyer, const QString& user = Seller)
{
    return {QStringLiteral("--partner-iln"), partner, QStringLiteral("--user-iln"), user};
}

struct Result {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    QStringList errLines() const { return QString::fromUtf8(err).split('\n', Qt::SkipEmptyParts); }
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
    QJsonArray line(int row) const { return json()["lines"].toArray()[row - 1].toArray(); }
};

// The texts of every element of that name, in document order.
QStringList elementTexts(const QByteArray& xml, const QString& name)
{
    QStringList texts;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == name)
            texts.append(reader.readElementText(QXmlStreamReader::IncludeChildElements));
    }
    return texts;
}

struct OrderLine {
    QString quantity;
    QString unit;
    QString price;
};

QByteArray orderWith(const QList<OrderLine>& lines)
{
    QString xml = QStringLiteral("<Document-Order><Order-Header><OrderNumber>Z-7</OrderNumber>"
                                 "<OrderDate>2026-12-01</OrderDate></Order-Header><Order-Lines>");
    int number = 0;
    for (const OrderLine& line : lines) {
        ++number;
        xml += QStringLiteral("<Line><Line-Item><LineNumber>%1</LineNumber><EAN>46012345%2</EAN>"
                              "<ItemDescription>Сыр «Российский» 50%</ItemDescription>"
                              "<OrderedQuantity>%3</OrderedQuantity>"
                              "<UnitOfMeasure>%4</UnitOfMeasure>")
                   .arg(number)
                   .arg(number, 5, 10, QLatin1Char('0'))
                   .arg(line.quantity, line.unit);
        if (!line.price.isNull())
            xml += QStringLiteral("<OrderedUnitNetPrice>%1</OrderedUnitNetPrice>").arg(line.price);
        xml += QStringLiteral("</Line-Item></Line>");
    }
    return (xml + QStringLiteral("</Order-Lines></Document-Order>")).toUtf8();
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_savedResponse;

    Result run(const QStringList& arguments) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        // Without a screen, as on a server: a bare call then cannot open the window.
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(display));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(m_dir ? m_dir->path() : QDir::tempPath());
        process.start(QStringLiteral(WEXA_BIN_DIR "/wexa-confirm"), arguments);
        Result result;
        if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit)
            return result;
        result.exitCode = process.exitCode();
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    QString write(const QString& name, const QByteArray& bytes) const
    {
        const QString path = m_dir->filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        const Result saved = run(QStringList{QStringLiteral("respond"), Sample} + parties());
        QCOMPARE(saved.exitCode, 0);
        m_savedResponse = saved.out;
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void respondGivesTheSameDocumentInEveryLocale_data()
    {
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<QStringList>("second");
        QTest::addColumn<QString>("secondLineConfirmed");

        const QStringList change = {QStringLiteral("--type"), QStringLiteral("change")};
        QTest::newRow("the sample under a comma locale and a point locale")
            << QStringList{"--locale", "ru_RU"} << QStringList{"--locale", "en_US"} << "48.000";
        QTest::newRow("a quantity typed with each locale's own separator")
            << QStringList{"--locale", "ru_RU", "--quantity", "2=40,5"} + change
            << QStringList{"--locale", "en_US", "--quantity", "2=40.5"} + change << "40.500";
    }

    void respondGivesTheSameDocumentInEveryLocale()
    {
        QFETCH(QStringList, first);
        QFETCH(QStringList, second);
        QFETCH(QString, secondLineConfirmed);

        const QStringList respond = QStringList{QStringLiteral("respond"), Sample} + parties();
        const Result a = run(respond + first);
        const Result b = run(respond + second);

        QCOMPARE(a.exitCode, 0);
        QCOMPARE(b.exitCode, 0);
        QCOMPARE(a.out, b.out);
        QCOMPARE(elementTexts(a.out, "QuantityToBeDelivered").value(1), secondLineConfirmed);
    }

    void respondWritesTheTypeIntoHeaderAndLines_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("responseType");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QStringList>("confirmed");

        QTest::newRow("a refusal confirms nothing on any line")
            << QStringList{"--type", "refuse"} << "27" << QStringList{"7", "7", "7"}
            << QStringList{"0.000", "0.000", "0.000"};
        QTest::newRow("a full acceptance confirms every ordered quantity")
            << QStringList{} << "29" << QStringList{"5", "5", "5"}
            << QStringList{"120.000", "48.000", "12.500"};
        QTest::newRow("a smaller quantity marks its line changed")
            << QStringList{"--type", "change", "--quantity", "2=40"} << "4"
            << QStringList{"5", "3", "5"} << QStringList{"120.000", "40.000", "12.500"};
        QTest::newRow("a quantity of zero marks its line refused")
            << QStringList{"--type", "change", "--quantity", "3=0"} << "4"
            << QStringList{"5", "5", "7"} << QStringList{"120.000", "48.000", "0.000"};
    }

    void respondWritesTheTypeIntoHeaderAndLines()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, responseType);
        QFETCH(QStringList, statuses);
        QFETCH(QStringList, confirmed);

        const Result result = run(QStringList{"respond", Sample} + parties() + options);

        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QByteArray());
        QCOMPARE(elementTexts(result.out, "ResponseType"), QStringList{responseType});
        QCOMPARE(elementTexts(result.out, "LineItemStatus"), statuses);
        QCOMPARE(elementTexts(result.out, "QuantityToBeDelivered"), confirmed);
    }

    void quantityTypedIntoTheCellEditor_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("exitCode");

        const QString change = QStringLiteral("change");
        auto typed = [](const QString& type, const QStringList& quantities) {
            QStringList options{"--type", type};
            for (const QString& q : quantities)
                options << "--quantity" << q;
            return options;
        };
        QTest::newRow("a quantity below the ordered one is taken and totalled")
            << typed(change, {"2=40"}) << 2 << "40,000"
            << "172,500" << QStringList{} << 0;
        QTest::newRow("a quantity typed with a point is taken under a comma locale")
            << typed(change, {"3=10.25"}) << 3 << "10,250"
            << "178,250" << QStringList{} << 0;
        QTest::newRow("a quantity above the ordered one is refused and the cell kept")
            << typed(change, {"1=121"}) << 1 << "120,000"
            << "180,500" << QStringList{AboveOrdered} << 1;
        QTest::newRow("letters are refused with the number message only")
            << typed(change, {"1=много"}) << 1 << "120,000"
            << "180,500" << QStringList{"WEXA: Неправильная нумерическая величина."} << 1;
        QTest::newRow("a later quantity for the same line replaces the earlier one")
            << typed(change, {"1=100", "1=90"}) << 1 << "90,000"
            << "150,500" << QStringList{} << 0;
        QTest::newRow("a refused quantity keeps the one accepted before it")
            << typed(change, {"1=100", "1=130"}) << 1 << "100,000"
            << "160,500" << QStringList{AboveOrdered} << 1;
        QTest::newRow("the editor does not open under full acceptance")
            << typed("accept", {"1=5"}) << 1 << "120,000"
            << "180,500" << QStringList{} << 0;
        QTest::newRow("the editor does not open under refusal")
            << typed("refuse", {"1=5"}) << 1 << "0"
            << "0,000" << QStringList{} << 0;
    }

    void quantityTypedIntoTheCellEditor()
    {
        QFETCH(QStringList, options);
        QFETCH(int, row);
        QFETCH(QString, cell);
        QFETCH(QString, total);
        QFETCH(QStringList, messages);
        QFETCH(int, exitCode);

        const Result result =
            run(QStringList{"show", Sample, "--locale", "ru_RU"} + parties() + options);

        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.errLines(), messages);
        QCOMPARE(result.line(row)[4].toString(), cell);
        QCOMPARE(result.json()["summary"].toArray()[1].toString(), total);
    }

    void respondBuildsDespiteARefusedQuantity()
    {
        const Result result = run(
            QStringList{"respond", Sample, "--type", "change", "--quantity", "1=121"} + parties());

        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.errLines(), QStringList{AboveOrdered});
        QCOMPARE(elementTexts(result.out, "QuantityToBeDelivered").value(0), "120.000");
    }

    void savedResponseComesBackAsItWasWritten_data()
    {
        QTest::addColumn<QStringList>("options");

        QTest::newRow("a full acceptance") << QStringList{};
        QTest::newRow("a refusal") << QStringList{"--type", "refuse"};
        QTest::newRow("a change with typed quantities")
            << QStringList{"--type", "change", "--quantity", "2=40", "--quantity", "3=7,5"};
    }

    void savedResponseComesBackAsItWasWritten()
    {
        QFETCH(QStringList, options);
        const QStringList common = QStringList{"--locale", "ru_RU"} + parties();
        const QString out = m_dir->filePath("response.xml");

        // GIVEN the response to the sample, written to a file
        const Result written = run(QStringList{"respond", Sample, "-o", out} + common + options);
        QCOMPARE(written.exitCode, 0);
        QCOMPARE(written.out, QByteArray());
        const QByteArray saved = read(out);
        QVERIFY(saved.startsWith("<?xml"));

        // WHEN it is shown and answered again
        const Result original = run(QStringList{"show", Sample} + common + options);
        const Result loaded = run(QStringList{"show", out} + common);
        const Result again = run(QStringList{"respond", out} + common);

        // THEN the form holds the same confirmation and the answer is the file itself
        QCOMPARE(loaded.exitCode, 0);
        QCOMPARE(loaded.err, QByteArray());
        const QJsonObject before = original.json();
        const QJsonObject after = loaded.json();
        for (const char* key : {"txtNrPotw", "txtDataPotw", "lblNrZamWart", "lblDataZamWart",
                                "lblILNMiejscaDostWart", "txtDataDost", "txtCzasDost", "cboxTyp"})
            QCOMPARE(after["header"][key].toVariant(), before["header"][key].toVariant());
        QCOMPARE(after["LineCount"].toInt(), before["LineCount"].toInt());
        QCOMPARE(after["summary"].toVariant(), before["summary"].toVariant());
        // Pack size, discount and delivery date are not part of a response line.
        for (int row = 1; row <= before["LineCount"].toInt(); ++row) {
            for (int column : {0, 1, 2, 3, 4, 5, 6, 7, 9})
                QCOMPARE(loaded.line(row)[column].toString(),
                         original.line(row)[column].toString());
        }
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(again.out, saved);
    }

    void refusedFileWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("message");

        const QByteArray unnumbered = QString::fromUtf8(m_savedResponse)
                                          .remove(QRegularExpression(QStringLiteral(
                                              "<OrderResponseNumber>.*</OrderResponseNumber>")))
                                          .toUtf8();
        QVERIFY(!unnumbered.contains("OrderResponseNumber"));

        QTest::newRow("a saved response from another seller")
            << m_savedResponse << parties(Buyer, "4607000000099")
            << "WEXA: Неправильный ILN номер продавца";
        QTest::newRow("a saved response to another buyer")
            << m_savedResponse << parties("4607000000086", Seller)
            << "WEXA: Неправильный ILN номер покупателя.";
        QTest::newRow("a saved response without its confirmation number")
            << unnumbered << parties()
            << "WEXA: Переписанный документ подтверждения заказа неправилен либо не содержит всех "
               "необходимых позиций.";
        QTest::newRow("a file that is not XML")
            << QByteArray("это не XML") << parties() << "WEXA: Неправильный формат файла XML.";
        QTest::newRow("a document that is neither an order nor a response")
            << QByteArray("<Document-Invoice/>") << parties()
            << "WEXA: Документ не соответствует спецификации подтверждения закза.";
        QTest::newRow("an order without its lines element")
            << QByteArray("<Document-Order><Order-Header><OrderNumber>Z-2</OrderNumber>"
                          "</Order-Header></Document-Order>")
            << parties()
            << "Произошла ошибка в Wczytaj_Zamowienie(): В заказе нет элемента Order-Lines";
    }

    void refusedFileWritesNothing()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, options);
        QFETCH(QString, message);
        const QString in = write("in.xml", file);
        const QString out = write("out.xml", "the earlier response\n");

        const Result toFile = run(QStringList{"respond", in, "-o", out} + options);
        const Result toStdout = run(QStringList{"respond", in} + options);

        QCOMPARE(toFile.exitCode, 1);
        QVERIFY2(toFile.errLines().contains(message), toFile.err.constData());
        QCOMPARE(read(out), QByteArray("the earlier response\n"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), (QStringList{"in.xml", "out.xml"}));
        QCOMPARE(toStdout.exitCode, 1);
        QCOMPARE(toStdout.out, QByteArray());
    }

    void showCountsTheLinesThatPassTheLineCheck_data()
    {
        QTest::addColumn<QByteArray>("order");
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<int>("validLineCount");
        QTest::addColumn<int>("type");

        QTest::newRow("every line of the sample passes and the order is accepted in full")
            << read(Sample) << 3 << 3 << 2;
        QTest::newRow("a blank unit fails its line and the order is to be changed")
            << orderWith({{"5", "   ", {}}}) << 1 << 0 << 0;
        QTest::newRow("a price that is no number fails its line")
            << orderWith({{"5", "PCE", "по договору"}}) << 1 << 0 << 0;
        QTest::newRow("a missing price passes") << orderWith({{"5", "PCE", {}}}) << 1 << 1 << 2;
        QTest::newRow("one failing line among passing ones")
            << orderWith({{"5", "PCE", "10.5"}, {"2.5", "", "10"}, {"1", "KGM", {}}}) << 3 << 2
            << 0;
    }

    void showCountsTheLinesThatPassTheLineCheck()
    {
        QFETCH(QByteArray, order);
        QFETCH(int, lineCount);
        QFETCH(int, validLineCount);
        QFETCH(int, type);

        const Result result = run(QStringList{"show", write("order.xml", order)} + parties());

        QCOMPARE(result.exitCode, 0);
        const QJsonObject json = result.json();
        QCOMPARE(json["LineCount"].toInt(), lineCount);
        QCOMPARE(json["ValidLineCount"].toInt(), validLineCount);
        QCOMPARE(json["header"]["cboxTyp"].toInt(), type);
    }

    void showPrintsTheOrderHeader_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");

        QTest::newRow("the confirmation number is the order number behind Пз_")
            << "txtNrPotw"
            << "Пз_ZK/2026/1187";
        QTest::newRow("the confirmation date is today")
            << "txtDataPotw" << QDate::currentDate().toString(Qt::ISODate);
        QTest::newRow("the order date") << "lblDataZamWart"
                                        << "2026-12-03";
        QTest::newRow("the delivery point's name") << "lblNazwaMiejscaDostWart"
                                                   << "Гипермаркет «Север»";
        QTest::newRow("the expected delivery date") << "txtDataDost"
                                                    << "2026-12-09";
        QTest::newRow("the expected delivery time in hours and minutes") << "txtCzasDost"
                                                                         << "08:30";
        QTest::newRow("the remarks keep their line break")
            << "txtUwagi"
            << "Доставка через рампу №2.\nЗвонить за час.";
    }

    void showPrintsTheOrderHeader()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);

        const Result result = run(QStringList{"show", Sample, "--locale", "ru_RU"} + parties());

        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.json()["header"][field].toString(), value);
    }

    void showPrintsTheStateAfterAnError()
    {
        const QString order = write("order.xml", "<Document-Order><Order-Header><OrderNumber>Z-2"
                                                 "</OrderNumber></Order-Header></Document-Order>");

        const Result result = run(QStringList{"show", order} + parties());

        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.errLines(),
                 QStringList{
                     "Произошла ошибка в Wczytaj_Zamowienie(): В заказе нет элемента Order-Lines"});
        const QJsonObject json = result.json();
        QCOMPARE(json["header"]["lblNrZamWart"].toString(), "Z-2");
        QCOMPARE(json["LineCount"].toInt(), 0);
        QCOMPARE(json["lines"].toArray().size(), 0);
    }

    void usageErrorExitsWithTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");

        QTest::newRow("nothing at all, without a screen") << QStringList{};
        QTest::newRow("no FILE") << QStringList{"respond", "--type", "accept"};
        QTest::newRow("an unknown verb") << QStringList{"confirm", Sample};
        QTest::newRow("an unknown option") << QStringList{"respond", Sample, "--force"};
        QTest::newRow("a type that is none of the three")
            << QStringList{"respond", Sample, "--type", "partial"};
        QTest::newRow("a quantity without an equals sign")
            << QStringList{"respond", Sample, "--quantity", "5"};
        QTest::newRow("an option without its value")
            << QStringList{"respond", Sample, "--user-iln"};
        QTest::newRow("an output file for show") << QStringList{"show", Sample, "-o", "out.xml"};
    }

    void usageErrorExitsWithTwo()
    {
        QFETCH(QStringList, arguments);

        const Result result = run(arguments);

        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.out, QByteArray());
        QVERIFY2(result.err.contains("Usage:"), result.err.constData());
        QVERIFY(!QFile::exists(m_dir->filePath("out.xml")));
    }

    void unreadableFileExitsWithTwo_data()
    {
        QTest::addColumn<QString>("verb");
        QTest::addColumn<QString>("file");

        QTest::newRow("respond to a file that does not exist") << "respond"
                                                               << "missing.xml";
        QTest::newRow("show a directory") << "show"
                                          << ".";
    }

    void unreadableFileExitsWithTwo()
    {
        QFETCH(QString, verb);
        QFETCH(QString, file);

        const Result result = run(QStringList{verb, file} + parties());

        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.out, QByteArray());
        QVERIFY2(result.err.startsWith("wexa-confirm: cannot read"), result.err.constData());
    }

    void respondWritesIntoAPipeWithoutReplacingIt()
    {
        // GIVEN a named pipe with a reader waiting at its other end
        const QString pipe = m_dir->filePath("pipe");
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);

        const Result result = run(QStringList{"respond", Sample, "-o", pipe} + parties());

        // THEN the response went through the pipe, which is still one
        QByteArray received(1 << 16, '\0');
        const ssize_t size = ::read(reader, received.data(), received.size());
        ::close(reader);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(received.left(qMax<ssize_t>(size, 0)), m_savedResponse);
        QVERIFY(!QFileInfo(pipe).isFile());
    }

    void helpExplainsTheCommands()
    {
        const Result result = run({"--help"});

        QCOMPARE(result.exitCode, 0);
        for (const char* word :
             {"respond FILE", "show FILE", "--partner-iln", "--user-iln", "--locale",
              "--type accept|change|refuse", "--quantity ROW=TEXT", "-o OUT"})
            QVERIFY2(result.out.contains(word), word);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
