#include "TestSupport.h"

#include "control/PotwierdzenieZam.h"
#include "diagnostics/DebugLog.h"
#include "host/HostWindow.h"
#include "storage/ChooserDialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

using Field = Confirmation::Field;

namespace {

const QString UserIln = QStringLiteral("4607000000024");
const QString PartnerIln = QStringLiteral("4607000000017");
const QString PartnerName = QStringLiteral("АО Покупатель");
const QString SavedName = QStringLiteral("Подтверждение_заказа_Пз_ZK_2026_1187.xml");

// A window as the user launches it, shown.
struct Window {
    explicit Window(LaunchOptions options) : window(std::move(options)) { window.show(); }
    PotwierdzenieZam& control() { return *window.control(); }
    QString label(const char* name) { return control().findChild<QLabel*>(name)->text(); }
    QToolButton& button(const char* name) { return *control().button(QLatin1String(name)); }
    HostWindow window;
};

} // namespace

class TestHostWindow : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_home;
    QString m_work;
    QTimer m_boxCloser;
    QStringList m_boxes;

    QString config() const { return m_home.filePath(QStringLiteral("config")); }

    // Runs `act` inside the chooser's modal loop once it is on screen, and makes sure the
    // dialog is closed afterwards so that a failing step cannot hang the test.
    void whenChooserShown(const std::function<void(ChooserDialog&)>& act)
    {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, act] {
            ChooserDialog& chooser = ChooserDialog::instance();
            if (!chooser.isVisible())
                return;
            poll->stop();
            poll->deleteLater();
            act(chooser);
            if (chooser.isVisible())
                chooser.reject();
        });
        poll->start(20);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        freshProcess("ru_RU");
        DebugLog::reset();
        m_work = m_home.filePath(QStringLiteral("work"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_home.path());
        environment.insert("XDG_CONFIG_HOME", config());
        const auto run = [&environment](const QStringList& arguments) {
            QProcess process;
            process.setProcessEnvironment(environment);
            process.start(QStringLiteral(WEXA_BIN_DIR "/wexa-confirm"), arguments);
            return process.waitForFinished(30000) ? process.exitCode() : -1;
        };
        QCOMPARE(run({"setup", "--working-folder", m_work, "--user-iln", UserIln, "--user-name",
                      "ООО Поставщик", "--partner-iln", PartnerIln, "--partner-name", PartnerName}),
                 0);
        QVERIFY(QFile::exists(QDir(config()).filePath("WEXA.conf")));
        // A response saved earlier, for the window to load.
        QCOMPARE(run({"respond", WEXA_SOURCE_DIR "/samples/order.xml", "--partner-iln", PartnerIln,
                      "--user-iln", UserIln, "-o", QDir(m_work).filePath(SavedName)}),
                 0);

        // The window reads the setting the command wrote.
        qputenv("XDG_CONFIG_HOME", config().toLocal8Bit());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config());

        // The window shows real message boxes: close each one and remember its text.
        connect(&m_boxCloser, &QTimer::timeout, this, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (box && box->isVisible()) {
                    m_boxes.append(box->text());
                    box->done(QMessageBox::Ok);
                }
            }
        });
        m_boxCloser.start(50);
    }

    void startsOffLineLoadsAndSavesThenKeepsItsPropertiesOnClose()
    {
        QTemporaryDir out;
        const QString ini = out.filePath(QStringLiteral("control.ini"));
        LaunchOptions options;
        options.properties = {{"OnLine", "Off"},
                              {"PartnerILN", PartnerIln},
                              {"PartnerName", PartnerName},
                              {"DebugLevel", "1"}};
        options.propertyFile = ini;
        Window w(std::move(options));
        // The start-up runs once the window is on screen; it ends by showing the buyer.
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QTRY_COMPARE(w.window.form().field(Field::lblILNKupWart), PartnerName);
        QVERIFY(w.control().isEnabled());
        QCOMPARE(w.label("lblOnLineStatus"), "Off-Line");
        QVERIFY(w.button("btnPrzeslij").isHidden());
        QCOMPARE(w.label("lblILNSprzedWart"), "ООО Поставщик");

        // WHEN the saved response is picked in the chooser's file list
        whenChooserShown([this](ChooserDialog& chooser) {
            chooser.setFolder(m_work);
            auto* files = chooser.findChild<QListWidget*>(QStringLiteral("FileList"));
            if (QListWidgetItem* item = files->findItems(SavedName, Qt::MatchExactly).value(0)) {
                files->scrollToItem(item);
                QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                                  files->visualItemRect(item).center());
            }
            QTest::mouseClick(chooser.findChild<QToolButton*>("ImageWczytaj"), Qt::LeftButton);
        });
        QTest::mouseClick(&w.button("btnWczytaj"), Qt::LeftButton);

        // THEN the form holds it
        QCOMPARE(m_boxes, QStringList{});
        QCOMPARE(w.label("txtNrPotw"), "Пз_ZK/2026/1187");
        QCOMPARE(w.window.form().lineCount(), 3);
        QCOMPARE(w.window.form().lines().text(2, 4), "48,000");
        QVERIFY(w.control().isEnabled());

        // WHEN it is saved under the proposed name into another folder
        whenChooserShown([&out](ChooserDialog& chooser) {
            chooser.setFolder(out.path());
            QTest::mouseClick(chooser.findChild<QToolButton*>("ImageZapisz"), Qt::LeftButton);
        });
        QTest::mouseClick(&w.button("btnZapisz"), Qt::LeftButton);

        // THEN the file is the confirmation
        QCOMPARE(m_boxes, QStringList{});
        QFile file(QDir(out.path()).filePath(SavedName));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString written = QString::fromUtf8(file.readAll());
        QVERIFY2(written.contains("<OrderResponseNumber>Пз_ZK/2026/1187</OrderResponseNumber>"),
                 qPrintable(written));
        QVERIFY(written.contains("<QuantityToBeDelivered>48.000</QuantityToBeDelivered>"));
        QVERIFY(w.control().isEnabled());

        // WHEN a script changes the level and the window is closed
        QVERIFY(w.control().setProperty("DebugLevel", "3"));
        w.window.close();

        // THEN the properties, the log and the working folder are kept for the next launch
        const QSettings kept(ini, QSettings::IniFormat);
        QCOMPARE(kept.value("OnLine").toString(), "Off");
        QCOMPARE(kept.value("DebugLevel").toString(), "3");
        QVERIFY(!kept.contains("PartnerILN"));
        QVERIFY(QFile::exists(QDir(m_work).filePath(PartnerName + "Potwierdzenie.log")));
        const QSettings setting(QSettings::NativeFormat, QSettings::UserScope, "WEXA");
        QCOMPARE(setting.value("WexaActiveX/OffLinePath").toString(),
                 QDir::toNativeSeparators(m_work));
    }
};

QTEST_MAIN(TestHostWindow)
#include "tst_hostwindow.moc"
