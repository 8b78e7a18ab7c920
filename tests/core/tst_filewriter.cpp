#include "core/rules/FileWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

class TestFileWriter : public QObject {
    Q_OBJECT

private slots:
    // The device takes the bytes into its buffer; only the flush finds the disk full.
    void aFullDiskIsSaidPlainly_data()
    {
        QTest::addColumn<bool>("byPath");
        QTest::newRow("a device named by its path") << true;
        QTest::newRow("a device already open, as standard output is") << false;
    }
    void aFullDiskIsSaidPlainly()
    {
        QFETCH(bool, byPath);
        QString error;
        QFile device("/dev/full");

        const bool written = byPath ? FileWriter::write(device.fileName(), "response", &error)
                                    : device.open(QIODevice::WriteOnly) &&
                                          FileWriter::write(device, "response", &error);

        QVERIFY(!written);
        QCOMPARE(error, FileWriter::DiskFull);
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
        rlimit small = kept;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString error;
        const bool written = FileWriter::write(path, QByteArray(64 * 1024, 'x'), &error);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &kept), 0);

        QVERIFY(!written);
        QVERIFY(!error.isEmpty());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "earlier");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"response.xml"});
    }
};

QTEST_GUILESS_MAIN(TestFileWriter)
#include "tst_filewriter.moc"
