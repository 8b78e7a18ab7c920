#include "CoreForm.h"
#include "CoreRulesFixture.h"

#include "core/form/Host.h"
#include "core/rules/Cp1251.h"
#include "core/rules/DebugLog.h"
#include "core/session/Exchanges.h"
#include "core/session/Lifecycle.h"
#include "core/session/WorkingFolder.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

const QString UserIln = QStringLiteral("4600000000010");
const QString PartnerIln = QStringLiteral("4607000000017");
const QString NoPartner = "WEXA (critical): Нет или неправильный формат файла XML о партнёре.";
const QString NoUser = "WEXA (critical): Нет или неправильный формат файла XML о пользователе.";

// The user's information file, without the tax number when incomplete, and the partner's.
QByteArray userInfo(bool complete = true)
{
    return ("<x><partner-info><info><iln>" + UserIln + "</iln>" +
            (complete ? "<nip>Имя</nip>" : "") +
            "<name>Имя</name><account>Имя</account></info></partner-info></x>")
        .toUtf8();
}
const QString PartnerFileName = UserIln + "_" + PartnerIln + "_partner_INFO.xml";
const QByteArray PartnerFile = "<partner-info-response><partner-info><info><nip>Имя</nip>"
                               "<name>Имя</name><account>Имя</account></info></partner-info>"
                               "</partner-info-response>";

// A control created and given its properties by the host, not yet shown.
struct Control : OrderForm, PropertyBag {
    explicit Control(const QString& level = {}, const QString& onLine = "Off",
                     const QString& name = "ABC", const QString& iln = PartnerIln)
        : values{
              {"PartnerILN", iln}, {"PartnerName", name}, {"DebugLevel", level}, {"OnLine", onLine}}
    {
        Lifecycle::ReadProperties(form, *this);
    }
    std::optional<QVariant> read(const QString& name) const override
    {
        return values.contains(name) ? std::optional(values.value(name)) : std::nullopt;
    }
    bool write(const QString& name, const QVariant& value) override
    {
        values.insert(name, value);
        return true;
    }
    void show() { Lifecycle::UserControl_Show(form); }
    QMap<QString, QVariant> values;
};

} // namespace

class TestLifecycle : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_folder;

    QString inFolder(const QString& name) const { return m_folder->filePath(name); }
    // The setting names the folder (the temporary one unless given), holding the given files.
    void prepareFolder(const QByteArray& user = userInfo(), const QByteArray& partner = PartnerFile,
                       const QString& folder = {})
    {
        const QDir dir(inFolder(folder));
        WorkingFolder::write(dir.path());
        if (!user.isNull())
            QVERIFY(writeFile(dir.filePath("userinfo.xml"), user));
        if (!partner.isNull())
            QVERIFY(writeFile(dir.filePath(PartnerFileName), partner));
    }

