#include "OrderForm.h"

#include "core/form/Automation.h"
#include "core/form/Host.h"
#include "core/form/RuntimeError.h"
#include "ui/control/PotwierdzenieZam.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QString IDispatch = QStringLiteral("{00020400-0000-0000-C000-000000000046}");
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

} // namespace

class TestAutomation : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess("ru_RU"); }

    void safetyOptions_data()
    {
        QTest::addColumn<QString>("iid");
        QTest::addColumn<quint32>("read");
        QTest::addColumn<quint32>("enabled");
        QTest::addColumn<quint32>("mask");
        QTest::addColumn<quint32>("options");
        QTest::addColumn<quint32>("set");
        QTest::newRow("IDispatch is safe for scripting only")
            << IDispatch << S_OK << 1u << 3u << 3u << E_FAIL;
        QTest::newRow("a lower-case identifier is safe for initialising, masked down to it")
            << IPersistPropertyBag.toLower() << S_OK << 2u << 2u << 3u << S_OK;
        QTest::newRow("IPersistStream asked for nothing is refused")
            << IPersistStream << S_OK << 2u << 2u << 0u << E_FAIL;
        QTest::newRow("an interface outside the table")
            << IObjectSafety << E_NOINTERFACE << Untouched << 1u << 1u << E_NOINTERFACE;
    }

    void safetyOptions()
    {
        QFETCH(QString, iid);
        QFETCH(quint32, mask);
        QFETCH(quint32, options);
        uint32_t supported = 0, enabled = Untouched;

        QTEST(quint32(Automation::GetInterfaceSafetyOptions(identifier(iid), supported, enabled)),
              "read");
        QCOMPARE(supported, 3u);
        QTEST(quint32(enabled), "enabled");
        QTEST(quint32(Automation::SetInterfaceSafetyOptions(identifier(iid), mask, options)),
              "set");
    }

    // A page's script sets the two properties through the control's meta-object: each is
    // kept, the host is told, and OnLine switches the mode at once.
    void propertiesSetFromScript_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("readBack");
        QTest::addColumn<QString>("mode"); // the status label afterwards
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
        QFETCH(QByteArray, property);
        QFETCH(QString, value);
        QFETCH(QString, mode);
        struct Page : Host {
            void propertyChanged(const QString& name) override { changed.append(name); }
            QStringList changed;
        } page;
        OrderForm f;
        Confirmation& form = f.form;
        form.setHost(page);
        PotwierdzenieZam control{form};

        QVERIFY(control.setProperty(property.constData(), value));

        QCOMPARE(page.changed, QStringList{QString::fromLatin1(property)});
        QTEST(control.property(property.constData()).toString(), "readBack");
        QCOMPARE(form.field(Confirmation::Field::lblOnLineStatus), mode);
        QCOMPARE(form.isOn(Confirmation::Switch::btnPrzeslijVisible), mode == "On-Line");
    }

    void scriptCallsReachTheForm()
    {
        // The control as a page's script reaches it: only through its meta-object.
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
        // An index past the largest reaches the caller as run-time error 6, not as a message.
        QSignalSpy raised(&control, &PotwierdzenieZam::exception);
        QCOMPARE(index("IndexGrdPozycje", 1724, 12), 0);
        QCOMPARE(index("IndexGrdSuma", 16384, 0), 0);
        QCOMPARE(raised.size(), 2);
        QCOMPARE(raised.at(0).mid(0, 2), (QVariantList{6, "IndexGrdPozycje"}));
        QCOMPARE(raised.at(1).at(1).toString(), "IndexGrdSuma");
        QCOMPARE(f.messages.texts(), QStringList{});
    }
};

QTEST_MAIN(TestAutomation)
#include "tst_automation.moc"
