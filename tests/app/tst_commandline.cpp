#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <memory>

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

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

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
        if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit)
            return {};
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    QString write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(m_dir->filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void respondGivesTheSameDocumentInEveryLocale()
    {
        const QStringList change = QStringList{"respond", Sample, "--type", "change"} + parties();

        const Result ru = run(change + QStringList{"--locale", "ru_RU", "--quantity", "2=40,5"});
        const Result en = run(change + QStringList{"--locale", "en_US", "--quantity", "2=40.5"});

        QCOMPARE(ru.exitCode, 0);
        QCOMPARE(en.exitCode, 0);
        QCOMPARE(ru.out, en.out);
        QCOMPARE(elementTexts(ru.out, "QuantityToBeDelivered").value(1), "40.500");
    }

    void typeAndQuantitiesReachResponseAndForm_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("responseType");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QStringList>("confirmed");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("shownTotal");

        QTest::newRow("a refusal confirms nothing on any line")
            << QStringList{"--type", "refuse"} << "27" << QStringList{"7", "7", "7"}
            << QStringList{"0.000", "0.000", "0.000"} << QStringList{} << "0,000";
        QTest::newRow("a full acceptance confirms every ordered quantity")
            << QStringList{} << "29" << QStringList{"5", "5", "5"}
            << QStringList{"120.000", "48.000", "12.500"} << QStringList{} << "180,500";
        QTest::newRow("a smaller quantity marks its line changed and zero marks it refused")
            << QStringList{"--type", "change", "--quantity", "2=40", "--quantity", "3=0"} << "4"
            << QStringList{"5", "3", "7"} << QStringList{"120.000", "40.000", "0.000"}
            << QStringList{} << "160,000";
        QTest::newRow("a quantity above the ordered one is refused and the line kept")
            << QStringList{"--type", "change", "--quantity", "1=121"} << "4"
            << QStringList{"5", "5", "5"} << QStringList{"120.000", "48.000", "12.500"}
            << QStringList{AboveOrdered} << "180,500";
    }

    void typeAndQuantitiesReachResponseAndForm()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, responseType);
        QFETCH(QStringList, statuses);
        QFETCH(QStringList, confirmed);
        QFETCH(QStringList, messages);
        QFETCH(QString, shownTotal);
        options += QStringList{"--locale", "ru_RU"} + parties();

        const Result response = run(QStringList{"respond", Sample} + options);
        const Result shown = run(QStringList{"show", Sample} + options);

        // respond still builds the response after a refused quantity; show reports it by its code.
        QCOMPARE(response.exitCode, 0);
        QCOMPARE(response.errLines(), messages);
        QCOMPARE(elementTexts(response.out, "ResponseType"), QStringList{responseType});
        QCOMPARE(elementTexts(response.out, "LineItemStatus"), statuses);
        QCOMPARE(elementTexts(response.out, "QuantityToBeDelivered"), confirmed);
        QCOMPARE(shown.exitCode, messages.isEmpty() ? 0 : 1);
        QCOMPARE(shown.errLines(), messages);
        QCOMPARE(shown.json()["summary"].toArray()[1].toString(), shownTotal);
    }

    void savedResponseComesBackAsItWasWritten()
    {
        const QStringList options =
            QStringList{"--locale", "ru_RU", "--type", "change", "--quantity", "3=7,5"} + parties();
        const QString out = m_dir->filePath("response.xml");

        const Result written = run(QStringList{"respond", Sample, "-o", out} + options);
        QCOMPARE(written.exitCode, 0);
        QCOMPARE(written.out, QByteArray());
        const QByteArray saved = read(out);
        QVERIFY(saved.startsWith("<?xml"));

        const QJsonObject original = run(QStringList{"show", Sample} + options).json();
        const Result loaded = run(QStringList{"show", out, "--locale", "ru_RU"} + parties());
        const Result again = run(QStringList{"respond", out} + parties());

        QCOMPARE(loaded.exitCode, 0);
        QCOMPARE(loaded.err, QByteArray());
        const QJsonObject after = loaded.json();
        for (const char* key : {"txtNrPotw", "lblNrZamWart", "txtDataDost", "cboxTyp"})
            QCOMPARE(after["header"][key].toVariant(), original["header"][key].toVariant());
        QCOMPARE(after["summary"].toVariant(), original["summary"].toVariant());
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(again.out, saved);
    }

    void refusedFileWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("seller");
        QTest::addColumn<QString>("message");

        const QByteArray saved = run(QStringList{"respond", Sample} + parties()).out;
        QTest::newRow("a saved response from another seller")
            << saved << "4607000000099"
            << "WEXA: Неправильный ILN номер продавца";
        QTest::newRow("a file that is not XML")
            << QByteArray("это не XML") << Seller << "WEXA: Неправильный формат файла XML.";
        QTest::newRow("an order without its lines element")
            << QByteArray("<Document-Order><Order-Header><OrderNumber>Z-2</OrderNumber>"
                          "</Order-Header></Document-Order>")
            << Seller
            << "Произошла ошибка в Wczytaj_Zamowienie(): В заказе нет элемента Order-Lines";
    }

    void refusedFileWritesNothing()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, seller);
        QFETCH(QString, message);
        const QString in = write("in.xml", file);
        const QString out = write("out.xml", "the earlier response\n");

        const Result toFile = run(QStringList{"respond", in, "-o", out} + parties(Buyer, seller));
        const Result toStdout = run(QStringList{"respond", in} + parties(Buyer, seller));
        const Result shown = run(QStringList{"show", in} + parties(Buyer, seller));

        QCOMPARE(toFile.exitCode, 1);
        QVERIFY2(toFile.errLines().contains(message), toFile.err.constData());
        QCOMPARE(read(out), QByteArray("the earlier response\n"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), (QStringList{"in.xml", "out.xml"}));
        QCOMPARE(toStdout.exitCode, 1);
        QCOMPARE(toStdout.out, QByteArray());
        // show still prints the form as the error left it.
        QCOMPARE(shown.exitCode, 1);
        QVERIFY2(shown.json().contains("header"), shown.out.constData());
    }

    void showPrintsTheOrder()
    {
        const Result result = run(QStringList{"show", Sample, "--locale", "ru_RU"} + parties());

        QCOMPARE(result.exitCode, 0);
        const QJsonObject json = result.json();
        QCOMPARE(json["header"]["txtNrPotw"].toString(), "Пз_ZK/2026/1187");
        QCOMPARE(json["header"]["txtDataPotw"].toString(),
                 QDate::currentDate().toString(Qt::ISODate));
        QCOMPARE(json["header"]["txtUwagi"].toString(),
                 "Доставка через рампу №2.\nЗвонить за час.");
        QCOMPARE(json["header"]["cboxTyp"].toInt(), 2);
        QCOMPARE(json["LineCount"].toInt(), 3);
        QCOMPARE(json["ValidLineCount"].toInt(), 3);
    }

    void wrongCallExitsWithTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("error");
        const QByteArray usage("Usage:");
        QTest::newRow("nothing at all, without a screen") << QStringList{} << usage;
        QTest::newRow("no FILE") << QStringList{"respond", "--type", "accept"} << usage;
        QTest::newRow("an unknown verb") << QStringList{"confirm", Sample} << usage;
        QTest::newRow("a type that is none of the three")
            << QStringList{"respond", Sample, "--type", "partial"} << usage;
        QTest::newRow("a quantity without an equals sign")
            << QStringList{"respond", Sample, "--quantity", "5"} << usage;
        QTest::newRow("an output file for show")
            << QStringList{"show", Sample, "-o", "out.xml"} << usage;
        QTest::newRow("respond to a file that does not exist")
            << QStringList{"respond", "missing.xml"} << QByteArray("wexa-confirm: cannot read");
        QTest::newRow("show a directory")
            << QStringList{"show", "."} << QByteArray("wexa-confirm: cannot read");
    }

    void wrongCallExitsWithTwo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, error);

        const Result result = run(arguments + (arguments.isEmpty() ? QStringList{} : parties()));

        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.out, QByteArray());
        QVERIFY2(result.err.contains(error), result.err.constData());
        QVERIFY(!QFile::exists(m_dir->filePath("out.xml")));
    }

    void helpExplainsTheCommands()
    {
        const Result result = run({"--help"});

        QCOMPARE(result.exitCode, 0);
        for (const char* word : {"respond FILE", "show FILE", "--type accept|change|refuse",
                                 "--quantity ROW=TEXT", "-o OUT"})
            QVERIFY2(result.out.contains(word), word);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
