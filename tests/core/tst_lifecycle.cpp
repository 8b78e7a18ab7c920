#include "CoreForm.h"

#include "core/form/Host.h"
#include "core/rules/Cp1251.h"
#include "core/rules/DebugLog.h"
#include "core/session/Exchanges.h"
#include "core/session/Lifecycle.h"
#include "core/session/WorkingFolder.h"

#include <QSettings>

#include <memory>

namespace {

const QString UserIln = QStringLiteral("4600000000010");
const QString PartnerIln = QStringLiteral("4607000000017");
const QString NoPartner = QStringLiteral("Нет или неправильный формат файла XML о партнёре.");
const QString NoUser = QStringLiteral("Нет или неправильный формат файла XML о пользователе.");

class MapBag : public PropertyBag {
public:
    std::optional<QVariant> read(const QString& name) const override
    {
        return values.contains(name) ? std::optional(values.value(name)) : std::nullopt;
    }
    bool write(const QString& name, const QVariant& value) override
    {
        values.insert(name, value);
        return true;
    }
    QMap<QString, QVariant> values;
};

// An information file whose info element lacks the element named `omit`.
QByteArray infoFile(const char* root, const QStringList& elements, const QString& omit = {})
{
    QString text = QStringLiteral("<%1><partner-info><info>").arg(QLatin1String(root));
    for (const QString& name : elements) {
        if (name != omit)
            text += QStringLiteral("<%1>%2</%1>").arg(name, name == "iln" ? UserIln : "Имя");
    }
    return (text + QStringLiteral("</info></partner-info></%1>").arg(QLatin1String(root))).toUtf8();
}
QByteArray userInfo(const QString& omit = {})
{
    return infoFile("x", {"iln", "nip", "name", "account"}, omit);
}
QByteArray partnerInfo()
{
    return infoFile("partner-info-response", {"nip", "name", "account"});
}

// A control created and given its properties by the host, not yet shown.
struct Control : OrderForm {
    explicit Control(const QString& level = {}, const QString& onLine = "Off")
    {
        bag.values = {{"PartnerILN", PartnerIln}, {"PartnerName", "ABC"}, {"DebugLevel", level}};
        bag.values.insert("OnLine", onLine);
        Lifecycle::ReadProperties(form, bag);
    }
    void show() { Lifecycle::UserControl_Show(form); }
    MapBag bag;
};

} // namespace

