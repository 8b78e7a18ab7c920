#include "AppTest.h"
#include "CoreTable.h"

#include "app/host/Translations.h"
#include "app/host/WindowPlacement.h"
#include "ui/storage/ChooserDialog.h"

#include <QLibraryInfo>
#include <QListWidget>
#include <QScreen>
#include <QTranslator>

using Event = std::function<void(Host&)>;
Q_DECLARE_METATYPE(Event)

using namespace DocumentTexts;
const QString PartnerName = QStringLiteral("АО Покупатель");
const QString SavedName = QStringLiteral("Подтверждение_заказа_Пз_ZK_2026_1187.xml");

class TestHostWindow : public QObject {
    Q_OBJECT
private:
    UserHome m_home;
    QString m_work = m_home.work();
    OnScreen::BoxAnswerer m_boxes;

    // Runs `act` in the chooser once it is on screen, then closes it if `act` did not.
    void whenChooserShown(const std::function<void(ChooserDialog&)>& act)
    {
        OnScreen::whenShown<ChooserDialog>(this, [act](ChooserDialog& chooser) {
            act(chooser);
            chooser.close();
            return true;
        });
    }

private slots:
    void initTestCase()
    {
        freshProcess("ru_RU");
        QVERIFY(setUpSellerAndBuyer(m_home));
        QVERIFY(QFile::exists(QDir(m_home.config()).filePath("WEXA.conf")));
        // A response saved earlier by the command line, for the window to load.
        const Ran respond{Run{.arguments = {"respond", WEXA_SOURCE_DIR "/samples/order.xml",
                                            "--partner-iln", BuyerIln, "--user-iln", SellerIln,
                                            "-o", QDir(m_work).filePath(SavedName)}}()};
        QCOMPARE(respond.exitCode, 0);
        m_boxes.answer = QMessageBox::Ok;
    }

    void startsOffLineLoadsAndSavesThenKeepsItsPropertiesOnClose()
    {
        QTemporaryDir out;
        const QString ini = out.filePath(QStringLiteral("control.ini"));
        LaunchOptions options = UserHome::offLine(BuyerIln, PartnerName);
        options.properties.insert("DebugLevel", "1");
        options.propertyFile = ini;
        // The start-up runs once the window is on screen; it ends by showing the buyer.
        const auto w = startedWindow(std::move(options));
        QVERIFY(w);
        PotwierdzenieZam& control = *w->control();
        const auto label = [&control](const char* name) {
            return control.findChild<QLabel*>(name)->text();
        };
        QTRY_COMPARE(w->form().field(Confirmation::Field::lblILNKupWart), PartnerName);
        QVERIFY(control.isEnabled());
        QCOMPARE(label("lblOnLineStatus"), "Off-Line");
        QVERIFY(control.button("btnPrzeslij")->isHidden());
        QCOMPARE(label("lblILNSprzedWart"), "ООО Поставщик");

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
        QTest::mouseClick(control.button("btnWczytaj"), Qt::LeftButton);

        QCOMPARE(m_boxes.texts, QStringList{});
        QCOMPARE(label("txtNrPotw"), "Пз_ZK/2026/1187");
        QCOMPARE(w->form().lineCount(), 3);
        QCOMPARE(w->form().lines().text(2, 4), "48,000");
        QVERIFY(control.isEnabled());

        // WHEN it is saved under the proposed name into another folder
        whenChooserShown([&out](ChooserDialog& chooser) {
            chooser.setFolder(out.path());
            QTest::mouseClick(chooser.findChild<QToolButton*>("ImageZapisz"), Qt::LeftButton);
        });
        QTest::mouseClick(control.button("btnZapisz"), Qt::LeftButton);

        QCOMPARE(m_boxes.texts, QStringList{});
        const QString path = out.filePath(SavedName);
        const QByteArray written = readFile(path);
        QVERIFY(written.contains("<OrderResponseNumber>Пз_ZK/2026/1187</OrderResponseNumber>"));
        QVERIFY(written.contains("<QuantityToBeDelivered>48.000</QuantityToBeDelivered>"));
        QVERIFY(control.isEnabled());
        QCOMPARE(w->statusBar()->currentMessage(),
                 "Подтверждение записано в файл " + QDir::toNativeSeparators(path));

        QVERIFY(control.setProperty("DebugLevel", "3"));
        w->close();

        // The window keeps the line and the level, not the partner given on its command line.
        QCOMPARE(readFile(ini), "[General]\nDebugLevel=3\nOnLine=Off\n");
        QVERIFY(QFile::exists(QDir(m_work).filePath(PartnerName + "Potwierdzenie.log")));
        const QSettings setting(QSettings::NativeFormat, QSettings::UserScope, "WEXA");
        QCOMPARE(setting.value("WexaActiveX/OffLinePath").toString(),
                 QDir::toNativeSeparators(m_work));
    }

    void standardButtonsSpeakTheUsersLanguage_data()
    {
        columns<QString, QStringList>("locale", "buttons");
        QTest::newRow("a Russian user reads Да and Нет") << "ru_RU" << QStringList{"&Да", "&Нет"};
        QTest::newRow("an English user reads Yes and No") << "en_GB" << QStringList{"&Yes", "&No"};
    }

