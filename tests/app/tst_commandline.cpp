#include "AppTest.h"

#include "app/demo/SampleOrders.h"
#include "core/form/BuildVersion.h"
#include "core/rules/FileWriter.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QXmlStreamReader>

namespace {

const QString Sample = QStringLiteral(WEXA_SOURCE_DIR "/samples/order.xml");
const QString AboveOrdered = QStringLiteral(
    "WEXA: Не возможно подтвердить большее, чем указано в заказе  количество товара");

// The buyer's and the seller's ILN.
const QStringList Parties{"--partner-iln", "4607000000017", "--user-iln", "4607000000024"};

// The texts of every element of that name, in document order.
QStringList elementTexts(const QByteArray& xml, const QString& name)
{
    QStringList texts;
    for (QXmlStreamReader reader(xml); !reader.atEnd();)
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == name)
            texts.append(reader.readElementText(QXmlStreamReader::IncludeChildElements));
    return texts;
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    // `output` takes the standard output. Without a screen, as on a server, and with a user
    // of the test's own: no working folder unless set up here.
    Ran run(const QStringList& arguments, const QString& output = {}) const
    {
        return Run{.arguments = arguments, .folder = m_dir->path(), .outputFile = output}
            .withoutDisplay()
            .set("LC_ALL", "C.UTF-8")
            .set("HOME", m_dir->path())
            .set("XDG_CONFIG_HOME", m_dir->filePath("config"))();
    }

    QString write(const QString& name, const QByteArray& bytes) const
    {
        return writeFile(m_dir->filePath(name), bytes) ? m_dir->filePath(name) : QString();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void respondGivesTheSameDocumentInEveryLocale()
    {
        const QStringList change = QStringList{"respond", Sample, "--type", "change"} + Parties;

        const Ran ru = run(change + QStringList{"--locale", "ru_RU", "--quantity", "2=40,5"});
        const Ran en = run(change + QStringList{"--locale", "en_US", "--quantity", "2=40.5"});

        QCOMPARE(QList({ru.exitCode, en.exitCode}), QList({0, 0}));
        QCOMPARE(ru.out, en.out);
        QCOMPARE(elementTexts(ru.out, "QuantityToBeDelivered").value(1), "40.500");
    }

    void aQuantityAboveTheOrderedOneIsRefused()
    {
        const QStringList options =
            QStringList{"--type", "change", "--quantity", "1=121", "--locale", "ru_RU"} + Parties;

        const Ran response = run(QStringList{"respond", Sample} + options);
        const Ran shown = run(QStringList{"show", Sample} + options);

        // respond still builds the response with the line kept; show reports it by its code.
        QCOMPARE(response.exitCode, 0);
        QCOMPARE(response.errLines(), QStringList{AboveOrdered});
        QCOMPARE(elementTexts(response.out, "QuantityToBeDelivered"),
                 (QStringList{"120.000", "48.000", "12.500"}));
        QCOMPARE(shown.exitCode, 1);
        QCOMPARE(shown.errLines(), QStringList{AboveOrdered});
        QCOMPARE(shown.json()["summary"].toArray()[1].toString(), "180,500");
    }

    void respondFillsFromAWarehouseList_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("confirmed"); // empty: no response
        QTest::newRow("columns named on the command line, what did not match reported")
            << QByteArray("x,4601234567893,7\nx,4609999999999,1\n")
            << QStringList{"--columns", "2,3"} << 0 << QStringList{"7.000", "48.000", "12.500"};
        QTest::newRow("a list without recognisable columns is a usage error")
            << QByteArray("a;b\n1;2\n") << QStringList{} << 2 << QStringList{};
    }
    void respondFillsFromAWarehouseList()
    {
        QFETCH(QByteArray, list);
        QFETCH(QStringList, options);
        const QString path = write("stock.csv", list);
        const Ran result = run(QStringList{"respond", Sample, "--type", "change", "--locale",
                                           "ru_RU", "--quantities", path} +
                               options + Parties);
        QTEST(result.exitCode, "exitCode");
        QTEST(elementTexts(result.out, "QuantityToBeDelivered"), "confirmed");
        if (result.exitCode == 0)
            QCOMPARE(
                result.errLines(),
                (QStringList{"Заполнено строк: 1", "Строки файла, которых нет в заказе (1):",
                             "  строка 2: 4609999999999", "Строки заказа, которых нет в файле (2):",
                             "  № 2, EAN 4601234567909, Кефир 2,5% 0,5 л",
                             "  № 3, EAN 4601234567916, Творог 9% весовой"}));
    }

