#include "CoreTable.h"
#include "OrderForm.h"

#include "core/form/Automation.h"
#include "core/form/Host.h"
#include "ui/control/PotwierdzenieZam.h"

#include <QSignalSpy>

constexpr quint32 S_OK = 0, E_NOINTERFACE = 0x80004002, E_FAIL = 0x80004005;
// What `enabled` holds before the question; a value no answer gives.
constexpr quint32 Untouched = 0xA5;

class TestAutomation : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess("ru_RU"); }

    void safetyOptions_data()
    {
        columns<QUuid, quint32, quint32, quint32, quint32, quint32>("iid", "read", "enabled",
                                                                    "mask", "options", "set");
        QTest::newRow("IDispatch is safe for scripting only")
            << QUuid("{00020400-0000-0000-C000-000000000046}") << S_OK << 1u << 3u << 3u << E_FAIL;
        QTest::newRow("lower-case IPersistPropertyBag is safe for initialising, masked to it")
            << QUuid("{37d84f60-42cb-11ce-8135-00aa004bb851}") << S_OK << 2u << 2u << 3u << S_OK;
        QTest::newRow("IPersistStream asked for nothing is refused")
            << QUuid("{00000109-0000-0000-C000-000000000046}") << S_OK << 2u << 2u << 0u << E_FAIL;
        QTest::newRow("IObjectSafety is an interface outside the table")
            << QUuid("{CB5BDC81-93C1-11CF-8F20-00805F2CD064}") << E_NOINTERFACE << Untouched << 1u
            << 1u << E_NOINTERFACE;
    }
    void safetyOptions()
    {
        const auto [iid, mask, options] = fetch<QUuid, quint32, quint32>("iid", "mask", "options");
        uint32_t supported = 0, enabled = Untouched;

        QTEST(quint32(Automation::GetInterfaceSafetyOptions(iid, supported, enabled)), "read");
        QCOMPARE(supported, 3u);
        QTEST(quint32(enabled), "enabled");
        QTEST(quint32(Automation::SetInterfaceSafetyOptions(iid, mask, options)), "set");
    }

    // A page's script sets the two properties through the control's meta-object: each is
    // kept, the host is told, and OnLine switches the mode at once.
    void propertiesSetFromScript_data()
    {
        columns<QByteArray, QString, QString, QString>("property", "value", "readBack", "mode");
        auto row = [](const char* name, const char* property, const char* value,
                      const char* readBack, const char* mode = "On-Line") {
            QTest::newRow(name) << QByteArray(property) << value << readBack << mode;
        };
        row("Off goes off-line", "OnLine", "Off", "Off", "Off-Line");
        row("any other case stays on-line", "OnLine", "OFF", "OFF");
        row("a level is kept for the next start-up", "DebugLevel", "4", "4");
        row("a level that is no 16-bit number reads back as 0", "DebugLevel", "70000", "0");
    }
    void propertiesSetFromScript()
    {
        const auto [property, value, mode] =
            fetch<QByteArray, QString, QString>("property", "value", "mode");
        struct Page : Host {
            void propertyChanged(const QString& name) override { changed.append(name); }
            QStringList changed;
        } page;
        OrderForm f;
        f.form.setHost(page);
        PotwierdzenieZam control{f.form};

        QVERIFY(control.setProperty(property.constData(), value));

        QCOMPARE(page.changed, QStringList{QString::fromLatin1(property)});
        QTEST(control.property(property.constData()).toString(), "readBack");
        QCOMPARE(f.form.field(Confirmation::Field::lblOnLineStatus), mode);
        QCOMPARE(f.form.isOn(Confirmation::Switch::btnPrzeslijVisible), mode == "On-Line");
    }

    // The control as a page's script reaches it: only through its meta-object.
    void scriptCallsReachTheForm()
    {
        OrderForm f;
        PotwierdzenieZam control{f.form};
        const auto index = [&control](const char* method, qint16 r, qint16 c) {
            qint16 result = -1;
            if (!QMetaObject::invokeMethod(&control, method, Qt::DirectConnection,
                                           Q_RETURN_ARG(qint16, result), Q_ARG(qint16, r),
                                           Q_ARG(qint16, c)))
                qFatal("%s cannot be invoked", method);
            return result;
        };
        QString unit;
        QVERIFY(QMetaObject::invokeMethod(&control, "JednostkiMiaryNazwaToSymbol",
                                          Qt::DirectConnection, Q_RETURN_ARG(QString, unit),
                                          Q_ARG(QString, QStringLiteral("КИЛОГРАММ"))));

        QCOMPARE(unit, "KGM");
        QCOMPARE(index("IndexGrdPozycje", 1, 0), 19);
        QCOMPARE(index("IndexGrdSuma", 1, 1), 3);
        QCOMPARE(index("IndexGrdPozycje", 1724, 11), 32767);
        // An index past the largest reaches the caller as run-time error 6, not as a message.
        QSignalSpy raised(&control, &PotwierdzenieZam::exception);
        QCOMPARE(index("IndexGrdPozycje", 1724, 12), 0);
        QCOMPARE(index("IndexGrdSuma", 16384, 0), 0);
        QCOMPARE(raised.size(), 2);
        QCOMPARE(raised.at(0).mid(0, 2), (QVariantList{6, "IndexGrdPozycje"}));
        QCOMPARE(raised.at(1).mid(0, 2), (QVariantList{6, "IndexGrdSuma"}));
        QCOMPARE(f.messages.texts(), QStringList{});
    }
};

QTEST_MAIN(TestAutomation)
#include "tst_automation.moc"
