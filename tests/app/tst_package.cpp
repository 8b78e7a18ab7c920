#include "Tools.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString AppId = QStringLiteral("ru.wexa.confirm");

struct Result {
    int code = -1;
    QString output;
};

Result run(const QString& program, const QStringList& arguments, int timeout = 300000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Result result;
    if (!process.waitForFinished(timeout)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.output = QString::fromUtf8(process.readAll());
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

} // namespace

// The Debian package as `cpack` builds it from this build: its contents, its metadata
// checked by the tools a distribution checks them with, and its programs run from the
// package's own files.
class TestPackage : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_deb;
    QString m_tree;

private slots:
    void initTestCase()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the package is made from the plain build, not the sanitizers' one");
#endif
        for (const char* tool : {"cpack", "dpkg-deb", "dpkg-shlibdeps", "lintian",
                                 "desktop-file-validate", "appstreamcli", "file"})
            WEXA_REQUIRE_TOOL(tool);
        const Result cpack =
            run("cpack", {"--config", WEXA_BIN_DIR "/../CPackConfig.cmake", "-B", m_dir.path()});
        QVERIFY2(cpack.code == 0, qPrintable(cpack.output));
        const QStringList debs = QDir(m_dir.path()).entryList({"*.deb"});
        QCOMPARE(debs, QStringList{"wexa-confirm_" WEXA_VERSION "_amd64.deb"});
        m_deb = m_dir.filePath(debs.first());
        m_tree = m_dir.filePath("tree");
        QCOMPARE(run("dpkg-deb", {"-x", m_deb, m_tree}).code, 0);
    }

    void thePackageHolds_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("kind");
        QTest::newRow("the editor") << "usr/bin/wexa-confirm"
                                    << "ELF 64-bit";
        QTest::newRow("the editor's window") << "usr/libexec/wexa-confirm/wexa-confirm-window"
                                             << "ELF 64-bit";
        QTest::newRow("the platform server") << "usr/bin/wexa-platform"
                                             << "ELF 64-bit";
        QTest::newRow("the desktop entry") << "usr/share/applications/" + AppId + ".desktop"
                                           << "text";
        QTest::newRow("the metainfo") << "usr/share/metainfo/" + AppId + ".metainfo.xml"
                                      << "XML";
        QTest::newRow("the scalable icon")
            << "usr/share/icons/hicolor/scalable/apps/" + AppId + ".svg"
            << "SVG";
        QTest::newRow("the icon in pixels")
            << "usr/share/icons/hicolor/256x256/apps/" + AppId + ".png"
            << "PNG image data, 256 x 256";
        QTest::newRow("the editor's man page") << "usr/share/man/man1/wexa-confirm.1.gz"
                                               << "gzip";
        QTest::newRow("the server's man page") << "usr/share/man/man1/wexa-platform.1.gz"
                                               << "gzip";
        QTest::newRow("the server's unit") << "lib/systemd/system/wexa-platform.service"
                                           << "text";
        QTest::newRow("the copyright") << "usr/share/doc/wexa-confirm/copyright"
                                       << "text";
    }
    void thePackageHolds()
    {
        QFETCH(QString, path);
        QFETCH(QString, kind);
        const Result file = run("file", {"-b", m_tree + '/' + path});
        QVERIFY2(file.output.contains(kind), qPrintable(path + ": " + file.output));
    }

    void theChecksPass_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("lintian finds no error") << "lintian" << QStringList{"--fail-on", "error"};
        QTest::newRow("the desktop entry is valid")
            << "desktop-file-validate"
            << QStringList{"usr/share/applications/" + AppId + ".desktop"};
        QTest::newRow("the metainfo is valid")
            << "appstreamcli"
            << QStringList{"validate", "--no-net", "usr/share/metainfo/" + AppId + ".metainfo.xml"};
        QTest::newRow("the man pages render without warnings")
            << "man"
            << QStringList{"--warnings", "-l", "usr/share/man/man1/wexa-confirm.1.gz",
                           "usr/share/man/man1/wexa-platform.1.gz"};
    }
    void theChecksPass()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        if (program == "lintian")
            arguments.append(m_deb);
        else
            for (QString& argument : arguments)
                if (argument.startsWith("usr/"))
                    argument = m_tree + '/' + argument;
        const Result result = run(program, arguments);
        QVERIFY2(result.code == 0, qPrintable(result.output));
        QVERIFY2(!result.output.contains("warning:") && !result.output.contains("\nE: ") &&
                     !result.output.startsWith("E: "),
                 qPrintable(result.output));
    }

    void theDesktopHandsItLinks()
    {
        QFile entry(m_tree + "/usr/share/applications/" + AppId + ".desktop");
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY(text.contains("\nMimeType=x-scheme-handler/wexa-confirm;\n"));
        QVERIFY(text.contains("\nExec=wexa-confirm %u\n"));
        QVERIFY(text.contains("\nName[ru]="));
        QVERIFY(text.contains("Categories=Office;"));
    }

    void theDependenciesAreTheLibrariesUsed()
    {
        const Result depends = run("dpkg-deb", {"-f", m_deb, "Depends"});
        for (const char* library : {"libqt6widgets6", "libqt6network6", "libxml2", "libc6"})
            QVERIFY2(depends.output.contains(library), qPrintable(depends.output));
    }

    void theProgramsRunFromThePackage_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("the editor lists its verbs")
            << "wexa-confirm" << QStringList{"--help"} << 0 << "wexa-confirm demo";
        QTest::newRow("the editor turns an order into a response")
            << "wexa-confirm" << QStringList{"respond",       WEXA_SOURCE_DIR "/samples/order.xml",
                                             "--partner-iln", "4607000000017",
                                             "--user-iln",    "4607000000024"}
            << 0 << "Document-OrderResponse";
        QTest::newRow("the server wants its root")
            << "wexa-platform" << QStringList{"--root", "/nonexistent"} << 1
            << "the root /nonexistent does not exist";
    }
    void theProgramsRunFromThePackage()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, says);
        const Result result = run(m_tree + "/usr/bin/" + program, arguments, 30000);
        QCOMPARE(result.code, code);
        QVERIFY2(result.output.contains(says), qPrintable(result.output));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
