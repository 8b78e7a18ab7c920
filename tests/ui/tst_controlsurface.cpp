#include "TestSupport.h"
#include "control/OptionalDateEdit.h"
#include "ui_onscreen.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTimeEdit>

using namespace OnScreen;

namespace {
QComboBox* typeCombo(Screen& screen)
{
    return child<QComboBox>(screen.control, "cboxTyp");
}

void chooseWithMouse(QComboBox* combo, int index)
{
    QTest::mouseClick(combo, Qt::LeftButton);
    QAbstractItemView* list = combo->view();
    QTRY_VERIFY(list->isVisible());
    const QPoint item = list->visualRect(combo->model()->index(index, 0)).center();
    // The list takes a click that follows its opening too closely for a double click.
    QTRY_VERIFY(
        (QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item), !list->isVisible()));
}

QList<Rgb> lineColours(const Screen& screen)
{
    QList<Rgb> colours;
    for (int r = 1; r <= screen.form.lineCount(); ++r)
        colours.append(screen.rowColour(r));
    return colours;
}

// Confirms the current line in the line dialog with its confirmed quantity and unit retyped
// when given.
bool confirmInDialog(Screen& screen, const QString& quantity, const QString& unit = {})
{
    WhenLineDialogShows dialog([&](LineDialog& d) {
        if (!quantity.isEmpty())
            retype(child<QLineEdit>(d, "txtIloscPotw"), quantity);
        if (!unit.isEmpty())
            retype(child<QComboBox>(d, "cboxJednostkaMiary")->lineEdit(), unit);
        QTest::mouseClick(child<QPushButton>(d, "btnDodaj"), Qt::LeftButton);
    });
    screen.click(QStringLiteral("btnEdytuj"));
    return dialog.done();
}
} // namespace

