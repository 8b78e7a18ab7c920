#include "TestSupport.h"
#include "Tools.h"

#include "core/form/BuildVersion.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString AppId = QStringLiteral("ru.wexa.confirm");
const QString Unit = QStringLiteral("lib/systemd/system/wexa-platform.service");
const QString Version = BuildVersion::text();

struct Result {
    int code = -1;
    QString output;
};

Result run(const QString& program, const QStringList& arguments, int timeout = 300000,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(environment);
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

// What git says of the commit being built; empty outside a clone.
QString git(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TZ", "UTC");
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(WEXA_SOURCE_DIR);
    process.start("git", arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

// The Debian packages as `cpack` builds them from this build: their contents, their
// metadata checked by the tools a distribution checks them with, their programs run from
// the packages' own files, and the server's unit and maintainer scripts.
class TestPackage : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    // Each package's files, below a folder named after it.
    QString m_tree;

    QString deb(const QString& package) const
    {
        return m_dir.filePath("first/" + package + "_" + Version + "_amd64.deb");
    }
    QString file(const QString& package, const QString& path) const
    {
        return m_tree + '/' + package + '/' + path;
    }

private slots:
    void initTestCase()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the package is made from the plain build, not the sanitizers' one");
#endif
        for (const char* tool :
             {"cpack", "dpkg-deb", "dpkg-shlibdeps", "lintian", "desktop-file-validate",
              "appstreamcli", "file", "readelf", "systemd-analyze"})
            WEXA_REQUIRE_TOOL(tool);
        // The second time only the server's packages, which are the smaller, in another
        // folder: what is compared is how the packing dates, orders and names what it packs.
        for (const QString folder : {"first", "second"}) {
            const QStringList only = folder == "second"
                                         ? QStringList{"-D", "CPACK_COMPONENTS_ALL=server"}
                                         : QStringList{};
            const Result cpack = run("cpack",
                                     QStringList{"--config", WEXA_BIN_DIR "/../CPackConfig.cmake",
                                                 "-B", m_dir.filePath("packing-" + folder)} +
                                         only,
                                     1200000);
            QVERIFY2(cpack.code == 0, qPrintable(cpack.output));
            QVERIFY(QDir().mkpath(m_dir.filePath(folder)));
            for (const QString& name :
                 QDir(m_dir.filePath("packing-" + folder)).entryList({"*deb"}, QDir::Files))
                QVERIFY(QFile::rename(m_dir.filePath("packing-" + folder + '/' + name),
                                      m_dir.filePath(folder + '/' + name)));
        }
        const QStringList made =
            QDir(m_dir.filePath("first")).entryList({"*.deb", "*.ddeb"}, QDir::Files);
        QCOMPARE(made, (QStringList{"wexa-confirm-dbgsym_" + Version + "_amd64.ddeb",
                                    "wexa-confirm_" + Version + "_amd64.deb",
                                    "wexa-platform-dbgsym_" + Version + "_amd64.ddeb",
                                    "wexa-platform_" + Version + "_amd64.deb"}));
        m_tree = m_dir.filePath("tree");
        QVERIFY(QDir().mkpath(m_tree + "/control"));
        for (const QString& name : made) {
            const QString package = name.section('_', 0, 0);
            QCOMPARE(
                run("dpkg-deb", {"-x", m_dir.filePath("first/" + name), m_tree + '/' + package})
                    .code,
                0);
            QCOMPARE(run("dpkg-deb",
                         {"-e", m_dir.filePath("first/" + name), m_tree + "/control/" + package})
                         .code,
                     0);
        }
    }

    void thePackagesHold_data()
    {
        QTest::addColumn<QString>("package");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("kind");
        auto row = [](const char* name, const QString& package, const QString& path,
                      const char* kind) { QTest::newRow(name) << package << path << kind; };
        const QString editor = "wexa-confirm", server = "wexa-platform";
        const QString icons = "usr/share/icons/hicolor/", man = "usr/share/man/";
        row("the editor", editor, "usr/bin/wexa-confirm", "ELF 64-bit");
        row("the editor's window", editor, "usr/libexec/wexa-confirm/wexa-confirm-window",
            "ELF 64-bit");
        row("the desktop entry", editor, "usr/share/applications/" + AppId + ".desktop", "text");
        row("the metainfo", editor, "usr/share/metainfo/" + AppId + ".metainfo.xml", "XML");
        row("the scalable icon", editor, icons + "scalable/apps/" + AppId + ".svg", "SVG");
        row("the icon in pixels", editor, icons + "256x256/apps/" + AppId + ".png",
            "PNG image data, 256 x 256");
        row("the editor's man page", editor, man + "man1/wexa-confirm.1.gz", "gzip");
        row("the editor's man page in Russian", editor, man + "ru/man1/wexa-confirm.1.gz", "gzip");
        row("the editor's copyright", editor, "usr/share/doc/wexa-confirm/copyright", "text");
        row("the platform server", server, "usr/bin/wexa-platform", "ELF 64-bit");
        row("the server's man page", server, man + "man1/wexa-platform.1.gz", "gzip");
        row("the server's unit", server, Unit, "text");
        row("the server's changelog", server, "usr/share/doc/wexa-platform/changelog.gz", "gzip");
    }
    void thePackagesHold()
    {
        QFETCH(QString, package);
        QFETCH(QString, path);
        QFETCH(QString, kind);
        const Result found = run("file", {"-b", file(package, path)});
        QVERIFY2(found.output.contains(kind), qPrintable(path + ": " + found.output));
        const QString other = package == "wexa-confirm" ? "wexa-platform" : "wexa-confirm";
        QVERIFY2(!QFile::exists(file(other, path)), qPrintable(other + " holds " + path));
    }

    void theChecksPass_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("lintian finds nothing, pedantic tags included")
            << "lintian"
            << QStringList{"--pedantic", "--fail-on", "error,warning,info,pedantic",
                           deb("wexa-confirm"), deb("wexa-platform")};
        QTest::newRow("the desktop entry is valid")
            << "desktop-file-validate"
            << QStringList{"wexa-confirm/usr/share/applications/" + AppId + ".desktop"};
        QTest::newRow("the metainfo is valid")
            << "appstreamcli"
            << QStringList{"validate", "--no-net",
                           "wexa-confirm/usr/share/metainfo/" + AppId + ".metainfo.xml"};
        QTest::newRow("the man pages render without warnings")
            << "man"
            << QStringList{"--warnings", "-l", "wexa-confirm/usr/share/man/man1/wexa-confirm.1.gz",
                           "wexa-confirm/usr/share/man/ru/man1/wexa-confirm.1.gz",
                           "wexa-platform/usr/share/man/man1/wexa-platform.1.gz"};
        QTest::newRow("the unit is exposed no more than 2.5")
            << "systemd-analyze"
            << QStringList{"security", "--offline=true", "--threshold=25", "wexa-platform/" + Unit};
    }
    void theChecksPass()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        for (QString& argument : arguments)
            if (argument.startsWith("wexa-"))
                argument = m_tree + '/' + argument;
        const Result result = run(program, arguments);
        QVERIFY2(result.code == 0, qPrintable(result.output));
        QVERIFY2(!result.output.contains("warning:") && !result.output.contains("\nE: ") &&
                     !result.output.startsWith("E: "),
                 qPrintable(result.output));
    }

    void theDesktopHandsItLinks()
    {
        const QString text = QString::fromUtf8(
            readFile(file("wexa-confirm", "usr/share/applications/" + AppId + ".desktop")));
        QVERIFY(text.contains("\nMimeType=x-scheme-handler/wexa-confirm;\n"));
        QVERIFY(text.contains("\nExec=wexa-confirm %u\n"));
        QVERIFY(text.contains("\nName[ru]="));
        QVERIFY(text.contains("Categories=Office;"));
        // The window's class, which docks match against the entry.
        QVERIFY(text.contains("\nStartupWMClass=wexa-confirm\n"));
    }

    void theRelationsAreTheLibrariesUsed_data()
    {
        QTest::addColumn<QString>("package");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("named");
        QTest::addColumn<QStringList>("unnamed");
        QTest::newRow("the editor needs the window's libraries")
            << "wexa-confirm"
            << "Depends" << QStringList{"libqt6widgets6", "libqt6network6", "libxml2", "libc6"}
            << QStringList{"init-system-helpers"};
        QTest::newRow("the editor would speak the clerk's language on its buttons")
            << "wexa-confirm"
            << "Recommends" << QStringList{"qt6-translations-l10n"} << QStringList{};
        QTest::newRow("the server needs no window and its scripts' helpers")
            << "wexa-platform"
            << "Depends" << QStringList{"libxml2", "libssl3", "init-system-helpers"}
            << QStringList{"libqt6widgets6", "libqt6gui6"};
    }
    void theRelationsAreTheLibrariesUsed()
    {
        QFETCH(QString, package);
        QFETCH(QString, field);
        QFETCH(QStringList, named);
        QFETCH(QStringList, unnamed);
        const Result value = run("dpkg-deb", {"-f", deb(package), field});
        for (const QString& name : named)
            QVERIFY2(value.output.contains(name), qPrintable(value.output));
        for (const QString& name : unnamed)
            QVERIFY2(!value.output.contains(name), qPrintable(value.output));
    }

    // A later commit gives a later version, so that installing its packages upgrades; the
    // changelog and the metainfo are dated from the commit.
    void theVersionIsTheRepositorys()
    {
        const QString commits = git({"rev-list", "--count", "HEAD"});
        if (commits.isEmpty())
            QSKIP("the sources are not a clone");
        QCOMPARE(Version, "1.1." + commits);
        for (const QString package : {"wexa-confirm", "wexa-platform"})
            QCOMPARE(run("dpkg-deb", {"-f", deb(package), "Version"}).output.trimmed(), Version);
        const QString day = git({"log", "-1", "--date=format-local:%Y-%m-%d", "--format=%cd"});
        const QString stamp =
            git({"log", "-1", "--date=format-local:%a, %d %b %Y %H:%M:%S +0000", "--format=%cd"});
        const Result changelog =
            run("zcat", {file("wexa-platform", "usr/share/doc/wexa-platform/changelog.gz")});
        QVERIFY2(changelog.output.startsWith("wexa-platform (" + Version + ") ") &&
                     changelog.output.contains(">  " + stamp + "\n"),
                 qPrintable(changelog.output));
        QVERIFY(readFile(file("wexa-confirm", "usr/share/metainfo/" + AppId + ".metainfo.xml"))
                    .contains("<release version=\"" + Version.toUtf8() + "\" date=\"" +
                              day.toUtf8() + "\"/>"));
    }

    // Built as Debian builds: hardened, the debug information in the -dbgsym packages, no
    // path of the machine that built it, and the same bytes when packed again.
    void theProgramsAreBuiltAsDebianBuildsThem_data()
    {
        QTest::addColumn<QString>("program");
        // Whether it calls a function that fortifying replaces; the editor leaves that to Qt.
        QTest::addColumn<bool>("fortified");
        QTest::newRow("the editor") << "wexa-confirm/usr/bin/wexa-confirm" << false;
        QTest::newRow("the editor's window")
            << "wexa-confirm/usr/libexec/wexa-confirm/wexa-confirm-window" << false;
        QTest::newRow("the server") << "wexa-platform/usr/bin/wexa-platform" << true;
    }
    void theProgramsAreBuiltAsDebianBuildsThem()
    {
        QFETCH(QString, program);
        QFETCH(bool, fortified);
        const QString path = m_tree + '/' + program;
        const Result dynamic = run("readelf", {"--dynamic", "--dyn-syms", "-W", path});
        QVERIFY2(dynamic.output.contains("BIND_NOW") || dynamic.output.contains("Flags: NOW"),
                 "not bound at once");
        QVERIFY2(dynamic.output.contains("__stack_chk_fail"), "no stack protector");
        QVERIFY2(!fortified || dynamic.output.contains(QRegularExpression("__\\w+_chk@")),
                 "nothing fortified");
        QVERIFY(run("file", {"-b", path}).output.contains(", stripped"));
        const QString id = QRegularExpression("Build ID: ([0-9a-f]+)")
                               .match(run("readelf", {"-n", path}).output)
                               .captured(1);
        const QString symbols = m_tree + '/' + program.section('/', 0, 0) +
                                "-dbgsym/usr/lib/debug/.build-id/" + id.left(2) + '/' + id.mid(2) +
                                ".debug";
        QVERIFY2(run("file", {"-b", symbols}).output.contains("with debug_info"),
                 qPrintable(symbols));
        const QString producer = run("readelf", {"--debug-dump=info", symbols}).output;
        for (const char* flag : {"-fstack-protector-strong", "-O2"})
            QVERIFY2(producer.contains(flag), flag);
        QVERIFY(!readFile(symbols).contains(WEXA_SOURCE_DIR));
        QVERIFY(!readFile(path).contains(WEXA_BIN_DIR));
    }
    void packingAgainGivesTheSameBytes()
    {
        const QStringList again = QDir(m_dir.filePath("second")).entryList({"*deb"}, QDir::Files);
        QCOMPARE(again.size(), 2);
        for (const QString& name : again)
            QVERIFY2(readFile(m_dir.filePath("first/" + name)) ==
                         readFile(m_dir.filePath("second/" + name)),
                     qPrintable(name));
        // dpkg checks the files a package installs by the names its md5sums give.
        for (const char* package : {"wexa-confirm-dbgsym", "wexa-platform-dbgsym"}) {
            const QByteArray sums = readFile(m_tree + "/control/" + package + "/md5sums");
            QVERIFY2(!sums.isEmpty(), package);
            for (const QByteArray& line : sums.trimmed().split('\n'))
                QVERIFY2(line.mid(32, 17) == "  usr/lib/debug/.", line);
        }
    }

    // The unit keeps the server from everything but its root and the network; where
    // systemd runs, the server runs in that sandbox.
    void theServerIsSandboxed()
    {
        const QString unit = QString::fromUtf8(readFile(file("wexa-platform", Unit)));
        for (const char* directive :
             {"DynamicUser=yes", "StateDirectory=wexa-platform", "UMask=0077",
              "CapabilityBoundingSet=\n", "NoNewPrivileges=yes", "ProtectSystem=strict",
              "MemoryDenyWriteExecute=yes", "SystemCallFilter=@system-service",
              "RestrictNamespaces=yes", "PrivateUsers=yes", "ProtectProc=invisible"})
            QVERIFY2(unit.contains("\n" + QString::fromLatin1(directive)), directive);
        QVERIFY(unit.contains(
            "\nExecStart=/usr/bin/wexa-platform --root /var/lib/wexa-platform --listen "
            "127.0.0.1:8080\n"));
        if (!QFileInfo("/run/systemd/system").isDir() || !QFileInfo::exists("/usr/bin/systemd-run"))
            QSKIP("systemd does not run here: the unit's directives are checked above");
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QStringList properties;
        for (const QString& line :
             unit.section("[Service]", 1).section("[Install]", 0, 0).split('\n'))
            if (line.contains('=') && !line.startsWith('#') && !line.startsWith("ExecStart") &&
                !line.startsWith("Restart") && !line.startsWith("StateDirectory"))
                properties << "-p" << line;
        const Result served = run(
            "systemd-run",
            QStringList{"--wait", "--collect", "--quiet", "-p", "ReadWritePaths=" + root.path()} +
                properties +
                QStringList{file("wexa-platform", "usr/bin/wexa-platform"), "--root", root.path(),
                            "--version"},
            60000);
        QCOMPARE(served.code, 0);
    }

    // What Debian's systemd helpers would do: enable the unit on the first install, keep
    // the administrator's choice on an upgrade, mask it on removal.
    void theMaintainerScriptsCallTheHelpers_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("wasEnabled");
        QTest::addColumn<QStringList>("calls");
        const QString helper = "deb-systemd-helper ";
        const QString unit = " wexa-platform.service";
        QTest::newRow("a first install enables the unit")
            << "postinst" << QStringList{"configure"} << "0"
            << QStringList{helper + "unmask" + unit, helper + "--quiet was-enabled" + unit,
                           helper + "enable" + unit};
        QTest::newRow("an upgrade of a disabled unit leaves it disabled")
            << "postinst" << QStringList{"configure", "1.1.1"} << "1"
            << QStringList{helper + "unmask" + unit, helper + "--quiet was-enabled" + unit,
                           helper + "update-state" + unit};
        QTest::newRow("a removal masks the unit")
            << "postrm" << QStringList{"remove"} << "0" << QStringList{helper + "mask" + unit};
        QTest::newRow("an upgrade's removal of the old package leaves it")
            << "postrm" << QStringList{"upgrade", Version} << "0" << QStringList{};
    }
    void theMaintainerScriptsCallTheHelpers()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, arguments);
        QFETCH(QString, wasEnabled);
        QFETCH(QStringList, calls);
        if (QFileInfo("/run/systemd/system").isDir())
            QSKIP("systemd runs here: the scripts would talk to it");
        QTemporaryDir helpers;
        const QString log = helpers.filePath("calls");
        for (const char* name : {"deb-systemd-helper", "deb-systemd-invoke", "systemctl"}) {
            QFile stub(helpers.filePath(name));
            QVERIFY(stub.open(QIODevice::WriteOnly));
            stub.write("#!/bin/sh\necho \"$(basename \"$0\") $*\" >> \"$CALLS\"\n"
                       "case \"$*\" in *was-enabled*) exit $WAS_ENABLED;; esac\n");
            stub.close();
            stub.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", helpers.path() + ":/usr/bin:/bin");
        environment.insert("CALLS", log);
        environment.insert("WAS_ENABLED", wasEnabled);
        const Result ran =
            run(m_tree + "/control/wexa-platform/" + script, arguments, 30000, environment);
        QVERIFY2(ran.code == 0, qPrintable(ran.output));
        QCOMPARE(QString::fromUtf8(readFile(log)).split('\n', Qt::SkipEmptyParts), calls);
    }

    // Installed with dpkg into a root of its own, its scripts run outside it with DPKG_ROOT
    // naming it: a later build over an earlier one upgrades both packages and keeps the
    // unit enabled, a removal masks it, a purge leaves neither its links nor its state.
    void anInstallUpgradesRemovesAndPurges()
    {
        WEXA_REQUIRE_TOOL("dpkg");
        const Result packed = run("cpack",
                                  {"--config", WEXA_BIN_DIR "/../CPackConfig.cmake", "-B",
                                   m_dir.filePath("earlier"), "-D", "CPACK_PACKAGE_VERSION=1.0.1"},
                                  1200000);
        QVERIFY2(packed.code == 0, qPrintable(packed.output));
        const QString root = m_dir.filePath("root");
        for (const char* folder : {"var/lib/dpkg/info", "var/lib/dpkg/updates",
                                   "etc/systemd/system", "var/lib/wexa-platform/mailbox"})
            QVERIFY(QDir().mkpath(root + '/' + folder));
        QVERIFY(QFile(root + "/var/lib/dpkg/status").open(QIODevice::WriteOnly));
        const auto dpkg = [&](const QStringList& arguments) {
            const Result done =
                run("dpkg",
                    QStringList{"--root=" + root, "--log=/dev/null", "--force-depends",
                                "--force-not-root", "--force-script-chrootless"} +
                        arguments,
                    120000);
            return done.code == 0 ? done.output : "failed: " + done.output;
        };
        const auto installed = [&] {
            return run("dpkg-query",
                       {"--root=" + root, "-W", "-f=${Package} ${Version} ${db:Status-Abbrev}\n"})
                .output;
        };
        const QString wants =
            root + "/etc/systemd/system/multi-user.target.wants/" + "wexa-platform.service";
        const QString mask = root + "/etc/systemd/system/wexa-platform.service";
        QDir earlier(m_dir.filePath("earlier"));
        QVERIFY(!dpkg(QStringList{"-i"} + earlier.entryList({"*.deb"}).replaceInStrings(
                                              QRegularExpression("^"), earlier.path() + '/'))
                     .startsWith("failed"));
        QCOMPARE(installed(), "wexa-confirm 1.0.1 ii \nwexa-platform 1.0.1 ii \n");
        QVERIFY(!dpkg({"-i", deb("wexa-confirm"), deb("wexa-platform")}).startsWith("failed"));
        QCOMPARE(installed(), QString("wexa-confirm %1 ii \nwexa-platform %1 ii \n").arg(Version));
        QVERIFY(QFileInfo(wants).isSymLink());
        QVERIFY(!dpkg({"-r", "wexa-platform"}).startsWith("failed"));
        QCOMPARE(QFileInfo(mask).symLinkTarget(), "/dev/null");
        QVERIFY(!dpkg({"-P", "wexa-platform", "wexa-confirm"}).startsWith("failed"));
        QCOMPARE(installed(), QString());
        for (const QString& gone : {wants, mask, root + "/var/lib/wexa-platform"})
            QVERIFY2(!QFileInfo(gone).isSymLink() && !QFileInfo::exists(gone), qPrintable(gone));
    }

    void theProgramsRunFromThePackage_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("the editor lists its verbs")
            << "wexa-confirm/usr/bin/wexa-confirm" << QStringList{"--help"} << 0
            << "wexa-confirm demo";
        QTest::newRow("the editor turns an order into a response")
            << "wexa-confirm/usr/bin/wexa-confirm"
            << QStringList{"respond",       WEXA_SOURCE_DIR "/samples/order.xml",
                           "--partner-iln", "4607000000017",
                           "--user-iln",    "4607000000024"}
            << 0 << "Document-OrderResponse";
        QTest::newRow("the server names its version")
            << "wexa-platform/usr/bin/wexa-platform" << QStringList{"--version"} << 0
            << "wexa-platform " + Version + "\n";
        QTest::newRow("the server wants its root")
            << "wexa-platform/usr/bin/wexa-platform" << QStringList{"--root", "/nonexistent"} << 1
            << "the root /nonexistent does not exist";
    }
    void theProgramsRunFromThePackage()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, says);
        const Result result = run(m_tree + '/' + program, arguments, 30000);
        QCOMPARE(result.code, code);
        QVERIFY2(result.output.contains(says), qPrintable(result.output));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
