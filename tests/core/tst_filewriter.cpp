#include "core/rules/FileWriter.h"

#include <QFile>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestFileWriter)
#include "tst_filewriter.moc"
