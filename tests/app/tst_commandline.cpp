#include "AppTest.h"
#include "CoreTable.h"

#include "app/demo/SampleOrders.h"
#include "core/form/BuildVersion.h"
#include "core/rules/FileWriter.h"

#include <QJsonArray>
#include <QXmlStreamReader>

namespace {

const QString Sample = QStringLiteral(WEXA_SOURCE_DIR "/samples/order.xml");

const QStringList Parties{"--partner-iln", "4607000000017", "--user-iln", "4607000000024"};

// The quantities a response confirms, line by line.
QStringList confirmed(const QByteArray& xml)
{
    QStringList texts;
    for (QXmlStreamReader reader(xml); !reader.atEnd();)
        if (reader.readNext() == QXmlStreamReader::StartElement &&
            reader.name() == u"QuantityToBeDelivered")
            texts.append(reader.readElementText(QXmlStreamReader::IncludeChildElements));
    return texts;
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    static auto status(const Ran& ran) { return std::pair(ran.exitCode, ran.errLines()); }

    // `output` takes the standard output. Without a screen, as on a server, and with a user
    // of the test's own: no working folder unless set up here.
    Ran run(const QStringList& arguments, const QString& output = {}) const
    {
        return Run{.arguments = arguments, .folder = m_dir->path(), .outputFile = output}
            .withoutDisplay()
            .set("LC_ALL", "C.UTF-8")
            .set("HOME", m_dir->path())
            .set("XDG_CONFIG_HOME", at("config"))();
    }

    QString at(const QString& name) const { return m_dir->filePath(name); }

private slots:
    void init() { QVERIFY((m_dir = std::make_unique<QTemporaryDir>())->isValid()); }

    void aQuantityAboveTheOrderedOneIsRefused()
    {
        const QStringList options =
            QStringList{"--type", "change", "--quantity", "1=121", "--locale", "ru_RU"} + Parties;
        const QStringList aboveOrdered{
            "WEXA: Не возможно подтвердить большее, чем указано в заказе  количество товара"};

        const Ran response = run(QStringList{"respond", Sample} + options);
        const Ran shown = run(QStringList{"show", Sample} + options);

        // respond still builds the response with the line kept; show reports it by its code.
        QCOMPARE(status(response), std::pair(0, aboveOrdered));
        QCOMPARE(confirmed(response.out), (QStringList{"120.000", "48.000", "12.500"}));
        QCOMPARE(status(shown), std::pair(1, aboveOrdered));
        QCOMPARE(shown.json()["summary"].toArray()[1].toString(), "180,500");
    }

    // Columns named on the command line; what did not match is reported.
    void respondFillsFromAWarehouseList()
    {
        writeFile(at("stock.csv"), "x,4601234567893,7\nx,4609999999999,1\n");
        const Ran result =
            run(QStringList{"respond", Sample, "--type", "change", "--locale", "ru_RU",
                            "--quantities", "stock.csv", "--columns", "2,3"} +
                Parties);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(confirmed(result.out), (QStringList{"7.000", "48.000", "12.500"}));
        QCOMPARE(
            result.errLines(),
            (QStringList{"Заполнено строк: 1", "Строки файла, которых нет в заказе (1):",
                         "  строка 2: 4609999999999", "Строки заказа, которых нет в файле (2):",
                         "  № 2, EAN 4601234567909, Кефир 2,5% 0,5 л",
                         "  № 3, EAN 4601234567916, Творог 9% весовой"}));
    }

    // A response is the same in every locale, and comes back as it was written.
    void savedResponseComesBackAsItWasWritten()
    {
        const QStringList change = QStringList{"--type", "change"} + Parties;
        const QStringList ru = change + QStringList{"--locale", "ru_RU", "--quantity", "3=7,5"};
        const QString out = at("response.xml");

        const Ran written = run(QStringList{"respond", Sample, "-o", out} + ru);
        const Ran en = run(
            QStringList{"respond", Sample, "--locale", "en_US", "--quantity", "3=7.5"} + change);
        QCOMPARE(std::tuple(written.exitCode, written.out, en.exitCode),
                 std::tuple(0, QByteArray(), 0));
        const QByteArray saved = readFile(out);
        QVERIFY(saved.startsWith("<?xml"));
        QCOMPARE(en.out, saved);
        QCOMPARE(confirmed(saved).value(2), "7.500");

        const QJsonObject original = run(QStringList{"show", Sample} + ru).json();
        const Ran loaded = run(QStringList{"show", out, "--locale", "ru_RU"} + Parties);
        const Ran again = run(QStringList{"respond", out} + Parties);

        QCOMPARE(std::pair(loaded.exitCode, loaded.err), std::pair(0, QByteArray()));
        const QJsonObject after = loaded.json();
        for (const char* key : {"txtNrPotw", "lblNrZamWart", "txtDataDost", "cboxTyp"})
            QCOMPARE(after["header"][key].toVariant(), original["header"][key].toVariant());
        QCOMPARE(after["summary"].toVariant(), original["summary"].toVariant());
        QCOMPARE(std::pair(again.exitCode, again.out), std::pair(0, saved));
    }

    void refusedFileWritesNothing()
    {
        writeFile(at("in.xml"), "это не XML");
        writeFile(at("out.xml"), "the earlier response\n");

        const Ran toFile = run(QStringList{"respond", "in.xml", "-o", "out.xml"} + Parties);
        const Ran toStdout = run(QStringList{"respond", "in.xml"} + Parties);
        const Ran shown = run(QStringList{"show", "in.xml"} + Parties);

        QCOMPARE(status(toFile), std::pair(1, QStringList{"WEXA: Неправильный формат файла XML."}));
        QCOMPARE(readFile(at("out.xml")), QByteArray("the earlier response\n"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), (QStringList{"in.xml", "out.xml"}));
        QCOMPARE(std::pair(toStdout.exitCode, toStdout.out), std::pair(1, QByteArray()));
        // show still prints the form as the error left it.
        QCOMPARE(std::pair(shown.exitCode, shown.json().contains("header")), std::pair(1, true));
    }

    // A wrong call exits with 2, says why on standard error and writes nothing; --help and
    // --version answer on standard output wherever an option may stand, the version alone.
    void callsAreAnswered_data()
    {
        columns<QStringList, int, QByteArray>("arguments", "exitCode", "says");
        const auto row = [](const char* name, const QStringList& arguments, const QByteArray& says,
                            int exitCode = 2) {
            QTest::newRow(name) << arguments << exitCode << says;
        };
        // A usage error of the program or of one of its verbs, with the way to its help.
        const auto usage = [](const QByteArray& verb, const QByteArray& error) {
            const QByteArray who = verb.isEmpty() ? "wexa-confirm" : "wexa-confirm " + verb;
            return who + ": " + error + "\nTry '" + who + " --help'.\n";
        };
        const QByteArray version = "wexa-confirm " + BuildVersion::text().toUtf8() + "\n";
        row("nothing at all, without a screen", {}, "Usage:");
        row("no FILE", {"respond", "--type", "accept"}, usage("respond", "FILE is missing"));
        row("a type that is none of the three", {"respond", Sample, "--type", "partial"},
            usage("respond", "--type is accept, change or refuse"));
        row("a quantity without an equals sign", {"respond", Sample, "--quantity", "5"},
            usage("respond", "--quantity takes ROW=TEXT"));
        row("respond to a file that does not exist", {"respond", "missing.xml"},
            "wexa-confirm: cannot read missing.xml: No such file or directory\n");
        row("a warehouse list without recognisable columns",
            {"respond", Sample, "--type", "change", "--quantities", "stock.csv"},
            "wexa-confirm: stock.csv names no EAN or item code column and no quantity column; "
            "give them with --columns\n");
        row("an unknown verb", {"bogus"}, usage({}, "unknown verb 'bogus'"));
        row("the window's unknown option", {"--bogus", "1"}, usage({}, "unknown option '--bogus'"));
        row("an unknown option of respond", {"respond", Sample, "--bogus"},
            usage("respond", "unknown option '--bogus'"));
        for (const QByteArray verb : {"setup", "journal", "demo"})
            row("an unknown option of " + verb, {verb, "--bogus"},
                usage(verb, "unknown option '--bogus'"));
        row("many orders without -o", {"respond", Sample, Sample},
            usage("respond", "more than one FILE needs -o DIR"));
        row("many orders with -o naming a file", {"respond", Sample, Sample, "-o", "out.xml"},
            "wexa-confirm: out.xml is not a folder\n");
        row("the program's usage", {"--help"}, "  wexa-confirm demo", 0);
        row("the program's version", {"--version"}, version, 0);
        row("the window's usage after its options", {"--online", "Off", "--help"},
            "  wexa-confirm setup", 0);
        row("respond's usage", {"respond", "--help"}, "--quantity ROW=TEXT", 0);
        row("show's version", {"show", Sample, "--version"}, version, 0);
        row("setup's usage", {"setup", "--help"}, "--working-folder DIR", 0);
        row("journal's version", {"journal", "--version"}, version, 0);
        row("demo's usage", {"demo", "--help"}, "--keep DIR", 0);
    }
    void callsAreAnswered()
    {
        const auto [arguments, exitCode, says] =
            fetch<QStringList, int, QByteArray>("arguments", "exitCode", "says");
        writeFile(at("out.xml"), "kept\n");
        writeFile(at("stock.csv"), "a;b\n1;2\n");

        const Ran result =
            run(arguments + (exitCode == 0 || arguments.isEmpty() ? QStringList{} : Parties));

        const auto [said, silent] =
            exitCode == 0 ? std::pair(result.out, result.err) : std::pair(result.err, result.out);
        QCOMPARE(std::pair(result.exitCode, silent), std::pair(exitCode, QByteArray()));
        QVERIFY2(exitCode == 0 && says.startsWith("wexa-confirm") ? said == says
                                                                  : said.contains(says),
                 said.constData());
        QCOMPARE(readFile(at("out.xml")), QByteArray("kept\n"));
    }

    // Past 1,723 lines the cell index overflows and the control's handlers report it; an output
    // that cannot be written fails the run.
    void runsThatCannotFinishExitWithOne_data()
    {
        columns<QStringList, QString, QStringList>("arguments", "output", "errLines");
        const QStringList overflow{"Произошла ошибка в Wczytaj_Zamowienie(): Переполнение",
                                   "Произошла ошибка в UserControl_Show(): Переполнение"};
        const QString full = "wexa-confirm: cannot write %1: " + FileWriter::DiskFull;
        const QStringList device{full.arg("/dev/full")}, standard{full.arg("standard output")};
        QTest::newRow("respond to an order of 1,725 lines")
            << QStringList{"respond", "1725.xml"} << QString() << overflow;
        QTest::newRow("show an order of 2,000 lines")
            << QStringList{"show", "2000.xml"} << QString() << overflow;
        QTest::newRow("a response written to a full device")
            << QStringList{"respond", Sample, "-o", "/dev/full"} << QString() << device;
        QTest::newRow("a response on a full standard output")
            << QStringList{"respond", Sample} << QString("/dev/full") << standard;
        QTest::newRow("the state on a full standard output")
            << QStringList{"show", Sample} << QString("/dev/full") << standard;
    }
    void runsThatCannotFinishExitWithOne()
    {
        const auto [arguments, output, errLines] =
            fetch<QStringList, QString, QStringList>("arguments", "output", "errLines");
        writeFile(at("1725.xml"), SampleOrders::generate(1725, "ZK/1", 1));
        writeFile(at("2000.xml"), SampleOrders::generate(2000, "ZK/1", 1));

        const Ran result = run(arguments + Parties, output);

        QCOMPARE(status(result), std::pair(1, errLines));
        if (arguments == QStringList{"show", "2000.xml"}) {
            QCOMPARE(result.json()["LineCount"].toInt(), 2000);
            QVERIFY(result.json()["lines"].toArray().size() <= 1723);
        }
    }

    // Each of many orders is answered as alone; the worst status is returned.
    void manyOrdersAreAnsweredInOneRun_data()
    {
        columns<QStringList, int, QStringList, QStringList>("files", "code", "answered", "errors");
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
        const auto [files, code, answered, errors] =
            fetch<QStringList, int, QStringList, QStringList>("files", "code", "answered",
                                                              "errors");
        QVERIFY(QDir(m_dir->path()).mkdir("out"));
        writeFile(at("a.xml"), readFile(Sample));
        writeFile(at("b.xml"), "это не XML");
        writeFile(at("c.xml"), SampleOrders::generate(5, "ZK/5", 5));
        writeFile(at("d.xml"), SampleOrders::generate(1, "ZK/1", 1));
        if (files.contains("out/a.xml"))
            writeFile(at("out/a.xml"), readFile(Sample));

        const Ran result = run(QStringList{"respond"} + files + QStringList{"-o", "out"} + Parties);

        QCOMPARE(std::tuple(result.exitCode, result.errLines(), result.out),
                 std::tuple(code, errors, QByteArray()));
        if (files.contains("out/a.xml"))
            return;
        QCOMPARE(QDir(at("out")).entryList(QDir::Files), answered);
        for (const QString& name : answered)
            QCOMPARE(readFile(at("out/" + name)), run(QStringList{"respond", name} + Parties).out);
    }

    void respondIsJournaledWhereAFolderIsSetUp_data()
    {
        columns<QStringList, int, int>("options", "exitCode", "lines");
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
        const auto [options, lines] = fetch<QStringList, int>("options", "lines");
        QCOMPARE(run({"journal"}).exitCode, 1); // no working folder yet
        const QStringList setup{"setup",         "--working-folder", "work",         "--user-iln",
                                "4607000000024", "--user-name",      "ООО Поставщик"};
        QCOMPARE(run(setup).exitCode, 0);
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
        QVERIFY2(libraries.contains("libQt6Core") && !libraries.contains("libQt6Gui") &&
                     !libraries.contains("libQt6Widgets"),
                 libraries.constData());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
