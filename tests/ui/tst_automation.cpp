#include "RecordingMessages.h"
#include "TestSupport.h"

#include "control/Automation.h"
#include "control/Confirmation.h"
#include "control/Host.h"
#include "control/PotwierdzenieZam.h"
#include "control/RuntimeError.h"

#include <QLabel>
#include <QTest>
#include <QToolButton>

namespace {

const QString IDispatch = QStringLiteral("{00020400-0000-0000-C000-000000000046}");
const QString IPersistStorage = QStringLiteral("{0000010A-0000-0000-C000-000000000046}");
const QString IPersistStream = QStringLiteral("{00000109-0000-0000-C000-000000000046}");
const QString IPersistPropertyBag = QStringLiteral("{37D84F60-42CB-11CE-8135-00AA004BB851}");
const QString IObjectSafety = QStringLiteral("{CB5BDC81-93C1-11CF-8F20-00805F2CD064}");

constexpr quint32 S_OK = 0;
constexpr quint32 E_NOINTERFACE = 0x80004002;
constexpr quint32 E_FAIL = 0x80004005;
// What `enabled` holds before the question; a value no answer gives.
constexpr quint32 Untouched = 0xA5;

std::optional<QUuid> identifier(const QString& text)
{
    return text.isEmpty() ? std::nullopt : std::optional<QUuid>(QUuid(text));
}

class RecordingHost : public Host {
public:
    void propertyChanged(const QString& name) override { changed.append(name); }
    QStringList changed;
};

// The control as a page's script reaches it: only through its meta-object.
struct Scripted {
    Scripted() { form.setHost(host); }

    QVariant property(const char* name) const { return control.property(name); }
    qint16 invokeIndex(const char* method, qint16 r, qint16 c)
    {
        qint16 result = -1;
        if (!QMetaObject::invokeMethod(&control, method, Qt::DirectConnection,
                                       Q_RETURN_ARG(qint16, result), Q_ARG(qint16, r),
                                       Q_ARG(qint16, c)))
            qFatal("%s cannot be invoked", method);
        return result;
    }
    QString label(const char* name) const
    {
        return control.findChild<QLabel*>(QLatin1String(name))->text();
    }

    RecordingMessages messages;
    RecordingHost host;
    Confirmation form{messages};
    PotwierdzenieZam control{form};
};

} // namespace