private slots:
    void init()
    {
        static QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "WEXA").clear();
        freshProcess("ru_RU");
        m_folder = std::make_unique<QTemporaryDir>();
    }

    // A start-up that cannot go on says why at each showing and leaves the control disabled;
    // the version shown is the control's own, whatever the programs around it carry.
    void startupStopsWithAMessage_data()
    {
        // No files: no working folder setting either.
        columns<QByteArray, QByteArray, QString, QString, bool>("user", "partner", "onLine",
                                                                "shown", "enabled");
        const QByteArray none;
        auto row = [](const char* name, QByteArray user, QByteArray partner, QString shown,
                      bool enabled = false, QString onLine = "Off") {
            QTest::newRow(name) << user << partner << onLine << shown << enabled;
        };
        row("no working folder setting", none, none,
            "WEXA (critical): Нет определённого пути доступа к запасам.");
        row("no user file", none, PartnerFile, NoUser);
        row("a user file that is not XML", "<x>", none, NoUser);
        row("off-line without a partner file", userInfo(), none, NoPartner);
        row("incomplete user information is an error that leaves the control enabled",
            userInfo(false), PartnerFile,
            "Произошла ошибка в UserControl_Show() (critical): В элементе info нет элемента nip",
            true);
        row("off in lower case stays on-line and starts without a partner file", userInfo(), none,
            {}, true, "off");
    }
    void startupStopsWithAMessage()
    {
        const auto [user, partner, onLine, shown, enabled] =
            fetch<QByteArray, QByteArray, QString, QString, bool>("user", "partner", "onLine",
                                                                  "shown", "enabled");
        if (!user.isNull() || !partner.isNull())
            prepareFolder(user, partner);
        Control c({}, onLine);
        QCOMPARE(c.form.field(Confirmation::Field::lblOnLineStatus),
                 onLine == "Off" ? "Off-Line" : "On-Line");
        QCOMPARE(c.form.isOn(Confirmation::Switch::btnPrzeslijVisible), onLine != "Off");
        QCOMPARE(c.form.field(Confirmation::Field::lblVersion),
                 "WEXAПодтверждениеЗаказа 1.0.0.218");
        for (const int times : {1, 2}) {
            c.show();
            QCOMPARE(c.messages.lines(), QStringList(shown.isEmpty() ? 0 : times, shown));
            QCOMPARE(c.form.isEnabled(), enabled);
        }
    }

    // The header rows hold the columns' names, centred; the totals' values are right-aligned,
    // and the first of them is the current cell.
    void aNewControlLaysOutItsTables()
    {
        RecordingMessages messages;
        const Confirmation form(messages, testProcess());
        const Grid& lines = form.lines();
        const Grid& summary = form.summary();
        QCOMPARE(texts(lines, 0, 0, 0, int(Columns::lineLabels().size()) - 1),
                 Columns::lineLabels());
        for (int c = 0; c < Columns::lineLabels().size(); ++c)
            QCOMPARE(lines.cellAlignment(0, c), Qt::AlignCenter);
        QVERIFY(lines.wordWrap());
        QCOMPARE(texts(summary, 0, 0, 0, SummaryColumnCount - 1), Columns::summaryLabels());
        for (int c = 0; c < SummaryColumnCount; ++c) {
            QCOMPARE(summary.cellAlignment(0, c), Qt::AlignCenter);
            QCOMPARE(summary.cellAlignment(1, c), Qt::AlignRight | Qt::AlignVCenter);
            QCOMPARE(summary.columnAlignment(c), Qt::AlignCenter);
        }
        QCOMPARE((QList<int>{summary.columnWidth(0), summary.columnWidth(1), summary.currentRow(),
                             summary.currentColumn()}),
                 (QList<int>{1800, 3300, 1, 0}));
    }

    void theWaitingCountIsAPlainNumber_data()
    {
        columns<QString, int>("answer", "shown");
        QTest::newRow("a count") << "<waiting-orders>2</waiting-orders>" << 2;
        QTest::newRow("none waiting") << "<waiting-orders>0</waiting-orders>" << 0;
        QTest::newRow("no count at all") << "" << -1;
        QTest::newRow("a negative count") << "<waiting-orders>-1</waiting-orders>" << -1;
        QTest::newRow("words") << "<waiting-orders>много</waiting-orders>" << -1;
        QTest::newRow("past 32 bits") << "<waiting-orders>4294967297</waiting-orders>" << -1;
        QTest::newRow("a line break inside") << "<waiting-orders>1&#10;2</waiting-orders>" << -1;
        QTest::newRow("markup inside") << "<waiting-orders><b>3</b></waiting-orders>" << 3;
    }
    void theWaitingCountIsAPlainNumber()
    {
        const auto [answer, shown] = fetch<QString, int>("answer", "shown");
        const XmlDocument document = XmlDocument::fromText("<receive-document-response>" + answer +
                                                           "</receive-document-response>");
        QCOMPARE(Exchanges::waitingOrders(document).value_or(-1), shown);
    }

    void terminateWritesBackTheFolderItReadOverALaterChange()
    {
        prepareFolder();
        Control c;
        c.show();
        WorkingFolder::write(QStringLiteral("/elsewhere"));
        Lifecycle::Terminate(c.form);
        const QSettings store(QSettings::NativeFormat, QSettings::UserScope, "WEXA");
        QCOMPARE(store.value("WexaActiveX/OffLinePath").toString(), m_folder->path());
    }

    // The level is the setting as a 16-bit integer, halves going to the even neighbour; a
    // setting that is no such number reads back as "0". The log holds the start-up's own lines
    // up to level 4; a start-up that stops at a missing user file says only that it started.
    void debugLevelAndLog_data()
    {
        columns<QString, bool, int, QString, QStringList>("setting", "userFile", "level",
                                                          "readBack", "endings");
        const QStringList plain{" Start logowania...", " Проверка №1"};
        const QStringList checked{
            plain[0], " Czy PARTNER_ILN = " + PartnerIln + " = DERUVE_ILN = 4607149599998",
            plain[1]};
        auto row = [](const char* name, QString setting, int level, QString readBack,
                      QStringList endings, bool userFile = true) {
            QTest::newRow(name) << setting << userFile << level << readBack << endings;
        };
        row("level 4 adds the partner check", "4", 4, "4", checked);
        row("a half goes to the even level below", "4,5", 4, "4,5", checked);
        row("a half goes to the even level above", "3,5", 4, "3,5", checked);
        row("the lowest half is still a 16-bit number", "-32768,5", -32768, "-32768,5", {});
        row("the highest half is not", "32767,5", 0, "0", {});
        row("below the lowest", "-32768,6", 0, "0", {});
        row("letters open no log", "abc", 0, "0", {});
        row("level 1 writes the start line", "1", 1, "1", plain);
        row("a missing user file adds nothing at level 2", "2", 2, "2", plain, false);
        row("a missing user file adds nothing at level 4", "4", 4, "4", plain, false);
    }
    void debugLevelAndLog()
    {
        const auto [setting, userFile, level, readBack, endings] =
            fetch<QString, bool, int, QString, QStringList>("setting", "userFile", "level",
                                                            "readBack", "endings");
        prepareFolder(userFile ? userInfo() : QByteArray());
        const QString path = inFolder("ABCPotwierdzenie.log");
        if (!endings.isEmpty())
            QVERIFY(writeFile(path, QByteArray(4096, 'x'))); // a previous run's log is replaced
        Control c(setting);
        QCOMPARE(int(c.form.debugLevelValue()), level);
        QCOMPARE(c.form.debugLevel(), readBack);
        c.show();
        DebugLog::WriteLog(testProcess(), QStringLiteral("Проверка №1"), 1);
        DebugLog::WriteLog(testProcess(), QStringLiteral("above every level"), 5);
        QCOMPARE(QFile::exists(path), !endings.isEmpty());
        const QByteArray bytes = readFile(path);
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        const QStringList lines = Cp1251::decode(bytes).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), endings.size());
        const QString today = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
        for (qsizetype i = 0; i < lines.size(); ++i)
            QVERIFY2(lines[i].startsWith(today + ' ') && lines[i].endsWith(endings[i]),
                     qPrintable(lines[i]));
    }

    // Properties from a host's file are not checked as a link's are: a name that would take a
    // file out of the working folder, or cut its name short, gives no file at all.
    void namesThatWouldLeaveTheFolderGiveNoFile_data()
    {
        columns<QString, QString, QString>("partnerName", "partnerIln", "message");
        QTest::newRow("folder steps in the partner's name open no log")
            << "../../outside" << PartnerIln << QString();
        QTest::newRow("a NUL in the partner's name opens no log")
            << QStringLiteral("x%1/../../outside").arg(QChar(0)) << PartnerIln << QString();
        QTest::newRow("folder steps in the partner's ILN read no partner file")
            << u"ABC"_s << u"../../outside"_s << NoPartner;
        QTest::newRow("a line break in the partner's ILN reads no partner file")
            << "ABC" << QStringLiteral("4607\n") << NoPartner;
    }
    void namesThatWouldLeaveTheFolderGiveNoFile()
    {
        const auto [partnerName, partnerIln, message] =
            fetch<QString, QString, QString>("partnerName", "partnerIln", "message");
        const QString work = inFolder("a/b/work");
        prepareFolder(userInfo(), PartnerFile, "a/b/work");
        // Where the unchecked names would have led.
        QVERIFY(writeFile(inFolder("a/b/outside_partner_INFO.xml"), PartnerFile));
        Control c("4", "Off", partnerName, partnerIln);
        c.show();
        QCOMPARE(c.messages.lines(), message.isEmpty() ? QStringList() : QStringList{message});
        const auto files = [](const QString& folder) {
            return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        };
        QCOMPARE(files(m_folder->path()) + files(inFolder("a")), QStringList());
        QCOMPARE(files(inFolder("a/b")), QStringList{"outside_partner_INFO.xml"});
        const QStringList log =
            partnerName == "ABC" ? QStringList{"ABCPotwierdzenie.log"} : QStringList();
        QCOMPARE(files(work), QStringList{PartnerFileName} + log + QStringList{"userinfo.xml"});
    }
};

QTEST_GUILESS_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
