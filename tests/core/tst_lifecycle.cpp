#include "RecordingMessages.h"
#include "TestSupport.h"

#include "control/Columns.h"
#include "control/Confirmation.h"
#include "control/Host.h"
#include "control/Lifecycle.h"
#include "diagnostics/DebugLog.h"
#include "storage/WorkingFolder.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Field = Confirmation::Field;
using Switch = Confirmation::Switch;

namespace {

const QString UserIln = QStringLiteral("4600000000010");
const QString PartnerIln = QStringLiteral("4607000000017");
const QString PriceBuyer = QStringLiteral("4607149599998");
const QString NoPartner = QStringLiteral("Нет или неправильный формат файла XML о партнёре.");
const QString NoUser = QStringLiteral("Нет или неправильный формат файла XML о пользователе.");

// The host's persisted properties; a property listed as unreadable fails to read.
class MapBag : public PropertyBag {
public:
    std::optional<QVariant> read(const QString& name) const override
    {
        if (unreadable.contains(name) || !values.contains(name))
            return std::nullopt;
        return values.value(name);
    }
    bool write(const QString& name, const QVariant& value) override
    {
        values.insert(name, value);
        return true;
    }

    QMap<QString, QVariant> values;
    QStringList unreadable;
};

// An information file whose info element lacks the elements named in `omit`.
QByteArray infoFile(const char* root, const QStringList& elements, const QStringList& omit)
{
    QString text = QStringLiteral("<%1><partner-info><info>").arg(QLatin1String(root));
    for (const QString& name : elements) {
        if (!omit.contains(name))
            text += QStringLiteral("<%1>%2</%1>").arg(name, name == "iln" ? UserIln : "Имя");
    }
    return (text + QStringLiteral("</info></partner-info></%1>").arg(QLatin1String(root))).toUtf8();
}

QByteArray userInfo(const QStringList& omit = {})
{
    return infoFile("x", {"iln", "nip", "name", "account"}, omit);
}

QByteArray partnerInfo(const QStringList& omit = {})
{
    return infoFile("partner-info-response", {"nip", "name", "account"}, omit);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A control created and given its properties by the host, not yet shown.
struct Control {
    explicit Control(const QMap<QString, QVariant>& properties)
    {
        bag.values = properties;
        Lifecycle::ReadProperties(form, bag);
    }
    void show() { Lifecycle::UserControl_Show(form); }

    MapBag bag;
    RecordingMessages messages;
    Confirmation form{messages};
};

QMap<QString, QVariant> offLine(const QString& partnerIln = PartnerIln, const QString& level = {})
{
    return {{"OnLine", "Off"},
            {"PartnerILN", partnerIln},
            {"PartnerName", "ABC"},
            {"DebugLevel", level}};
}

} // namespace

class TestLifecycle : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<QTemporaryDir> m_folder;