    void savedResponseComesBackAsItWasWritten()
    {
        const QStringList options =
            QStringList{"--locale", "ru_RU", "--type", "change", "--quantity", "3=7,5"} + Parties;
        const QString out = m_dir->filePath("response.xml");

        const Ran written = run(QStringList{"respond", Sample, "-o", out} + options);
        QCOMPARE(written.exitCode, 0);
        QCOMPARE(written.out, QByteArray());
        const QByteArray saved = readFile(out);
        QVERIFY(saved.startsWith("<?xml"));

        const QJsonObject original = run(QStringList{"show", Sample} + options).json();
        const Ran loaded = run(QStringList{"show", out, "--locale", "ru_RU"} + Parties);
        const Ran again = run(QStringList{"respond", out} + Parties);

        QCOMPARE(loaded.exitCode, 0);
        QCOMPARE(loaded.err, QByteArray());
        const QJsonObject after = loaded.json();
        for (const char* key : {"txtNrPotw", "lblNrZamWart", "txtDataDost", "cboxTyp"})
            QCOMPARE(after["header"][key].toVariant(), original["header"][key].toVariant());
        QCOMPARE(after["summary"].toVariant(), original["summary"].toVariant());
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(again.out, saved);
    }

    void refusedFileWritesNothing()
    {
        const QString in = write("in.xml", "это не XML");
        const QString out = write("out.xml", "the earlier response\n");

        const Ran toFile = run(QStringList{"respond", in, "-o", out} + Parties);
        const Ran toStdout = run(QStringList{"respond", in} + Parties);
        const Ran shown = run(QStringList{"show", in} + Parties);

        QCOMPARE(toFile.exitCode, 1);
        QVERIFY2(toFile.errLines().contains("WEXA: Неправильный формат файла XML."),
                 toFile.err.constData());
        QCOMPARE(readFile(out), QByteArray("the earlier response\n"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), (QStringList{"in.xml", "out.xml"}));
        QCOMPARE(toStdout.exitCode, 1);
        QCOMPARE(toStdout.out, QByteArray());
        // show still prints the form as the error left it.
        QCOMPARE(shown.exitCode, 1);
        QVERIFY2(shown.json().contains("header"), shown.out.constData());
    }