    void standardButtonsSpeakTheUsersLanguage()
    {
        QFETCH(QString, locale);
        const QString file = QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath))
                                 .filePath("qtbase_" + locale.section('_', 0, 0) + ".qm");
        if (!QFile::exists(file))
            QSKIP(qPrintable(file + " is missing (package qt6-translations-l10n)"));
        const std::unique_ptr<QTranslator> translator(
            Translations::install(*qApp, QLocale(locale)));
        QMessageBox box(QMessageBox::Question, "WEXA", "?", QMessageBox::Yes | QMessageBox::No);
        QTEST((QStringList{box.button(QMessageBox::Yes)->text(),
                           box.button(QMessageBox::No)->text()}),
              "buttons");
    }

    void quietEventsAreToldInTheStatusBar_data()
    {
        columns<Event, QString>("event", "status");
        QTest::newRow("an empty mailbox is told")
            << Event([](Host& host) { host.noOrderWaiting(); })
            << "На сервере нет ожидающих заказов.";
        QTest::newRow("a sent response names its number")
            << Event([](Host& host) { host.responseSent("Пз_ZK/2026/1187"); })
            << "Подтверждение Пз_ZK/2026/1187 отправлено.";
    }

    void quietEventsAreToldInTheStatusBar()
    {
        QFETCH(Event, event);
        const auto w = startedWindow(UserHome::offLine(BuyerIln));
        QVERIFY(w);
        QTRY_VERIFY(!w->form().field(Confirmation::Field::lblILNSprzedWart).isEmpty());
        m_boxes.clear();
        event(*w);
        QTEST(w->statusBar()->currentMessage(), "status");
        QTest::qWait(100);
        QCOMPARE(m_boxes.texts, QStringList{});
    }

    void placementKeepsTheWindowInsideTheAvailableArea_data()
    {
        columns<QRect, QRect>("wanted", "placed");
        // A laptop screen with a panel along its bottom edge.
        QTest::newRow("a window that fits stays where it is")
            << QRect(100, 50, 900, 600) << QRect(100, 50, 900, 600);
        QTest::newRow("the default size is shrunk to the screen's height")
            << QRect(83, -26, 1200, 820) << QRect(83, 0, 1200, 736);
        QTest::newRow("a window past the right and bottom edges is moved back")
            << QRect(900, 500, 600, 400) << QRect(766, 336, 600, 400);
        QTest::newRow("a window of a screen no longer attached comes back whole")
            << QRect(-2500, 1400, 800, 600) << QRect(0, 136, 800, 600);
        QTest::newRow("a window larger than the screen fills it")
            << QRect(-10, -10, 3000, 2000) << QRect(0, 0, 1366, 736);
    }

    void placementKeepsTheWindowInsideTheAvailableArea()
    {
        QFETCH(QRect, wanted);
        QTEST(WindowPlacement::fitted(wanted, QRect(0, 0, 1366, 736)), "placed");
    }

    void windowOpensOnTheScreenWhereItWasLeft_data()
    {
        columns<QRect, bool>("left", "same");
        QTest::newRow("a window left on the screen opens there again")
            << QRect(40, 60, 1300, 600) << true;
        QTest::newRow("a window left partly off the screen opens inside it")
            << QRect(600, 400, 1300, 600) << false;
    }

    void windowOpensOnTheScreenWhereItWasLeft()
    {
        QFETCH(QRect, left);
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        auto first = startedWindow(UserHome::offLine(BuyerIln));
        // A new window fits the screen, its frame included.
        QVERIFY(first && QTest::qWaitForWindowExposed(first.get()));
        QVERIFY2(available.contains(first->frameGeometry()),
                 qPrintable(QDebug::toString(first->frameGeometry())));
        first->setGeometry(left);
        first->close();
        first.reset();
        const auto next = startedWindow(UserHome::offLine(BuyerIln));
        QVERIFY(next && QTest::qWaitForWindowExposed(next.get()));
        QTEST(next->geometry() == left, "same");
        QCOMPARE(next->size(), left.size());
        QVERIFY(available.contains(next->frameGeometry()));
        next->close();
        // The window's place is kept apart from the control's setting.
        QCOMPARE(QSettings(QSettings::NativeFormat, QSettings::UserScope, "WEXA").allKeys(),
                 (QStringList{"ChangesPanel/visible", "HostWindow/geometry", "HostWindow/maximized",
                              "WexaActiveX/OffLinePath"}));
    }
};

int main(int argc, char* argv[])
{
    // Without a display the window opens on a laptop's screen of 1366×768, where it must fit.
    const QString screen = QDir::temp().filePath(
        QStringLiteral("wexa-laptop-screen-%1.json").arg(QCoreApplication::applicationPid()));
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        if (!writeFile(screen, R"({"windowFrameMargins": true, "screens": [{"name": "laptop",
                "x": 0, "y": 0, "width": 1366, "height": 768, "logicalDpi": 96,
                "logicalBaseDpi": 96, "dpr": 1}]})"))
            return 1;
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screen.toLocal8Bit());
    }
    QApplication app(argc, argv);
    QFile::remove(screen);
    TestHostWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_hostwindow.moc"