class TestLifecycle : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_folder;

    QString inFolder(const QString& name) const { return m_folder->filePath(name); }
    // The setting names the folder, which holds the given user file and partner file.
    void prepareFolder(const QByteArray& user = userInfo(),
                       const QByteArray& partner = partnerInfo())
    {
        WorkingFolder::write(m_folder->path());
        if (!user.isNull())
            QVERIFY(writeFile(inFolder("userinfo.xml"), user));
        if (!partner.isNull())
            QVERIFY(writeFile(inFolder(UserIln + "_" + PartnerIln + "_partner_INFO.xml"), partner));
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

    void startupStopsWithAMessage_data()
    {
        columns<bool, QByteArray, QByteArray, QString>("setting", "user", "partner", "message");
        const QByteArray none;
        QTest::newRow("no working folder setting")
            << false << none << none << "Нет определённого пути доступа к запасам.";
        QTest::newRow("no user file") << true << none << partnerInfo() << NoUser;
        QTest::newRow("a user file that is not XML") << true << QByteArray("<x>") << none << NoUser;
        QTest::newRow("off-line without a partner file") << true << userInfo() << none << NoPartner;
    }
    void startupStopsWithAMessage()
    {
        const auto [setting, user, partner, message] =
            fetch<bool, QByteArray, QByteArray, QString>("setting", "user", "partner", "message");
        if (setting)
            prepareFolder(user, partner);
        Control c;
        c.show();
        QCOMPARE(c.messages.texts(), QStringList{message});
        QCOMPARE(c.messages.shown[0].title, "WEXA");
        QCOMPARE(c.messages.shown[0].icon, Message::Icon::Critical);
        QVERIFY(!c.form.isEnabled());
        c.show();
        QCOMPARE(c.messages.texts(), (QStringList{message, message}));
        QVERIFY(!c.form.isEnabled());
    }

    void incompleteUserInformationIsAnErrorThatLeavesTheControlEnabled()
    {
        prepareFolder(userInfo("nip"));
        Control c;
        c.show();
        QCOMPARE(c.messages.titles(), QStringList{"Произошла ошибка в UserControl_Show()"});
        QCOMPARE(c.messages.shown[0].icon, Message::Icon::Critical);
        QVERIFY(c.form.isEnabled());
    }

    // A new control's tables: the header rows hold the columns' names, centred; the totals'
    // columns have their widths, their values are right-aligned, and the totals' current
    // cell is the first value.
    void aNewControlLaysOutItsTables()
    {
        RecordingMessages messages;
        const Confirmation form(messages, testProcess());
        const Grid& lines = form.lines();
        const Grid& summary = form.summary();
        for (int c = 0; c < Columns::lineLabels().size(); ++c) {
            QCOMPARE(lines.text(0, int16_t(c)), Columns::lineLabels()[c]);
            QCOMPARE(lines.cellAlignment(0, c), Qt::AlignCenter);
        }
        QVERIFY(lines.wordWrap());
        for (int c = 0; c < SummaryColumnCount; ++c) {
            QCOMPARE(summary.text(0, int16_t(c)), Columns::summaryLabels()[c]);
            QCOMPARE(summary.cellAlignment(0, c), Qt::AlignCenter);
            QCOMPARE(summary.cellAlignment(1, c), Qt::AlignRight | Qt::AlignVCenter);
            QCOMPARE(summary.columnAlignment(c), Qt::AlignCenter);
        }
        QCOMPARE((QList<int>{summary.columnWidth(0), summary.columnWidth(1)}),
                 (QList<int>{1800, 3300}));
        QCOMPARE(summary.currentRow(), 1);
        QCOMPARE(summary.currentColumn(), 0);
    }

    // The count of orders waiting comes from the platform: only a plain count is shown.
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

    void offInLowerCaseStaysOnLine()
    {
        prepareFolder(userInfo(), {});
        Control c({}, "off");
        QCOMPARE(c.form.field(Confirmation::Field::lblOnLineStatus), "On-Line");
        // The control's own version, whatever version the programs around it carry.
        QCOMPARE(c.form.field(Confirmation::Field::lblVersion),
                 "WEXAПодтверждениеЗаказа 1.0.0.218");
        QVERIFY(c.form.isOn(Confirmation::Switch::btnPrzeslijVisible));
        // Without a partner file only an off-line start-up stops.
        c.show();
        QCOMPARE(c.messages.texts(), QStringList{});
        QVERIFY(c.form.isEnabled());
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
    // setting that is no such number reads back as "0".
    void debugLevelIsASixteenBitInteger_data()
    {
        columns<QString, int, QString>("setting", "level", "readBack");
        QTest::newRow("a whole number") << "4" << 4 << "4";
        QTest::newRow("a half goes to the even level below") << "4,5" << 4 << "4,5";
        QTest::newRow("a half goes to the even level above") << "3,5" << 4 << "3,5";
        QTest::newRow("the lowest half is still a 16-bit number")
            << "-32768,5" << -32768 << "-32768,5";
        QTest::newRow("the highest half is not") << "32767,5" << 0 << "0";
        QTest::newRow("below the lowest") << "-32768,6" << 0 << "0";
        QTest::newRow("letters") << "abc" << 0 << "0";
    }
    void debugLevelIsASixteenBitInteger()
    {
        const auto [setting, level, readBack] =
            fetch<QString, int, QString>("setting", "level", "readBack");
        Control c(setting);
        QCOMPARE(int(c.form.debugLevelValue()), level);
        QCOMPARE(c.form.debugLevel(), readBack);
    }

    // The log holds the start-up's own lines and nothing else up to level 4: a start-up
    // that stops at a missing user file says only that it started.
    void debugLogFollowsTheLevel_data()
    {
        columns<QString, bool, QStringList>("level", "userFile", "endings");
        const QString start = " Start logowania...";
        const QString check = " Czy PARTNER_ILN = %1 = DERUVE_ILN = 4607149599998";
        const QString later = " Проверка №1";
        QTest::newRow("letters open no log") << "abc" << true << QStringList{};
        QTest::newRow("level 1 writes the start line") << "1" << true << QStringList{start, later};
        QTest::newRow("level 4 adds the partner check")
            << "4" << true << QStringList{start, check.arg(PartnerIln), later};
        QTest::newRow("a missing user file adds nothing at level 2")
            << "2" << false << QStringList{start, later};
        QTest::newRow("a missing user file adds nothing at level 4")
            << "4" << false << QStringList{start, later};
    }
    void debugLogFollowsTheLevel()
    {
        const auto [level, userFile, endings] =
            fetch<QString, bool, QStringList>("level", "userFile", "endings");
        prepareFolder(userFile ? userInfo() : QByteArray());
        const QString path = inFolder("ABCPotwierdzenie.log");
        if (!endings.isEmpty())
            QVERIFY(writeFile(path, QByteArray(4096, 'x'))); // a previous run's log is replaced
        Control c(level);
        c.show();
        DebugLog::WriteLog(testProcess(), QStringLiteral("Проверка №1"), 1);
        DebugLog::WriteLog(testProcess(), QStringLiteral("above every level"), 5);
        QCOMPARE(QFile::exists(path), !endings.isEmpty());
        const QByteArray bytes = readFile(path);
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        const QStringList lines = Cp1251::decode(bytes).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), endings.size());
        const QString today = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QVERIFY2(lines[i].startsWith(today + ' '), qPrintable(lines[i]));
            QVERIFY2(lines[i].endsWith(endings[i]), qPrintable(lines[i]));
        }
    }

    // Properties that come from a host's file are not checked as a link's are: a name that
    // would take a file out of the working folder, or cut its name short, gives no file at
    // all, and the start-up says what it could not read.
    void namesThatWouldLeaveTheFolderGiveNoFile_data()
    {
        columns<QString, QString, QString>("partnerName", "partnerIln", "message");
        QTest::newRow("folder steps in the partner's name open no log")
            << "../../outside" << PartnerIln << QString();
        QTest::newRow("a NUL in the partner's name opens no log")
            << QStringLiteral("x%1/../../outside").arg(QChar(0)) << PartnerIln << QString();
        QTest::newRow("folder steps in the partner's ILN read no partner file")
            << "ABC"
            << "../../outside" << NoPartner;
        QTest::newRow("a line break in the partner's ILN reads no partner file")
            << "ABC" << QStringLiteral("4607\n") << NoPartner;
    }
    void namesThatWouldLeaveTheFolderGiveNoFile()
    {
        const auto [partnerName, partnerIln, message] =
            fetch<QString, QString, QString>("partnerName", "partnerIln", "message");
        const QString work = inFolder("a/b/work");
        const QString partnerFile = UserIln + "_" + PartnerIln + "_partner_INFO.xml";
        QVERIFY(writeFile(work + "/userinfo.xml", userInfo()));
        QVERIFY(writeFile(work + "/" + partnerFile, partnerInfo()));
        WorkingFolder::write(work);
        // Where the unchecked names would have led.
        QVERIFY(writeFile(inFolder("a/b/outside_partner_INFO.xml"), partnerInfo()));
        Control c("4");
        c.bag.values.insert("PartnerName", partnerName);
        c.bag.values.insert("PartnerILN", partnerIln);
        Lifecycle::ReadProperties(c.form, c.bag);
        c.show();
        QCOMPARE(c.messages.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(QDir(inFolder("a")).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(QDir(inFolder("a/b")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"outside_partner_INFO.xml"});
        QStringList inside{partnerFile, "userinfo.xml"};
        if (partnerName == "ABC")
            inside.append("ABCPotwierdzenie.log");
        inside.sort();
        QStringList found = QDir(work).entryList(QDir::Files | QDir::Hidden);
        found.sort();
        QCOMPARE(found, inside);
    }
};

QTEST_GUILESS_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