class TestAutomation : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess("ru_RU"); }

    void readingSafetyOptions_data()
    {
        QTest::addColumn<QString>("iid");
        QTest::addColumn<quint32>("result");
        QTest::addColumn<quint32>("enabled");
        QTest::newRow("scripting through IDispatch") << IDispatch << S_OK << 1u;
        QTest::newRow("initialising through IPersistPropertyBag")
            << IPersistPropertyBag << S_OK << 2u;
        QTest::newRow("initialising through IPersistStorage") << IPersistStorage << S_OK << 2u;
        QTest::newRow("an identifier in lower case") << IPersistPropertyBag.toLower() << S_OK << 2u;
        QTest::newRow("an interface outside the table")
            << IObjectSafety << E_NOINTERFACE << Untouched;
        QTest::newRow("no identifier") << QString() << S_OK << Untouched;
    }

    void readingSafetyOptions()
    {
        QFETCH(QString, iid);
        QFETCH(quint32, result);
        QFETCH(quint32, enabled);
        uint32_t supported = 0;
        uint32_t shownEnabled = Untouched;

        QCOMPARE(Automation::GetInterfaceSafetyOptions(identifier(iid), supported, shownEnabled),
                 result);
        QCOMPARE(supported, 3u);
        QCOMPARE(shownEnabled, enabled);
    }

    void settingSafetyOptions_data()
    {
        QTest::addColumn<QString>("iid");
        QTest::addColumn<quint32>("mask");
        QTest::addColumn<quint32>("options");
        QTest::addColumn<quint32>("result");
        QTest::newRow("IDispatch asked for scripting only") << IDispatch << 1u << 1u << S_OK;
        QTest::newRow("IDispatch masked down to scripting") << IDispatch << 3u << 1u << S_OK;
        QTest::newRow("IDispatch asked for both") << IDispatch << 3u << 3u << E_FAIL;
        QTest::newRow("IPersistStream asked for nothing") << IPersistStream << 2u << 0u << E_FAIL;
        QTest::newRow("IPersistStream asked for initialising")
            << IPersistStream << 2u << 2u << S_OK;
        QTest::newRow("IPersistStorage masked down to initialising")
            << IPersistStorage << 2u << 3u << S_OK;
        QTest::newRow("an interface outside the table")
            << IObjectSafety << 1u << 1u << E_NOINTERFACE;
        QTest::newRow("no identifier") << QString() << 3u << 3u << S_OK;
    }

    void settingSafetyOptions()
    {
        QFETCH(QString, iid);
        QFETCH(quint32, mask);
        QFETCH(quint32, options);
        QFETCH(quint32, result);
        QCOMPARE(Automation::SetInterfaceSafetyOptions(identifier(iid), mask, options), result);
    }

    void scriptSetsOnLine_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("sendShown");
        QTest::newRow("Off goes off-line") << "Off"
                                           << "Off-Line" << false;
        QTest::newRow("off in lower case stays on-line") << "off"
                                                         << "On-Line" << true;
        QTest::newRow("On goes on-line") << "On"
                                         << "On-Line" << true;
    }

    void scriptSetsOnLine()
    {
        QFETCH(QString, value);
        QFETCH(QString, status);
        QFETCH(bool, sendShown);
        Scripted s;
        s.form.setOnLine(sendShown ? "Off" : "On");
        s.host.changed.clear();

        QVERIFY(s.control.setProperty("OnLine", value));

        QCOMPARE(s.property("OnLine").toString(), value);
        QCOMPARE(s.label("lblOnLineStatus"), status);
        QCOMPARE(s.control.button("btnPrzeslij")->isHidden(), !sendShown);
        QCOMPARE(s.host.changed, QStringList{"OnLine"});
    }

    void scriptSetsDebugLevel()
    {
        Scripted s;

        QVERIFY(s.control.setProperty("DebugLevel", "4"));
        QCOMPARE(s.property("DebugLevel").toString(), "4");
        QVERIFY(s.control.setProperty("DebugLevel", "abc"));
        QCOMPARE(s.property("DebugLevel").toString(), "0");

        QCOMPARE(s.host.changed, (QStringList{"DebugLevel", "DebugLevel"}));
    }

    void cellIndexes_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<int>("r");
        QTest::addColumn<int>("c");
        QTest::addColumn<int>("index"); // 0x10000 when it overflows
        const QByteArray lines("IndexGrdPozycje");
        const QByteArray summary("IndexGrdSuma");
        QTest::newRow("first line of the line table") << lines << 1 << 0 << 19;
        QTest::newRow("the largest line-table index") << lines << 1724 << 11 << 32767;
        QTest::newRow("one past it overflows") << lines << 1724 << 12 << 0x10000;
        QTest::newRow("the smallest line-table index") << lines << -1724 << -12 << -32768;
        QTest::newRow("one below it overflows") << lines << -1724 << -13 << 0x10000;
        QTest::newRow("the summary total") << summary << 1 << 1 << 3;
        QTest::newRow("past the largest summary index overflows")
            << summary << 16384 << 0 << 0x10000;
    }

    void cellIndexes()
    {
        QFETCH(QByteArray, method);
        QFETCH(int, r);
        QFETCH(int, c);
        QFETCH(int, index);
        Scripted s;
        int result = 0;
        try {
            result = s.invokeIndex(method.constData(), qint16(r), qint16(c));
        } catch (const RuntimeError& e) {
            // The overflow reaches the caller as run-time error 6, not as a message.
            QCOMPARE(e.number(), 6);
            result = 0x10000;
        }
        QCOMPARE(result, index);
        QCOMPARE(s.messages.texts(), QStringList{});
    }

    void unitNamesBecomeCodes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("code");
        QTest::newRow("a known name") << "Штука"
                                      << "PCE";
        QTest::newRow("a known name in capitals") << "КИЛОГРАММ"
                                                  << "KGM";
        QTest::newRow("a code passes through") << "PCE"
                                               << "PCE";
        QTest::newRow("an unknown name is kept with its case") << "Sztuka"
                                                               << "Sztuka";
    }

    void unitNamesBecomeCodes()
    {
        QFETCH(QString, name);
        QFETCH(QString, code);
        Scripted s;
        QString result;
        QVERIFY(QMetaObject::invokeMethod(&s.control, "JednostkiMiaryNazwaToSymbol",
                                          Qt::DirectConnection, Q_RETURN_ARG(QString, result),
                                          Q_ARG(QString, name)));
        QCOMPARE(result, code);
    }
};

QTEST_MAIN(TestAutomation)
#include "tst_automation.moc"
