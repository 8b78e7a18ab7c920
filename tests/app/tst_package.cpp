#include "CoreTable.h"
#include "Run.h"
#include "TestSupport.h"
#include "Tools.h"

#include "core/form/BuildVersion.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

const QString AppId = QStringLiteral("ru.wexa.confirm");
const QString Unit = QStringLiteral("lib/systemd/system/wexa-platform.service");
const QString Version = BuildVersion::text();
const QString Packing = QStringLiteral(WEXA_BIN_DIR "/../CPackConfig.cmake");

Ran run(const QString& program, const QStringList& arguments, int deadline = 300000)
{
    return Run{.program = program, .arguments = arguments, .deadline = deadline}();
}

// What git says of the commit being built, its dates in UTC; empty outside a clone.
QString git(const QStringList& arguments)
{
    const Ran done =
        Run{.program = "git", .arguments = arguments, .folder = WEXA_SOURCE_DIR}.set("TZ", "UTC")();
    return done.exitCode == 0 ? QString::fromUtf8(done.out).trimmed() : QString();
}

} // namespace

// The Debian packages as `cpack` builds them from this build: their contents, their
// metadata checked by the tools a distribution checks them with, their programs run from
// the packages' own files, and the server's unit and maintainer scripts.
class TestPackage : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    // Each package's files, below a folder named after it.
    const QString m_tree = m_dir.filePath("tree");

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
        // The second time only the server's packages, which are the smaller, from a clean
        // build of the server in another folder with this build's choices: what is compared
        // is how building and packing date, order and name what they make.
        const QString again = m_dir.filePath("build");
        QStringList choices = {"-S", WEXA_SOURCE_DIR, "-B", again};
        for (const QByteArray& line : readFile(WEXA_BIN_DIR "/../CMakeCache.txt").split('\n'))
            if (QRegularExpression("^(CMAKE_BUILD_TYPE|CMAKE_CXX_COMPILER|WEXA_\\w+):")
                    .match(QString::fromUtf8(line))
                    .hasMatch())
                choices << "-D" + QString::fromUtf8(line);
        for (const QStringList& step :
             {choices, {"--build", again, "--target", "wexa-platform", "server-files", "-j2"}}) {
            const Ran cmake = run("cmake", step, 1200000);
            QVERIFY2(cmake.exitCode == 0, qPrintable(cmake.all()));
        }
        for (const QString folder : {"first", "second"}) {
            const Ran cpack =
                run("cpack",
                    QStringList{"-B", m_dir.filePath(folder), "--config"} +
                        (folder == "first" ? QStringList{Packing}
                                           : QStringList{again + "/CPackConfig.cmake", "-D",
                                                         "CPACK_COMPONENTS_ALL=server"}),
                    1200000);
            QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.all()));
        }
        const QStringList made =
            QDir(m_dir.filePath("first")).entryList({"*.deb", "*.ddeb"}, QDir::Files);
        QCOMPARE(made,
                 QStringList({"wexa-confirm-dbgsym_@_amd64.ddeb", "wexa-confirm_@_amd64.deb",
                              "wexa-platform-dbgsym_@_amd64.ddeb", "wexa-platform_@_amd64.deb"})
                     .replaceInStrings("@", Version));
        QVERIFY(QDir().mkpath(m_tree + "/control"));
        for (const QString& name : made) {
            const QString from = m_dir.filePath("first/" + name), package = name.section('_', 0, 0);
            QCOMPARE(run("dpkg-deb", {"-x", from, m_tree + '/' + package}).exitCode, 0);
            QCOMPARE(run("dpkg-deb", {"-e", from, m_tree + "/control/" + package}).exitCode, 0);
        }
    }

    void thePackagesHold_data()
    {
        columns<QString, QString, QString>("package", "path", "kind");
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
        const auto [package, path, kind] =
            fetch<QString, QString, QString>("package", "path", "kind");
        const QString found = run("file", {"-b", file(package, path)}).all();
        QVERIFY2(found.contains(kind), qPrintable(path + ": " + found));
        const QString other = package == "wexa-confirm" ? "wexa-platform" : "wexa-confirm";
        QVERIFY2(!QFile::exists(file(other, path)), qPrintable(other + " holds " + path));
    }

    // The distribution's checks, the packages' relations and the packages' own programs end
    // as they should, say what they should and warn of nothing.
    void theChecksPassAndTheProgramsRun_data()
    {
        columns<QString, QStringList, int, QStringList, QStringList>("program", "arguments", "code",
                                                                     "says", "unsaid");
        auto row = [](const char* name, const QString& program, const QStringList& arguments,
                      int code = 0, const QStringList& says = {}, const QStringList& unsaid = {}) {
            QTest::newRow(name) << program << arguments << code << says << unsaid;
        };
        row("lintian finds nothing, pedantic tags included", "lintian",
            {"--pedantic", "--fail-on", "error,warning,info,pedantic", deb("wexa-confirm"),
             deb("wexa-platform")});
        row("the desktop entry is valid", "desktop-file-validate",
            {"wexa-confirm/usr/share/applications/" + AppId + ".desktop"});
        row("the metainfo is valid", "appstreamcli",
            {"validate", "--no-net", "wexa-confirm/usr/share/metainfo/" + AppId + ".metainfo.xml"});
        row("the man pages render without warnings", "man",
            {"--warnings", "-l", "wexa-confirm/usr/share/man/man1/wexa-confirm.1.gz",
             "wexa-confirm/usr/share/man/ru/man1/wexa-confirm.1.gz",
             "wexa-platform/usr/share/man/man1/wexa-platform.1.gz"});
        row("the unit is exposed no more than 2.5", "systemd-analyze",
            {"security", "--offline=true", "--threshold=25", "wexa-platform/" + Unit});
        row("the editor needs the window's libraries", "dpkg-deb",
            {"-f", deb("wexa-confirm"), "Depends"}, 0,
            {"libqt6widgets6", "libqt6network6", "libxml2", "libc6"}, {"init-system-helpers"});
        row("the editor would speak the clerk's language on its buttons", "dpkg-deb",
            {"-f", deb("wexa-confirm"), "Recommends"}, 0, {"qt6-translations-l10n"});
        row("the server needs no window and its scripts' helpers", "dpkg-deb",
            {"-f", deb("wexa-platform"), "Depends"}, 0,
            {"libxml2", "libssl3", "init-system-helpers"}, {"libqt6widgets6", "libqt6gui6"});
        const QString editor = "wexa-confirm/usr/bin/wexa-confirm";
        const QString server = "wexa-platform/usr/bin/wexa-platform";
        row("the editor lists its verbs", editor, {"--help"}, 0, {"wexa-confirm demo"});
        row("the editor turns an order into a response", editor,
            {"respond", WEXA_SOURCE_DIR "/samples/order.xml", "--partner-iln", "4607000000017",
             "--user-iln", "4607000000024"},
            0, {"Document-OrderResponse"});
        row("the server names its version", server, {"--version"}, 0,
            {"wexa-platform " + Version + "\n"});
        row("the server wants its root", server, {"--root", "/nonexistent"}, 1,
            {"the root /nonexistent does not exist"});
    }
    void theChecksPassAndTheProgramsRun()
    {
        const auto [program, arguments, code, says, unsaid] =
            fetch<QString, QStringList, int, QStringList, QStringList>("program", "arguments",
                                                                       "code", "says", "unsaid");
        QStringList command;
        for (const QString& part : QStringList{program} + arguments)
            command.append(part.startsWith("wexa-") ? m_tree + '/' + part : part);
        const Ran result = run(command.first(), command.mid(1));
        const QString said = result.all();
        QVERIFY2(result.exitCode == code, qPrintable(said));
        QVERIFY2(!said.contains("warning:") && !said.contains("\nE: ") && !said.startsWith("E: "),
                 qPrintable(said));
        for (const QString& part : says)
            QVERIFY2(said.contains(part), qPrintable(part + " is not in: " + said));
        for (const QString& part : unsaid)
            QVERIFY2(!said.contains(part), qPrintable(part + " is in: " + said));
    }

    void theDesktopHandsItLinks()
    {
        const QByteArray text =
            readFile(file("wexa-confirm", "usr/share/applications/" + AppId + ".desktop"));
        // StartupWMClass is the window's class, which docks match against the entry.
        for (const char* entry :
             {"\nMimeType=x-scheme-handler/wexa-confirm;\n", "\nExec=wexa-confirm %u\n",
              "\nName[ru]=", "Categories=Office;", "\nStartupWMClass=wexa-confirm\n"})
            QVERIFY2(text.contains(entry), entry);
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
            QCOMPARE(run("dpkg-deb", {"-f", deb(package), "Version"}).all().trimmed(), Version);
        const QString day = git({"log", "-1", "--date=format-local:%Y-%m-%d", "--format=%cd"});
        const QString stamp =
            git({"log", "-1", "--date=format-local:%a, %d %b %Y %H:%M:%S +0000", "--format=%cd"});
        const QString changelog =
            run("zcat", {file("wexa-platform", "usr/share/doc/wexa-platform/changelog.gz")}).all();
        QVERIFY2(changelog.startsWith("wexa-platform (" + Version + ") ") &&
                     changelog.contains(">  " + stamp + "\n"),
                 qPrintable(changelog));
        QVERIFY(readFile(file("wexa-confirm", "usr/share/metainfo/" + AppId + ".metainfo.xml"))
                    .contains("<release version=\"" + Version.toUtf8() + "\" date=\"" +
                              day.toUtf8() + "\"/>"));
    }

    // Built as Debian builds: hardened, the debug information in the -dbgsym packages, no
    // path of the machine that built it, and the same bytes from a clean build elsewhere.
    void theProgramsAreBuiltAsDebianBuildsThem_data()
    {
        // Whether it calls a function that fortifying replaces; the editor leaves that to Qt.
        columns<QString, bool>("program", "fortified");
        QTest::newRow("the editor") << "wexa-confirm/usr/bin/wexa-confirm" << false;
        QTest::newRow("the editor's window")
            << "wexa-confirm/usr/libexec/wexa-confirm/wexa-confirm-window" << false;
        QTest::newRow("the server") << "wexa-platform/usr/bin/wexa-platform" << true;
    }
    void theProgramsAreBuiltAsDebianBuildsThem()
    {
        const auto [program, fortified] = fetch<QString, bool>("program", "fortified");
        const QString path = m_tree + '/' + program;
        const QString dynamic = run("readelf", {"--dynamic", "--dyn-syms", "-W", path}).all();
        QVERIFY2(dynamic.contains("BIND_NOW") || dynamic.contains("Flags: NOW"),
                 "not bound at once");
        QVERIFY2(dynamic.contains("__stack_chk_fail"), "no stack protector");
        QVERIFY2(!fortified || dynamic.contains(QRegularExpression("__\\w+_chk@")),
                 "nothing fortified");
        QVERIFY(run("file", {"-b", path}).all().contains(", stripped"));
        const QString id = QRegularExpression("Build ID: ([0-9a-f]+)")
                               .match(run("readelf", {"-n", path}).all())
                               .captured(1);
        const QString symbols = m_tree + '/' + program.section('/', 0, 0) +
                                "-dbgsym/usr/lib/debug/.build-id/" + id.left(2) + '/' + id.mid(2) +
                                ".debug";
        QVERIFY2(run("file", {"-b", symbols}).all().contains("with debug_info"),
                 qPrintable(symbols));
        const QString producer = run("readelf", {"--debug-dump=info", symbols}).all();
        for (const char* flag : {"-fstack-protector-strong", "-O2"})
            QVERIFY2(producer.contains(flag), flag);
        QVERIFY(!readFile(symbols).contains(WEXA_SOURCE_DIR));
        QVERIFY(!readFile(path).contains(WEXA_BIN_DIR));
    }
    void aCleanBuildElsewhereGivesTheSameBytes()
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
              "RestrictNamespaces=yes", "PrivateUsers=yes", "ProtectProc=invisible",
              "ExecStart=/usr/bin/wexa-platform --root /var/lib/wexa-platform --listen "
              "127.0.0.1:8080\n"})
            QVERIFY2(unit.contains("\n" + QString::fromLatin1(directive)), directive);
        if (!QFileInfo("/run/systemd/system").isDir() || !QFileInfo::exists("/usr/bin/systemd-run"))
            QSKIP("systemd does not run here: the unit's directives are checked above");
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QStringList command{"--wait", "--collect", "--quiet", "-p",
                            "ReadWritePaths=" + root.path()};
        for (const QString& line :
             unit.section("[Service]", 1).section("[Install]", 0, 0).split('\n'))
            if (line.contains('=') && !line.startsWith('#') && !line.startsWith("ExecStart") &&
                !line.startsWith("Restart") && !line.startsWith("StateDirectory"))
                command << "-p" << line;
        command << file("wexa-platform", "usr/bin/wexa-platform") << "--root" << root.path()
                << "--version";
        QCOMPARE(run("systemd-run", command, 60000).exitCode, 0);
    }

    // What Debian's systemd helpers would do: enable the unit on the first install, keep
    // the administrator's choice on an upgrade, mask it on removal.
    void theMaintainerScriptsCallTheHelpers_data()
    {
        columns<QString, QStringList, QString, QStringList>("script", "arguments", "wasEnabled",
                                                            "calls");
        // What the helper is told of the unit, in order; nothing else is called.
        QTest::newRow("a first install enables the unit")
            << "postinst" << QStringList{"configure"} << "0"
            << QStringList{"unmask", "--quiet was-enabled", "enable"};
        QTest::newRow("an upgrade of a disabled unit leaves it disabled")
            << "postinst" << QStringList{"configure", "1.1.1"} << "1"
            << QStringList{"unmask", "--quiet was-enabled", "update-state"};
        QTest::newRow("a removal masks the unit")
            << "postrm" << QStringList{"remove"} << "0" << QStringList{"mask"};
        QTest::newRow("an upgrade's removal of the old package leaves it")
            << "postrm" << QStringList{"upgrade", Version} << "0" << QStringList{};
    }
    void theMaintainerScriptsCallTheHelpers()
    {
        const auto [script, arguments, wasEnabled, calls] =
            fetch<QString, QStringList, QString, QStringList>("script", "arguments", "wasEnabled",
                                                              "calls");
        if (QFileInfo("/run/systemd/system").isDir())
            QSKIP("systemd runs here: the scripts would talk to it");
        QTemporaryDir helpers;
        for (const char* name : {"deb-systemd-helper", "deb-systemd-invoke", "systemctl"}) {
            const QString stub = helpers.filePath(name);
            QVERIFY(writeFile(stub, "#!/bin/sh\necho \"$(basename \"$0\") $*\" >> \"$CALLS\"\n"
                                    "case \"$*\" in *was-enabled*) exit $WAS_ENABLED;; esac\n"));
            QVERIFY(QFile::setPermissions(stub,
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        const Ran ran =
            Run{.program = m_tree + "/control/wexa-platform/" + script, .arguments = arguments}
                .set("PATH", helpers.path() + ":/usr/bin:/bin")
                .set("CALLS", helpers.filePath("calls"))
                .set("WAS_ENABLED", wasEnabled)();
        QVERIFY2(ran.exitCode == 0, qPrintable(ran.all()));
        QString told;
        for (const QString& call : calls)
            told += "deb-systemd-helper " + call + " wexa-platform.service\n";
        QCOMPARE(QString::fromUtf8(readFile(helpers.filePath("calls"))), told);
    }

    // Installed with dpkg into a root of its own, its scripts run outside it with DPKG_ROOT
    // naming it: a later build over an earlier one upgrades both packages and keeps the
    // unit enabled, a removal masks it, a purge leaves neither its links nor its state.
    void anInstallUpgradesRemovesAndPurges()
    {
        WEXA_REQUIRE_TOOL("dpkg");
        const Ran packed = run("cpack",
                               {"--config", Packing, "-B", m_dir.filePath("earlier"), "-D",
                                "CPACK_PACKAGE_VERSION=1.0.1"},
                               1200000);
        QVERIFY2(packed.exitCode == 0, qPrintable(packed.all()));
        const QString root = m_dir.filePath("root");
        for (const char* folder : {"var/lib/dpkg/info", "var/lib/dpkg/updates",
                                   "etc/systemd/system", "var/lib/wexa-platform/mailbox"})
            QVERIFY(QDir().mkpath(root + '/' + folder));
        QVERIFY(QFile(root + "/var/lib/dpkg/status").open(QIODevice::WriteOnly));
        const QStringList asRoot{"--root=" + root, "--log=/dev/null", "--force-depends",
                                 "--force-not-root", "--force-script-chrootless"};
        const auto dpkg = [&](const QStringList& arguments) {
            return run("dpkg", asRoot + arguments, 120000).exitCode == 0;
        };
        const auto installed = [&] {
            return run("dpkg-query",
                       {"--root=" + root, "-W", "-f=${Package} ${Version} ${db:Status-Abbrev}\n"})
                .all();
        };
        const QString wants =
            root + "/etc/systemd/system/multi-user.target.wants/wexa-platform.service";
        const QString mask = root + "/etc/systemd/system/wexa-platform.service";
        QDir earlier(m_dir.filePath("earlier"));
        QVERIFY(dpkg(QStringList{"-i"} + earlier.entryList({"*.deb"}).replaceInStrings(
                                             QRegularExpression("^"), earlier.path() + '/')));
        QCOMPARE(installed(), "wexa-confirm 1.0.1 ii \nwexa-platform 1.0.1 ii \n");
        QVERIFY(dpkg({"-i", deb("wexa-confirm"), deb("wexa-platform")}));
        QCOMPARE(installed(), QString("wexa-confirm %1 ii \nwexa-platform %1 ii \n").arg(Version));
        QVERIFY(QFileInfo(wants).isSymLink());
        QVERIFY(dpkg({"-r", "wexa-platform"}));
        QCOMPARE(QFileInfo(mask).symLinkTarget(), "/dev/null");
        QVERIFY(dpkg({"-P", "wexa-platform", "wexa-confirm"}));
        QCOMPARE(installed(), QString());
        for (const QString& gone : {wants, mask, root + "/var/lib/wexa-platform"})
            QVERIFY2(!QFileInfo(gone).isSymLink() && !QFileInfo::exists(gone), qPrintable(gone));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