    QString inFolder(const QString& name) const { return m_folder->filePath(name); }
    QString partnerFile(const QString& userIln, const QString& partnerIln = PartnerIln) const
    {
        return inFolder(userIln + "_" + partnerIln + "_partner_INFO.xml");
    }
    // The setting names the folder, which holds the user file and this partner's file.
    void prepareFolder(const QString& partnerIln = PartnerIln)
    {
        WorkingFolder::write(m_folder->path());
        writeFile(inFolder("userinfo.xml"), userInfo());
        writeFile(partnerFile(UserIln, partnerIln), partnerInfo());
    }

private slots:
    void init()
    {
        freshProcess("ru_RU");
        DebugLog::reset();
        m_settings = std::make_unique<QTemporaryDir>();
        m_folder = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings->path());
    }

    void startupStopsWithAMessage_data()
    {
        QTest::addColumn<bool>("setting");
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("partner");
        QTest::addColumn<QString>("message");
        const QByteArray none;
        QTest::newRow("no working folder setting")
            << false << none << none << "Нет определённого пути доступа к запасам.";
        QTest::newRow("no user file") << true << none << partnerInfo() << NoUser;
        QTest::newRow("a user file that is not XML") << true << QByteArray("<x>") << none << NoUser;
        QTest::newRow("off-line without a partner file") << true << userInfo() << none << NoPartner;
        QTest::newRow("off-line with a partner file without information")
            << true << userInfo() << QByteArray("<partner-info-response/>") << NoPartner;
    }

    void startupStopsWithAMessage()
    {
        QFETCH(bool, setting);
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, partner);
        QFETCH(QString, message);
        if (setting)
            WorkingFolder::write(m_folder->path());
        if (!user.isNull())
            writeFile(inFolder("userinfo.xml"), user);
        if (!partner.isNull())
            writeFile(partnerFile(UserIln), partner);

        Control c(offLine());
        c.show();
        QCOMPARE(c.messages.texts(), QStringList{message});
        QCOMPARE(c.messages.shown[0].title, "WEXA");
        QCOMPARE(c.messages.shown[0].icon, Message::Icon::Critical);
        QVERIFY(!c.form.isEnabled());

        // Showing it again repeats the message and enables nothing.
        c.show();
        QCOMPARE(c.messages.texts(), (QStringList{message, message}));
        QVERIFY(!c.form.isEnabled());
    }

    void userFileWithoutInformationLooksForAnUnnamedPartnerFile()
    {
        WorkingFolder::write(m_folder->path());
        writeFile(inFolder("userinfo.xml"), "<x><other/></x>");
        writeFile(partnerFile(QString()), partnerInfo());
        ProcessState::instance().user = {"4600000000099", "1", "Прежний", "2"};

        Control c(offLine());
        c.show();

        QCOMPARE(c.messages.texts(), QStringList{});
        QVERIFY(c.form.isEnabled());
        QCOMPARE(ProcessState::instance().user.iln, QString());
        QCOMPARE(ProcessState::instance().user.name, "Прежний");
    }

    void incompleteInformationIsAnErrorThatLeavesTheControlEnabled_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("partner");
        QTest::newRow("user information without nip") << userInfo({"nip"}) << partnerInfo();
        QTest::newRow("partner information without name") << userInfo() << partnerInfo({"name"});
    }

    void incompleteInformationIsAnErrorThatLeavesTheControlEnabled()
    {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, partner);
        WorkingFolder::write(m_folder->path());
        writeFile(inFolder("userinfo.xml"), user);
        writeFile(partnerFile(UserIln), partner);

        Control c(offLine());
        c.show();

        QCOMPARE(c.messages.titles(), QStringList{"Произошла ошибка в UserControl_Show()"});
        QCOMPARE(c.messages.shown[0].icon, Message::Icon::Critical);
        QVERIFY(c.form.isEnabled());
    }

    void onlyOffInThatCaseMeansOffLine_data()
    {
        QTest::addColumn<QVariant>("onLine");
        QTest::addColumn<bool>("offLine");
        QTest::newRow("Off is off-line") << QVariant("Off") << true;
        QTest::newRow("off in lower case is on-line") << QVariant("off") << false;
        QTest::newRow("OFF in upper case is on-line") << QVariant("OFF") << false;
        QTest::newRow("an absent property is on-line") << QVariant() << false;
    }

    void onlyOffInThatCaseMeansOffLine()
    {
        QFETCH(QVariant, onLine);
        QFETCH(bool, offLine);
        WorkingFolder::write(m_folder->path());
        writeFile(inFolder("userinfo.xml"), userInfo());
        QMap<QString, QVariant> properties{{"PartnerILN", PartnerIln}};
        if (onLine.isValid())
            properties.insert("OnLine", onLine);

        Control c(properties);
        QCOMPARE(c.form.field(Field::lblOnLineStatus), offLine ? "Off-Line" : "On-Line");
        QCOMPARE(c.form.isOn(Switch::btnPrzeslijVisible), !offLine);

        // Without a partner file only an off-line start-up stops; on-line outside a page
        // the server is never asked.
        c.show();
        QCOMPARE(c.messages.texts(), offLine ? QStringList{NoPartner} : QStringList{});
        QCOMPARE(c.form.isEnabled(), !offLine);
    }

    void priceColumnIsShownForOneBuyerOnly_data()
    {
        QTest::addColumn<QString>("partnerIln");
        QTest::addColumn<int>("width");
        QTest::newRow("the buyer that sees prices") << PriceBuyer << 2000;
        QTest::newRow("the other buyer with gross prices") << "4607162819998" << 0;
    }

    void priceColumnIsShownForOneBuyerOnly()
    {
        QFETCH(QString, partnerIln);
        QFETCH(int, width);
        prepareFolder(partnerIln);
        Control c(offLine(partnerIln));
        c.show();
        QCOMPARE(c.messages.texts(), QStringList{});
        QCOMPARE(c.form.lines().columnWidth(ColPrice), width);
    }

    void offLineStartupWithoutLinesChoosesFullAcceptance()
    {
        prepareFolder();
        Control c(offLine());
        c.form.selectCboxTyp(0);
        c.show();
        QCOMPARE(c.form.lineCount(), 0);
        QCOMPARE(c.form.cboxTyp(), 2);
        QCOMPARE(c.form.field(Field::lblILNKupWart), "Имя");
    }

    void terminateWritesBackTheFolderItRead_data()
    {
        QTest::addColumn<bool>("setting");
        QTest::addColumn<bool>("changedMeanwhile");
        QTest::newRow("the folder read at start-up") << true << false;
        QTest::newRow("the folder read at start-up over a later change") << true << true;
        QTest::newRow("no setting is stored as an empty one") << false << false;
    }

    void terminateWritesBackTheFolderItRead()
    {
        QFETCH(bool, setting);
        QFETCH(bool, changedMeanwhile);
        if (setting)
            prepareFolder();
        Control c(offLine());
        c.show();
        if (changedMeanwhile)
            WorkingFolder::write(QStringLiteral("/elsewhere"));

        Lifecycle::Terminate(c.form);

        const QSettings store(QSettings::NativeFormat, QSettings::UserScope, "WEXA");
        QVERIFY(store.contains("WexaActiveX/OffLinePath"));
        QCOMPARE(store.value("WexaActiveX/OffLinePath").toString(),
                 setting ? m_folder->path() : QString());
    }

    void debugLogFollowsTheLevel_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("partnerIln");
        QTest::addColumn<QStringList>("endings");
        const QString start = " Start logowania...";
        const QString check = " Czy PARTNER_ILN = %1 = DERUVE_ILN = 4607149599998";
        QTest::newRow("letters open no log") << "abc" << PartnerIln << QStringList{};
        QTest::newRow("level 0 opens no log") << "0" << PartnerIln << QStringList{};
        QTest::newRow("a negative level opens no log") << "-3" << PartnerIln << QStringList{};
        QTest::newRow("level 1 writes the start line") << "1" << PartnerIln << QStringList{start};
        QTest::newRow("level 2 adds nothing off-line") << "2" << PartnerIln << QStringList{start};
        QTest::newRow("level 4 ends with the partner check")
            << "4" << PriceBuyer << QStringList{start, check.arg(PriceBuyer)};
    }

    void debugLogFollowsTheLevel()
    {
        QFETCH(QString, level);
        QFETCH(QString, partnerIln);
        QFETCH(QStringList, endings);
        prepareFolder(partnerIln);
        Control c(offLine(partnerIln, level));
        c.show();

        const QString path = inFolder("ABCPotwierdzenie.log");
        QCOMPARE(QFile::exists(path), !endings.isEmpty());
        const QByteArray bytes = readFile(path);
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QStringList lines = QString::fromLatin1(bytes).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), endings.size());
        const QString today = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QVERIFY2(lines[i].startsWith(today + ' '), qPrintable(lines[i]));
            QVERIFY2(lines[i].endsWith(endings[i]), qPrintable(lines[i]));
        }
    }

    void debugLogIsReplacedByTheNextStart()
    {
        prepareFolder();
        const QString path = inFolder("ABCPotwierdzenie.log");
        writeFile(path, QByteArray(4096, 'x'));
        Control(offLine(PartnerIln, "1")).show();
        QCOMPARE(readFile(path).count("\r\n"), 1);

        freshProcess("ru_RU");
        DebugLog::reset();
        Control(offLine(PartnerIln, "1")).show();
        QCOMPARE(readFile(path).count("\r\n"), 1);
        QVERIFY(readFile(path).endsWith(" Start logowania...\r\n"));
    }

    void debugLogIsWindows1251Text()
    {
        const QString path = inFolder("log.txt");
        DebugLog::StartLog(path, 2);
        DebugLog::WriteLog(QStringLiteral("Проверка №1"), 2);
        DebugLog::WriteLog(QStringLiteral("above the level"), 3);
        const QList<QByteArray> lines = readFile(path).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[1].endsWith(" \xcf\xf0\xee\xe2\xe5\xf0\xea\xe0 \xb9"
                                  "1\r"));
    }

    void propertiesGoThroughTheHostsBag()
    {
        MapBag bag;
        bag.values = {{"OnLine", "Off"},
                      {"DebugLevel", "4"},
                      {"PartnerName", "ABC"},
                      {"PartnerILN", PartnerIln},
                      {"PartnerURL", "edi"}};
        bag.unreadable = {"OnLine", "PartnerName"};
        RecordingMessages messages;
        Confirmation form(messages);

        Lifecycle::ReadProperties(form, bag);
        QCOMPARE(form.field(Field::lblOnLineStatus), "On-Line");
        QCOMPARE(form.properties.debugLevel, "4");
        QCOMPARE(form.properties.partnerName, QString());
        QCOMPARE(form.partnerIln(), PartnerIln);
        QCOMPARE(form.properties.partnerUrl, "edi");

        form.setOnLine("Off");
        form.setDebugLevel("2");
        MapBag saved;
        Lifecycle::WriteProperties(form, saved);
        QCOMPARE(saved.values, (QMap<QString, QVariant>{{"OnLine", "Off"}, {"DebugLevel", "2"}}));
        QCOMPARE(messages.texts(), QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