class TestControlSurface : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(QStringLiteral("ru_RU")); }
    void cleanup() { closeModalWindows(); }

    void choosingAResponseType_data()
    {
        QTest::addColumn<QList<int>>("choices");
        QTest::addColumn<bool>("mouse");
        QTest::addColumn<QStringList>("confirmed");
        QTest::addColumn<QString>("total");
        QTest::addColumn<Rgb>("colour");
        const QStringList zeros{"0", "0", "0"};
        QTest::newRow("a refusal chosen with the mouse confirms nothing")
            << QList<int>{Refuse} << true << zeros << "0,000" << Teal;
        QTest::newRow("a refusal chosen with the keyboard confirms nothing")
            << QList<int>{Refuse} << false << zeros << "0,000" << Teal;
        QTest::newRow("a change after a refusal keeps the zeros and whitens the lines")
            << QList<int>{Refuse, Change} << true << zeros << "0,000" << White;
        QTest::newRow("full acceptance after a refusal confirms the ordered quantities")
            << QList<int>{Refuse, Accept} << false << QStringList{"10,000", "20,000", "30,000"}
            << "60,000" << Teal;
    }
    void choosingAResponseType()
    {
        QFETCH(QList<int>, choices);
        QFETCH(bool, mouse);
        QFETCH(QStringList, confirmed);
        QFETCH(QString, total);
        QFETCH(Rgb, colour);
        Screen screen;
        screen.load(order(3));
        QVERIFY(screen.show());

        for (int choice : choices) {
            if (mouse)
                chooseWithMouse(typeCombo(screen), choice);
            else
                chooseType(screen, choice);
            if (QTest::currentTestFailed())
                return;
        }

        QCOMPARE(screen.form.cboxTyp(), choices.last());
        QCOMPARE((QStringList{screen.cell(1, ColConfirmed), screen.cell(2, ColConfirmed),
                              screen.cell(3, ColConfirmed)}),
                 confirmed);
        QCOMPARE(screen.total(), total);
        QCOMPARE(lineColours(screen), QList<Rgb>(3, colour));
    }

    void deliveryFieldsOpenOnlyUnderAChange_data()
    {
        QTest::addColumn<QString>("partner");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("open");
        QTest::newRow("open under a change") << BuyerIln << int(Change) << true;
        QTest::newRow("closed under a refusal") << BuyerIln << int(Refuse) << false;
        QTest::newRow("closed under full acceptance") << BuyerIln << int(Accept) << false;
        QTest::newRow("closed under a change for the buyer who fixes delivery")
            << FixesDelivery << int(Change) << false;
    }
    void deliveryFieldsOpenOnlyUnderAChange()
    {
        QFETCH(QString, partner);
        QFETCH(int, type);
        QFETCH(bool, open);
        Screen screen;
        screen.load(order(2), partner);
        QVERIFY(screen.show());

        chooseType(screen, Change);
        chooseType(screen, type);

        QCOMPARE(child<QDateEdit>(screen.control, "txtDataDost")->isEnabled(), open);
        QCOMPARE(child<QTimeEdit>(screen.control, "txtCzasDost")->isEnabled(), open);
    }

    void recalculatingAppliesTheTypeAgain_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("confirmed");
        QTest::addColumn<QString>("total");
        QTest::newRow("full acceptance puts the ordered quantity back") << int(Accept) << "10,000"
                                                                        << "60,000";
        QTest::newRow("a refusal puts zero back") << int(Refuse) << "0"
                                                  << "0,000";
        QTest::newRow("a change keeps the edited quantity") << int(Change) << "3,000"
                                                            << "3,000";
    }
    void recalculatingAppliesTheTypeAgain()
    {
        QFETCH(int, type);
        QFETCH(QString, confirmed);
        QFETCH(QString, total);
        Screen screen;
        screen.load(order(3));
        QVERIFY(screen.show());
        chooseType(screen, Refuse);
        chooseType(screen, type);
        screen.clickCell(1, ColEan);
        QVERIFY(confirmInDialog(screen, QStringLiteral("3")));
        QCOMPARE(screen.cell(1, ColConfirmed), QStringLiteral("3,000"));

        screen.click(QStringLiteral("btnPrzelicz"));

        QCOMPARE(screen.cell(1, ColConfirmed), confirmed);
        QCOMPARE(screen.total(), total);
    }

    void headerCheckStopsTheSave_data()
    {
        QTest::addColumn<bool>("withOrder");
        QTest::addColumn<bool>("dateOn");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("focusOnDate");
        const QString number = QStringLiteral("В поле ‘Номер подтверждения’ не указана величина");
        const QString date = QStringLiteral("В поле ‘Дата подтверждения’ не указана величина");
        QTest::newRow("without a confirmation number only the number is reported")
            << false << true << number << false;
        QTest::newRow("without a number and a date still only the number is reported")
            << false << false << number << false;
        QTest::newRow("without a confirmation date the date is reported and focused")
            << true << false << date << true;
    }
    void headerCheckStopsTheSave()
    {
        QFETCH(bool, withOrder);
        QFETCH(bool, dateOn);
        QFETCH(QString, message);
        QFETCH(bool, focusOnDate);
        Screen screen;
        if (withOrder)
            screen.load(order(2));
        QVERIFY(screen.show());
        QVERIFY(QTest::qWaitForWindowActive(&screen.control));
        auto* date = child<OptionalDateEdit>(screen.control, "txtDataPotw");
        if (!dateOn)
            QTest::mouseClick(date->switchBox(), Qt::LeftButton);
        child<QPlainTextEdit>(screen.control, "txtUwagi")->setFocus();
        QString chooser;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                chooser = modal->objectName();
                modal->close();
            }
        });
        watch.start(10);

        screen.click(QStringLiteral("btnZapisz"));

        QCOMPARE(screen.messages.texts(), QStringList{message});
        QCOMPARE(screen.messages.shown.first().icon, Message::Icon::Exclamation);
        QCOMPARE(chooser, QString());
        if (focusOnDate)
            QTRY_VERIFY(date->isAncestorOf(QApplication::focusWidget()));
    }

    void linesShowTheirState_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QList<Rgb>>("colours");
        QTest::newRow("after start-up the failing line is pink")
            << 0 << QList<Rgb>{White, Pink, White};
        QTest::newRow("a commit on another line leaves the failing line pink")
            << 1 << QList<Rgb>{White, Pink, White};
        QTest::newRow("a failing line made complete in the dialog turns white")
            << 2 << QList<Rgb>{White, White, White};
        QTest::newRow("under full acceptance a commit shows the passing lines in its colour")
            << 3 << QList<Rgb>{Teal, Pink, Teal};
    }
    void linesShowTheirState()
    {
        QFETCH(int, step);
        QFETCH(QList<Rgb>, colours);
        Screen screen;
        screen.load(order({orderLine(1, 10), orderLine(2, 20, QString()), orderLine(3, 30)}));
        QVERIFY(screen.show());
        QCOMPARE(screen.form.cboxTyp(), int(Change));

        if (step == 1) {
            screen.typeInto(1, QStringLiteral("5"));
            QTest::keyClick(screen.editorBox(), Qt::Key_Return);
            QCOMPARE(screen.cell(1, ColConfirmed), QStringLiteral("5,000"));
        } else if (step == 2) {
            screen.clickCell(2, ColEan);
            QVERIFY(confirmInDialog(screen, {}, QStringLiteral("BOX")));
        } else if (step == 3) {
            chooseType(screen, Accept);
            screen.clickCell(1, ColEan);
            QVERIFY(confirmInDialog(screen, QStringLiteral("7")));
        }

        QCOMPARE(lineColours(screen), colours);
    }

    void showsThePanelsWithTheirCaptions()
    {
        Screen screen;
        screen.load(order(8));
        QVERIFY(screen.show());
        QStringList captions;
        for (const QLabel* label : screen.control.findChildren<QLabel*>())
            captions.append(label->text());

        const QImage image = screen.control.grab().toImage();
        const QString path = QDir::temp().filePath(QStringLiteral("wexa-confirm-control.png"));
        QVERIFY(image.save(path));
        qInfo("the control as drawn: %s", qPrintable(path));

        QVERIFY(!image.isNull());
        QSet<QRgb> seen;
        for (int y = 0; y < image.height(); y += 7) {
            for (int x = 0; x < image.width(); x += 7)
                seen.insert(image.pixel(x, y));
        }
        QVERIFY2(seen.size() > 20, "the picture is nearly uniform");
        for (const char* caption :
             {"Данные Заголовка Подтверждения Заказа", "Товарные позиции", "Итоги", "Замечания",
              "Номер подтверждения:", "Дата подтверждения:", "Номер заказа:", "Дата заказа :",
              "Имя Покупателя:", "Имя Продавца:", "ILN места доставки:",
              "Название места доставки :", "Адрес места доставки:",
              "Подтверждение срока поставки :", "Подтверждение времени поставки :",
              "Тип подтверждения:", "Przyczyna braku lub czкњciowej realizacji:"})
            QVERIFY2(captions.contains(QString::fromUtf8(caption)), caption);
    }
};

QTEST_MAIN(TestControlSurface)
#include "tst_controlsurface.moc"
