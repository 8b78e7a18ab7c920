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
#include <memory>

using Field = Confirmation::Field;

namespace {

const QString UserIln = QStringLiteral("4600000000010");
const QString PartnerIln = QStringLiteral("4607000000017");
const QString PartnerName = QStringLiteral("АО Покупатель");
const QString SavedName = QStringLiteral("Подтверждение_заказа_Пз_7.xml");

QString savedResponse()
{
    QString lines;
    for (int n = 1; n <= 2; ++n)
        lines +=
            QStringLiteral("<Line><Line-Item><LineNumber>%1</LineNumber>"
                           "<EAN>460123456000%1</EAN><ItemDescription>Сыр %1</ItemDescription>"
                           "<OrderedQuantity>%2</OrderedQuantity>"
                           "<QuantityToBeDelivered>%3</QuantityToBeDelivered>"
                           "<UnitOfMeasure>PCE</UnitOfMeasure>"
                           "<OrderedUnitNetPrice>12.5</OrderedUnitNetPrice></Line-Item></Line>")
                .arg(n)
                .arg(10 * n)
                .arg(8 * n);
    return QStringLiteral(
               "<Document-OrderResponse><OrderResponse-Header>"
               "<OrderResponseNumber>Пз_7</OrderResponseNumber>"
               "<OrderResponseDate>2026-12-04</OrderResponseDate>"
               "<ExpectedDeliveryDate>2026-12-09</ExpectedDeliveryDate>"
               "<ExpectedDeliveryTime>08:30</ExpectedDeliveryTime><OrderNumber>7</OrderNumber>"
               "<OrderDate>2026-12-03</OrderDate><ResponseType>4</ResponseType>"
               "</OrderResponse-Header><OrderResponse-Parties><Buyer><ILN>%1</ILN></Buyer>"
               "<Seller><ILN>%2</ILN></Seller></OrderResponse-Parties>"
               "<OrderResponse-Lines>%3</OrderResponse-Lines><OrderResponse-Summary>"
               "<TotalLines>2</TotalLines></OrderResponse-Summary></Document-OrderResponse>")
        .arg(PartnerIln, UserIln, lines);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A window as the user launches it off-line for the partner, shown and started.
struct Window {
    explicit Window(LaunchOptions options) : window(std::move(options)) { window.show(); }

    Confirmation& form() { return window.form(); }
    PotwierdzenieZam& control() { return *window.control(); }
    QString label(const char* name) { return control().findChild<QLabel*>(name)->text(); }
    QToolButton& button(const char* name) { return *control().button(QLatin1String(name)); }

    HostWindow window;
};

LaunchOptions offLine(const QString& propertyFile = QString())
{
    LaunchOptions options;
    options.properties = {
        {"OnLine", "Off"}, {"PartnerILN", PartnerIln}, {"PartnerName", PartnerName}};
    options.propertyFile = propertyFile;
    return options;
}

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

    static void clickFile(ChooserDialog& chooser, const QString& name)
    {
        auto* files = chooser.findChild<QListWidget*>(QStringLiteral("FileList"));
        const QList<QListWidgetItem*> items = files->findItems(name, Qt::MatchExactly);
        if (items.isEmpty())
            return;
        files->scrollToItem(items[0]);
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                          files->visualItemRect(items[0]).center());
    }

