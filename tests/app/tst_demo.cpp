#include "AppTest.h"

#include <QImage>
#include <QTcpSocket>

#include <csignal>

class TestDemo : public QObject {
    Q_OBJECT

private slots:
    void theServerEndsWithTheDemo_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("the demo killed") << int(SIGKILL);
        QTest::newRow("the demo terminated") << int(SIGTERM);
    }
    void theServerEndsWithTheDemo()
    {
        QFETCH(int, signal);
        QTemporaryDir dir;
        QProcess demo;
        demo.setProcessEnvironment(Run{}.set("QT_QPA_PLATFORM", "offscreen").environment);
        demo.start(WEXA_BIN_DIR "/wexa-confirm", {"demo", "--keep", dir.path()});
        QString platform;
        while (!platform.startsWith("Platform: ") && demo.waitForReadyRead(10000))
            platform = QString::fromUtf8(demo.readLine()).trimmed();
        const int port = platform.section(':', -1).section('/', 0, 0).toInt();
        const auto listening = [port] {
            QTcpSocket socket;
            socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
            return socket.waitForConnected(1000);
        };
        QVERIFY2(port > 0 && listening(), qPrintable(platform));

        ::kill(pid_t(demo.processId()), signal);
        QVERIFY(demo.waitForFinished(5000));

        QTRY_VERIFY_WITH_TIMEOUT(!listening(), 5000);
    }

    // Without a display the demo fetches, confirms in full and sends an order by itself,
    // tells the answer and the file received, and shows nothing of the order.
    void theDemoConfirmsAnOrderWithoutADisplay()
    {
        QTemporaryDir dir;
        const Ran demo =
            Run{.arguments = {"demo", "--keep", dir.path()}, .deadline = 120000}.withoutDisplay()();
        const QString output = QString::fromUtf8(demo.out);
        QCOMPARE(demo.exitCode, 0);

        QVERIFY2(output.contains("Sent confirmation Пз_ZK/2026/1187: the platform answered OK"),
                 qPrintable(demo.all()));
        const QFileInfoList files =
            QDir(dir.filePath("platform/mailbox/supplier/received")).entryInfoList(QDir::Files);
        QCOMPARE(files.size(), 1);
        const QFileInfo& file = files.first();
        QVERIFY(output.contains(QStringLiteral("Received by the platform: %1 (%2 bytes)")
                                    .arg(file.absoluteFilePath())
                                    .arg(file.size())));
        QVERIFY(!QImage(dir.filePath("screenshot.png")).isNull());
        // Every line confirmed in full: the response's quantities are the ordered ones.
        QVERIFY(readFile(file.absoluteFilePath()).contains("<ResponseType>29</ResponseType>"));
        for (const char* content : {"Молоко", "Кефир", "<Document"})
            QVERIFY2(!demo.all().contains(QString::fromUtf8(content)), content);
    }
};

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
