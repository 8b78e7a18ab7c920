#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

bool listening(int port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    return socket.waitForConnected(1000);
}

} // namespace

class TestDemo : public QObject {
    Q_OBJECT

private slots:
    // The demo's platform server goes with the demo, however the demo ends.
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
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        demo.setProcessEnvironment(environment);
        demo.start(WEXA_BIN_DIR "/wexa-confirm", {"demo", "--keep", dir.path()});
        QString platform;
        while (!platform.startsWith("Platform: ") && demo.waitForReadyRead(10000))
            platform = QString::fromUtf8(demo.readLine()).trimmed();
        const int port = platform.section(':', -1).section('/', 0, 0).toInt();
        QVERIFY2(port > 0, qPrintable(platform));
        QVERIFY(listening(port));

        ::kill(pid_t(demo.processId()), signal);
        QVERIFY(demo.waitForFinished(5000));

        QTRY_VERIFY_WITH_TIMEOUT(!listening(port), 5000);
    }
};

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"