    // The start-up runs once the window is on screen; it ends by showing the buyer.
    static bool started(Window& w)
    {
        return QTest::qWaitForWindowExposed(&w.window) && QTest::qWaitFor([&w] {
                   return w.form().field(Field::lblILNKupWart) == PartnerName;
               });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        m_work = m_home.filePath(QStringLiteral("work"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_home.path());
        environment.insert("XDG_CONFIG_HOME", config());
        QProcess setup;
        setup.setProcessEnvironment(environment);
        setup.start(QStringLiteral(WEXA_BIN_DIR "/wexa-confirm"),
                    {"setup", "--working-folder", m_work, "--user-iln", UserIln, "--user-name",
                     "ООО Поставщик", "--partner-iln", PartnerIln, "--partner-name", PartnerName});
        QVERIFY(setup.waitForFinished(30000));
        QCOMPARE(setup.exitCode(), 0);
        QVERIFY(QFile::exists(QDir(config()).filePath("WEXA.conf")));

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

    void init()
    {
        freshProcess("ru_RU");
        DebugLog::reset();
        m_boxes.clear();
    }

    void startsOffLineFromThePreparedFolder()
    {
        Window w(offLine());
        QVERIFY(started(w));

        QVERIFY(w.control().isEnabled());
        QCOMPARE(w.label("lblOnLineStatus"), "Off-Line");
        QVERIFY(w.button("btnPrzeslij").isHidden());
        QCOMPARE(w.label("lblILNSprzedWart"), "ООО Поставщик");
        QCOMPARE(m_boxes, QStringList{});
    }

    void unknownPartnerStopsTheStartupWithAMessageBox()
    {
        LaunchOptions options = offLine();
        options.properties.insert("PartnerILN", "4607000000099");
        Window w(std::move(options));

        QTRY_COMPARE(m_boxes, QStringList{"Нет или неправильный формат файла XML о партнёре."});
        QVERIFY(!w.control().isEnabled());
    }

    void loadsAndSavesThroughTheChooser()
    {
        QFile saved(QDir(m_work).filePath(SavedName));
        QVERIFY(saved.open(QIODevice::WriteOnly));
        saved.write(savedResponse().toUtf8());
        saved.close();
        QTemporaryDir out;
        Window w(offLine());
        QVERIFY(started(w));

        // GIVEN the saved response picked in the chooser's file list
        whenChooserShown([this](ChooserDialog& chooser) {
            chooser.setFolder(m_work);
            clickFile(chooser, SavedName);
            QTest::mouseClick(chooser.findChild<QToolButton*>("ImageWczytaj"), Qt::LeftButton);
        });
        QTest::mouseClick(&w.button("btnWczytaj"), Qt::LeftButton);

        // THEN the form holds it
        QCOMPARE(m_boxes, QStringList{});
        QCOMPARE(w.label("txtNrPotw"), "Пз_7");
        QCOMPARE(w.form().lineCount(), 2);
        QCOMPARE(w.form().lines().text(2, 4), "16,000");
        QVERIFY(w.control().isEnabled());

        // WHEN it is saved under the proposed name into another folder
        whenChooserShown([&out](ChooserDialog& chooser) {
            chooser.setFolder(out.path());
            QTest::mouseClick(chooser.findChild<QToolButton*>("ImageZapisz"), Qt::LeftButton);
        });
        QTest::mouseClick(&w.button("btnZapisz"), Qt::LeftButton);

        // THEN the file is the confirmation
        QCOMPARE(m_boxes, QStringList{});
        const QString written = QString::fromUtf8(readFile(QDir(out.path()).filePath(SavedName)));
        QVERIFY2(written.contains("<OrderResponseNumber>Пз_7</OrderResponseNumber>"),
                 qPrintable(written));
        QVERIFY(written.contains("<QuantityToBeDelivered>16.000</QuantityToBeDelivered>"));
        QVERIFY(w.control().isEnabled());
    }

    void chooserOutlivesTheWindowThatOpenedIt()
    {
        {
            Window first(offLine());
            QVERIFY(started(first));
            whenChooserShown([this](ChooserDialog& chooser) {
                chooser.setFolder(m_work);
                QTest::mouseClick(chooser.findChild<QToolButton*>("ImageZamknij"), Qt::LeftButton);
            });
            QTest::mouseClick(&first.button("btnWczytaj"), Qt::LeftButton);
        }
        Window second(offLine());
        QVERIFY(started(second));
        QString folder;
        whenChooserShown([&folder](ChooserDialog& chooser) {
            folder = chooser.folder();
            QTest::mouseClick(chooser.findChild<QToolButton*>("ImageZamknij"), Qt::LeftButton);
        });
        QTest::mouseClick(&second.button("btnWczytaj"), Qt::LeftButton);

        QCOMPARE(folder, QDir::toNativeSeparators(m_work));
        QCOMPARE(m_boxes, QStringList{});
        QVERIFY(second.control().isEnabled());
    }

    void closingKeepsThePropertiesForTheNextLaunch()
    {
        QTemporaryDir folder;
        const QString ini = folder.filePath(QStringLiteral("control.ini"));
        {
            LaunchOptions options = offLine(ini);
            options.properties.insert("DebugLevel", "1");
            Window w(std::move(options));
            QVERIFY(started(w));
            QVERIFY(w.control().setProperty("DebugLevel", "3"));
            w.window.close();
        }
        const QSettings kept(ini, QSettings::IniFormat);
        QCOMPARE(kept.value("OnLine").toString(), "Off");
        QCOMPARE(kept.value("DebugLevel").toString(), "3");
        QVERIFY(!kept.contains("PartnerILN"));
        QVERIFY(QFile::exists(QDir(m_work).filePath(PartnerName + "Potwierdzenie.log")));
        const QSettings setting(QSettings::NativeFormat, QSettings::UserScope, "WEXA");
        QCOMPARE(setting.value("WexaActiveX/OffLinePath").toString(),
                 QDir::toNativeSeparators(m_work));

        // The next launch given only the partner takes the mode and level from the file.
        LaunchOptions next;
        next.properties = {{"PartnerILN", PartnerIln}, {"PartnerName", PartnerName}};
        next.propertyFile = ini;
        Window w(std::move(next));
        QVERIFY(started(w));
        QCOMPARE(w.label("lblOnLineStatus"), "Off-Line");
        QCOMPARE(w.control().property("DebugLevel").toString(), "3");
        QCOMPARE(m_boxes, QStringList{});
    }
};

QTEST_MAIN(TestHostWindow)
#include "tst_hostwindow.moc"