    void wrongCallExitsWithTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("error");
        const QByteArray respond("\nTry 'wexa-confirm respond --help'.\n");
        QTest::newRow("nothing at all, without a screen") << QStringList{} << QByteArray("Usage:");
        QTest::newRow("no FILE") << QStringList{"respond", "--type", "accept"}
                                 << "wexa-confirm respond: FILE is missing" + respond;
        QTest::newRow("a type that is none of the three")
            << QStringList{"respond", Sample, "--type", "partial"} << respond;
        QTest::newRow("a quantity without an equals sign")
            << QStringList{"respond", Sample, "--quantity", "5"} << respond;
        QTest::newRow("respond to a file that does not exist")
            << QStringList{"respond", "missing.xml"} << QByteArray("wexa-confirm: cannot read");
        QTest::newRow("an unknown verb")
            << QStringList{"bogus"}
            << QByteArray("wexa-confirm: unknown verb 'bogus'\nTry 'wexa-confirm --help'.\n");
        QTest::newRow("an unknown option of the window")
            << QStringList{"--bogus", "1"}
            << QByteArray("wexa-confirm: unknown option '--bogus'\nTry 'wexa-confirm --help'.\n");
        QTest::newRow("an unknown option of respond")
            << QStringList{"respond", Sample, "--bogus"}
            << "wexa-confirm respond: unknown option '--bogus'" + respond;
        for (const QByteArray verb : {"setup", "journal", "demo"})
            QTest::newRow("an unknown option of " + verb)
                << QStringList{verb, "--bogus"}
                << "wexa-confirm " + verb + ": unknown option '--bogus'\nTry 'wexa-confirm " +
                       verb + " --help'.\n";
        QTest::newRow("many orders without -o")
            << QStringList{"respond", Sample, Sample}
            << "wexa-confirm respond: more than one FILE needs -o DIR" + respond;
        QTest::newRow("many orders with -o naming a file")
            << QStringList{"respond", Sample, Sample, "-o", "out.xml"}
            << QByteArray("wexa-confirm: out.xml is not a folder\n");
    }

    void wrongCallExitsWithTwo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, error);
        const QString out = write("out.xml", "kept\n");

        const Ran result = run(arguments + (arguments.isEmpty() ? QStringList{} : Parties));

        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.out, QByteArray());
        QVERIFY2(result.err.contains(error), result.err.constData());
        QCOMPARE(readFile(out), QByteArray("kept\n"));
    }

    // --help and --version answer on standard output wherever an option may stand.
    void helpAndVersionExitWithZero_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("says");
        const QByteArray version = "wexa-confirm " + BuildVersion::text().toUtf8() + "\n";
        QTest::newRow("the program's usage")
            << QStringList{"--help"} << QByteArray("  wexa-confirm demo");
        QTest::newRow("the program's version") << QStringList{"--version"} << version;
        QTest::newRow("the window's usage after its options")
            << QStringList{"--online", "Off", "--help"} << QByteArray("  wexa-confirm setup");
        QTest::newRow("respond's usage")
            << QStringList{"respond", "--help"} << QByteArray("--quantity ROW=TEXT");
        QTest::newRow("show's version") << QStringList{"show", Sample, "--version"} << version;
        QTest::newRow("setup's usage")
            << QStringList{"setup", "--help"} << QByteArray("--working-folder DIR");
        QTest::newRow("journal's version") << QStringList{"journal", "--version"} << version;
        QTest::newRow("demo's usage") << QStringList{"demo", "--help"} << QByteArray("--keep DIR");
    }
    void helpAndVersionExitWithZero()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, says);

        const Ran result = run(arguments);

        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QByteArray());
        if (says.startsWith("wexa-confirm "))
            QCOMPARE(result.out, says);
        else
            QVERIFY2(result.out.contains(says), result.out.constData());
    }

    // Past 1,723 lines the cell index overflows: the control's handlers report it.
    void ordersTooLongForTheCellIndexAreRefused_data()
    {
        QTest::addColumn<QString>("verb");
        QTest::addColumn<int>("lines");
        QTest::newRow("respond to an order of 1,725 lines") << "respond" << 1725;
        QTest::newRow("show an order of 2,000 lines") << "show" << 2000;
    }
    void ordersTooLongForTheCellIndexAreRefused()
    {
        QFETCH(QString, verb);
        QFETCH(int, lines);
        const QString in = write("long.xml", SampleOrders::generate(lines, "ZK/1", 1));

        const Ran result = run(QStringList{verb, in} + Parties);

        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.errLines(),
                 (QStringList{"Произошла ошибка в Wczytaj_Zamowienie(): Переполнение",
                              "Произошла ошибка в UserControl_Show(): Переполнение"}));
        if (verb == "show") {
            QCOMPARE(result.json()["LineCount"].toInt(), lines);
            QVERIFY(result.json()["lines"].toArray().size() <= 1723);
        }
    }

    void outputThatCannotBeWrittenFails_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("target");
        QTest::newRow("a response written to a full device")
            << QStringList{"respond", Sample, "-o", "/dev/full"} << QString() << "/dev/full";
        QTest::newRow("a response on a full standard output")
            << QStringList{"respond", Sample} << QString("/dev/full") << "standard output";
        QTest::newRow("the state on a full standard output")
            << QStringList{"show", Sample} << QString("/dev/full") << "standard output";
    }
    void outputThatCannotBeWrittenFails()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, output);
        QFETCH(QString, target);

        const Ran result = run(arguments + Parties, output);

        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.errLines(),
                 QStringList{"wexa-confirm: cannot write " + target + ": " + FileWriter::DiskFull});
    }
    // Each of many orders is answered as alone; the worst status is returned.
    void manyOrdersAreAnsweredInOneRun_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("answered");
        QTest::addColumn<QStringList>("errLines");
        QTest::newRow("three orders") << QStringList{"a.xml", "c.xml", "d.xml"} << 0
                                      << QStringList{"a.xml", "c.xml", "d.xml"} << QStringList{};
        QTest::newRow("one of them not XML")
            << QStringList{"a.xml", "b.xml", "c.xml"} << 1 << QStringList{"a.xml", "c.xml"}
            << QStringList{"b.xml: WEXA: Неправильный формат файла XML."};
        QTest::newRow("one of them missing, after one refused")
            << QStringList{"b.xml", "missing.xml", "c.xml"} << 2 << QStringList{"c.xml"}
            << QStringList{"b.xml: WEXA: Неправильный формат файла XML.",
                           "missing.xml: wexa-confirm: cannot read missing.xml: No such file or "
                           "directory"};
        QTest::newRow("an order that would be replaced by its answer")
            << QStringList{"a.xml", "out/a.xml"} << 2 << QStringList{"a.xml"}
            << QStringList{"out/a.xml: wexa-confirm: the response would replace the order"};
    }
    void manyOrdersAreAnsweredInOneRun()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, answered);
        QVERIFY(QDir(m_dir->path()).mkdir("out"));
        write("a.xml", readFile(Sample));
        write("b.xml", "это не XML");
        write("c.xml", SampleOrders::generate(5, "ZK/5", 5));
        write("d.xml", SampleOrders::generate(1, "ZK/1", 1));
        if (files.contains("out/a.xml"))
            write("out/a.xml", readFile(Sample));

        const Ran result = run(QStringList{"respond"} + files + QStringList{"-o", "out"} + Parties);

        QTEST(result.exitCode, "exitCode");
        QTEST(result.errLines(), "errLines");
        QCOMPARE(result.out, QByteArray());
        if (files.contains("out/a.xml"))
            return;
        QCOMPARE(QDir(m_dir->filePath("out")).entryList(QDir::Files), answered);
        for (const QString& name : answered)
            QCOMPARE(readFile(m_dir->filePath("out/" + name)),
                     run(QStringList{"respond", name} + Parties).out);
    }

    void respondIsJournaledWhereAFolderIsSetUp_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("lines");
        const QString tomorrow = QDate::currentDate().addDays(1).toString(Qt::ISODate);
        QTest::newRow("everything") << QStringList() << 0 << 1;
        QTest::newRow("saved ones") << QStringList{"--state", "saved"} << 0 << 1;
        QTest::newRow("sent ones") << QStringList{"--state", "sent"} << 0 << 0;
        QTest::newRow("since tomorrow") << QStringList{"--since", tomorrow} << 0 << 0;
        QTest::newRow("by an EAN of a line") << QStringList{"--search", "4601234567909"} << 0 << 1;
        QTest::newRow("another buyer's") << QStringList{"--buyer", "4607000000099"} << 0 << 0;
        QTest::newRow("an unknown state is a wrong call")
            << QStringList{"--state", "lost"} << 2 << 0;
        QTest::newRow("a date in another form is a wrong call")
            << QStringList{"--since", "07.12.2026"} << 2 << 0;
    }
    void respondIsJournaledWhereAFolderIsSetUp()
    {
        QFETCH(QStringList, options);
        QFETCH(int, lines);
        QCOMPARE(run({"journal"}).exitCode, 1); // no working folder yet
        QCOMPARE(run({"setup", "--working-folder", "work", "--user-iln", "4607000000024",
                      "--user-name", "ООО Поставщик"})
                     .exitCode,
                 0);
        QCOMPARE(run(QStringList{"respond", Sample, "-o", "out.xml"} + Parties).exitCode, 0);

        const Ran listed = run(QStringList{"journal"} + options);

        QTEST(listed.exitCode, "exitCode");
        const QList<QByteArray> rows = listed.out.split('\n');
        QCOMPARE(rows.size() - 1, lines);
        if (lines == 1)
            QCOMPARE(rows[0].split('\t').mid(1, 3),
                     (QList<QByteArray>{"saved", "ZK/2026/1187", "Пз_ZK/2026/1187"}));
    }

    void theCommandLineProgramLinksNoWindowLibraries()
    {
        const QByteArray libraries =
            Run{.program = "ldd", .arguments = {WEXA_BIN_DIR "/wexa-confirm"}}().out;
        QVERIFY2(libraries.contains("libQt6Core"), libraries.constData());
        QVERIFY2(!libraries.contains("libQt6Gui") && !libraries.contains("libQt6Widgets"),
                 libraries.constData());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
