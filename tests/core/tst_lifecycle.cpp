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

namespace {

const QString UserIln = QStringLiteral("4600000000010");
const QString PartnerIln = QStringLiteral("4607000000017");
const QString PriceBuyer = QStringLiteral("4607149599998");
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
    explicit Control(const QString& partnerIln = PartnerIln, const QString& level = {},
                     const QVariant& onLine = "Off")
    {
        bag.values = {{"PartnerILN", partnerIln}, {"PartnerName", "ABC"}, {"DebugLevel", level}};
        if (onLine.isValid())
            bag.values.insert("OnLine", onLine);
        Lifecycle::ReadProperties(form, bag);
    }
    void show() { Lifecycle::UserControl_Show(form); }
    MapBag bag;
    RecordingMessages messages;
    Confirmation form{messages};
};

} // namespace

class TestLifecycle : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_folder;

    QString inFolder(const QString& name) const { return m_folder->filePath(name); }
    // The setting names the folder, which holds the given user file and partner file.
    void prepareFolder(const QByteArray& user = userInfo(),
                       const QByteArray& partner = partnerInfo(),
                       const QString& partnerIln = PartnerIln)
    {
        WorkingFolder::write(m_folder->path());
        if (!user.isNull())
            writeFile(inFolder("userinfo.xml"), user);
        if (!partner.isNull())
            writeFile(inFolder(UserIln + "_" + partnerIln + "_partner_INFO.xml"), partner);
    }

private slots:
    void init()
    {
        static QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "WEXA").clear();
        freshProcess("ru_RU");
        DebugLog::reset();
        m_folder = std::make_unique<QTemporaryDir>();
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
    }
    void startupStopsWithAMessage()
    {
        QFETCH(bool, setting);
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, partner);
        QFETCH(QString, message);
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

    void onlyOffInThatCaseMeansOffLine_data()
    {
        QTest::addColumn<QVariant>("onLine");
        QTest::addColumn<bool>("offLine");
        QTest::newRow("Off is off-line") << QVariant("Off") << true;
        QTest::newRow("off in lower case is on-line") << QVariant("off") << false;
        QTest::newRow("an absent property is on-line") << QVariant() << false;
    }
    void onlyOffInThatCaseMeansOffLine()
    {
        QFETCH(QVariant, onLine);
        QFETCH(bool, offLine);
        prepareFolder(userInfo(), {});
        Control c(PartnerIln, {}, onLine);
        QCOMPARE(c.form.field(Confirmation::Field::lblOnLineStatus),
                 offLine ? "Off-Line" : "On-Line");
        QCOMPARE(c.form.isOn(Confirmation::Switch::btnPrzeslijVisible), !offLine);
        // Without a partner file only an off-line start-up stops.
        c.show();
        QCOMPARE(c.messages.texts(), offLine ? QStringList{NoPartner} : QStringList{});
        QCOMPARE(c.form.isEnabled(), !offLine);
    }

    void priceColumnIsShownForOneBuyerOnly_data()
    {
        QTest::addColumn<QString>("partnerIln");
        QTest::addColumn<int>("width");
        QTest::newRow("the buyer that sees prices") << PriceBuyer << 2000;
        QTest::newRow("another buyer") << "4607162819998" << 0;
    }
    void priceColumnIsShownForOneBuyerOnly()
    {
        QFETCH(QString, partnerIln);
        prepareFolder(userInfo(), partnerInfo(), partnerIln);
        Control c(partnerIln);
        c.show();
        QCOMPARE(c.messages.texts(), QStringList{});
        QTEST(c.form.lines().columnWidth(ColPrice), "width");
    }

    void terminateWritesBackTheFolderItRead_data()
    {
        QTest::addColumn<bool>("setting");
        QTest::newRow("the folder read at start-up over a later change") << true;
        QTest::newRow("no setting is stored as an empty one") << false;
    }
    void terminateWritesBackTheFolderItRead()
    {
        QFETCH(bool, setting);
        if (setting)
            prepareFolder();
        Control c;
        c.show();
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
        prepareFolder(userInfo(), partnerInfo(), partnerIln);
        const QString path = inFolder("ABCPotwierdzenie.log");
        if (!endings.isEmpty())
            writeFile(path, QByteArray(4096, 'x')); // a previous run's log is replaced
        Control c(partnerIln, level);
        c.show();
        QCOMPARE(QFile::exists(path), !endings.isEmpty());
        const QByteArray bytes = readFile(path);
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        const QStringList lines = QString::fromLatin1(bytes).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), endings.size());
        const QString today = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QVERIFY2(lines[i].startsWith(today + ' '), qPrintable(lines[i]));
            QVERIFY2(lines[i].endsWith(endings[i]), qPrintable(lines[i]));
        }
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
};

QTEST_GUILESS_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
