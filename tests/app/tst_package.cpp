#include "Run.h"
#include "TestSupport.h"
#include "Tools.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString AppId = QStringLiteral("ru.wexa.confirm");

Ran run(const QString& program, const QStringList& arguments, int deadline = 300000)
{
    return Run{.program = program, .arguments = arguments, .deadline = deadline}();
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
        const Ran cpack =
            run("cpack", {"--config", WEXA_BIN_DIR "/../CPackConfig.cmake", "-B", m_dir.path()});
        QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.all()));
        const QStringList debs = QDir(m_dir.path()).entryList({"*.deb"});
        QCOMPARE(debs, QStringList{"wexa-confirm_" WEXA_VERSION "_amd64.deb"});
        m_deb = m_dir.filePath(debs.first());
        m_tree = m_dir.filePath("tree");
        QCOMPARE(run("dpkg-deb", {"-x", m_deb, m_tree}).exitCode, 0);
    }

    void thePackageHolds_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("kind");
        auto row = [](const char* name, const QString& path, const char* kind) {
            QTest::newRow(name) << path << kind;
        };
        const QString icons = "usr/share/icons/hicolor/", man = "usr/share/man/man1/";
        row("the editor", "usr/bin/wexa-confirm", "ELF 64-bit");
        row("the editor's window", "usr/libexec/wexa-confirm/wexa-confirm-window", "ELF 64-bit");
        row("the platform server", "usr/bin/wexa-platform", "ELF 64-bit");
        row("the desktop entry", "usr/share/applications/" + AppId + ".desktop", "text");
        row("the metainfo", "usr/share/metainfo/" + AppId + ".metainfo.xml", "XML");
        row("the scalable icon", icons + "scalable/apps/" + AppId + ".svg", "SVG");
        row("the icon in pixels", icons + "256x256/apps/" + AppId + ".png",
            "PNG image data, 256 x 256");
        row("the editor's man page", man + "wexa-confirm.1.gz", "gzip");
        row("the server's man page", man + "wexa-platform.1.gz", "gzip");
        row("the server's unit", "lib/systemd/system/wexa-platform.service", "text");
        row("the copyright", "usr/share/doc/wexa-confirm/copyright", "text");
    }
    void thePackageHolds()
    {
        QFETCH(QString, path);
        QFETCH(QString, kind);
        const Ran file = run("file", {"-b", m_tree + '/' + path});
        QVERIFY2(file.all().contains(kind), qPrintable(path + ": " + file.all()));
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
        const Ran result = run(program, arguments);
        QVERIFY2(result.exitCode == 0, qPrintable(result.all()));
        QVERIFY2(!result.all().contains("warning:") && !result.all().contains("\nE: ") &&
                     !result.all().startsWith("E: "),
                 qPrintable(result.all()));
    }

    void theDesktopHandsItLinks()
    {
        const QString text =
            QString::fromUtf8(readFile(m_tree + "/usr/share/applications/" + AppId + ".desktop"));
        QVERIFY(text.contains("\nMimeType=x-scheme-handler/wexa-confirm;\n"));
        QVERIFY(text.contains("\nExec=wexa-confirm %u\n"));
        QVERIFY(text.contains("\nName[ru]="));
        QVERIFY(text.contains("Categories=Office;"));
    }

    void theDependenciesAreTheLibrariesUsed()
    {
        const Ran depends = run("dpkg-deb", {"-f", m_deb, "Depends"});
        for (const char* library : {"libqt6widgets6", "libqt6network6", "libxml2", "libc6"})
            QVERIFY2(depends.all().contains(library), qPrintable(depends.all()));
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
            << "wexa-platform" << QStringList{"--root", "/nonexistent"} << 2 << "--root";
    }
    void theProgramsRunFromThePackage()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, says);
        const Ran result = run(m_tree + "/usr/bin/" + program, arguments, 30000);
        QCOMPARE(result.exitCode, code);
        QVERIFY2(result.all().contains(says), qPrintable(result.all()));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
