#include "CoreForm.h"

#include "core/rules/FileWriter.h"
#include "core/rules/SafeNames.h"

#include <csignal>
#include <sys/resource.h>

class TestFileWriter : public QObject {
    Q_OBJECT

private slots:
    // What may name a file in a folder: anything a buyer's name or a number holds, but
    // nothing that leaves the folder, is cut short, turns the text around or is too long.
    void namesThatCannotNameAFile_data()
    {
        // `refusal`: the start of the reason, empty when taken
        columns<QString, QString>("name", "refusal");
        const QString control = QStringLiteral("содержит управляющий символ");
        QTest::newRow("a buyer's name in Cyrillic with quotes and a dot")
            << QStringLiteral("ТД «Северный» ООО.Potwierdzenie.log") << QString();
        QTest::newRow("an empty name") << QString() << "пусто";
        QTest::newRow("the folder itself") << "." << QString("состоит из одной точки");
        QTest::newRow("the folder above") << ".." << QString("содержит «..»");
        QTest::newRow("a slash") << "a/b" << QString("содержит разделитель папок «/»");
        QTest::newRow("a backslash") << "a\\b" << QString("содержит разделитель папок «\\»");
        QTest::newRow("a NUL") << QStringLiteral("a%1b").arg(QChar(0)) << control;
        QTest::newRow("a DEL") << QStringLiteral("a\x7f") << control;
        QTest::newRow("a C1 control") << QStringLiteral("a\u0085") << control;
        QTest::newRow("a line separator") << QStringLiteral("a\u2028") << control;
        QTest::newRow("a mark that turns the text around")
            << QStringLiteral("a\u202egol.exe") << control;
        QTest::newRow("an isolate that turns the text around")
            << QStringLiteral("a\u2066") << control;
        QTest::newRow("255 bytes") << QString(255, 'x') << QString();
        QTest::newRow("256 bytes") << QString(256, 'x') << "длиннее 255 знаков";
        QTest::newRow("128 Cyrillic letters are 256 bytes")
            << QString(128, QChar(0x416)) << "длиннее 255 байт";
    }
    void namesThatCannotNameAFile()
    {
        const auto [name, refusal] = fetch<QString, QString>("name", "refusal");
        const QString said = SafeNames::fileNameRefusal(name);
        QVERIFY2(refusal.isEmpty() ? said.isEmpty() : said.startsWith(refusal), qPrintable(said));
    }

    void valuesStayInsideTheirSegment_data()
    {
        // `segment`: null: no segment at all
        columns<QString, QString>("value", "segment");
        QTest::newRow("a plain folder name is itself") << "supplier" << QString("supplier");
        QTest::newRow("nothing is nothing") << "" << QString("");
        QTest::newRow("a slash and a query stay inside") << "a/b?c#d" << QString("a%2Fb%3Fc%23d");
        QTest::newRow("a percent sign is no escape") << "%2F" << QString("%252F");
        QTest::newRow("Cyrillic is encoded as UTF-8") << "Щ" << QString("%D0%A9");
        QTest::newRow("the folder above has no segment") << ".." << QString();
        QTest::newRow("the folder itself has no segment") << "." << QString();
    }
    void valuesStayInsideTheirSegment()
    {
        const auto [value, segment] = fetch<QString, QString>("value", "segment");
        QCOMPARE(SafeNames::pathSegment(value),
                 segment.isNull() ? std::nullopt : std::optional(segment));
    }

    // The new text goes to a file of its own that replaces the old one only when complete.
    void aFailedWriteLeavesThePreviousFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("response.xml");
        QVERIFY(FileWriter::write(path, "earlier"));
        // A limit on the file size stops the next write after 4 KiB, as a full disk would.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit kept{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &kept), 0);
        const rlimit small{4096, kept.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString error;
        const bool written = FileWriter::write(path, QByteArray(64 * 1024, 'x'), &error);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &kept), 0);

        QVERIFY(!written && !error.isEmpty());
        QCOMPARE(readFile(path), "earlier");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"response.xml"});
    }
};

QTEST_GUILESS_MAIN(TestFileWriter)
#include "tst_filewriter.moc"
