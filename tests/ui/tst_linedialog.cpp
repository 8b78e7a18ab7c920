#include "OnScreen.h"
#include "TestSupport.h"
#include "ui/control/OptionalDateEdit.h"

#include <QAbstractItemView>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace OnScreen;

namespace {
QStringList rowTexts(const Screen& screen, int row)
{
    QStringList texts;
    for (int c = 0; c < LineColumnCount; ++c)
        texts.append(screen.cell(row, c));
    return texts;
}

void press(LineDialog& dialog, const char* button)
{
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}
} // namespace

class TestLineDialog : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(QStringLiteral("ru_RU")); }

    void opensWithTheCurrentLine()
    {
        Screen screen;
        QVERIFY(screen.show(order(3)));
        screen.clickCell(2, ColEan);
        QStringList shown;
        bool controlEnabled = true;

        QVERIFY(screen.editLine([&](LineDialog& d) {
            controlEnabled = screen.control.isEnabled();
            auto* unit = child<QComboBox>(d, "cboxJednostkaMiary");
            for (const char* label :
                 {"lblPozycjaTow", "lblEANProdWart", "lblNazwaProdWart", "lblIloscZamWart"})
                shown << child<QLabel>(d, label)->text();
            shown << child<QLineEdit>(d, "txtIloscPotw")->text()
                  << QString::number(unit->currentIndex()) << unit->currentText()
                  << child<OptionalDateEdit>(d, "dtDataDostawy")->date()->toString(Qt::ISODate);
            press(d, "btnZamknij");
        }));

        QCOMPARE(shown,
                 (QStringList{"Позиция номер 2", "4601234500002", "Товар 2 в длинной упаковке",
                              "20,000", "20,000", "0", "Sztuka", "2026-12-05"}));
        QVERIFY(!controlEnabled);
        QVERIFY(screen.control.isEnabled());
    }

    void confirmWritesTheLineBackAndDropsTheSubstitute()
    {
        Screen screen;
        QVERIFY(screen.show(order(2)));
        for (int c = ColSubstituteEan; c <= ColSubstituteSupplierCode; ++c)
            screen.form.lines().setText(1, int16_t(c), QStringLiteral("Z-%1").arg(c));
        screen.clickCell(1, ColEan);

        QVERIFY(screen.editLine([](LineDialog& d) {
            retype(child<QLineEdit>(d, "txtIloscPotw"), "7");
            QTest::keyClick(child<QComboBox>(d, "cboxJednostkaMiary"), Qt::Key_Down);
            retype(child<QLineEdit>(d, "txtCenaNetto"), "13,25");
            retype(child<QLineEdit>(d, "txtRabat"), "3");
            child<OptionalDateEdit>(d, "dtDataDostawy")->editor()->setDate({2026, 12, 20});
            press(d, "btnDodaj");
        }));

        const QStringList row = rowTexts(screen, 1);
        QCOMPARE(row.mid(ColConfirmed, 2), (QStringList{"7,000", "13,250"}));
        QCOMPARE(row.at(ColUnit), QStringLiteral("KGM"));
        QCOMPARE(row.mid(ColSubstituteEan, 4), QStringList(4, QString()));
        QCOMPARE(row.mid(ColDiscount, 2), (QStringList{"3,00", "2026-12-20"}));
        QCOMPARE(screen.total(), QStringLiteral("27,000"));
        QCOMPARE(screen.form.validLineCount(), int16_t(2));
        QVERIFY(screen.messages.shown.isEmpty());
    }

    void unitAsTypedOrChosen_data()
    {
        QTest::addColumn<QString>("typed"); // into the combo's box
        QTest::addColumn<bool>("enter");    // Enter pressed in the box after typing
        QTest::addColumn<int>("chosen");    // from the opened list afterwards, -1 for none
        QTest::addColumn<QString>("unit");
        QTest::newRow("a unit of its own is stored as typed") << "BOX" << false << -1 << "BOX";
        QTest::newRow("an entry's name typed by hand is stored as typed")
            << "Sztuka" << false << -1 << "Sztuka";
        QTest::newRow("another entry's name typed by hand is stored as typed")
            << "Metr" << false << -1 << "Metr";
        QTest::newRow("the start of an entry's name is not completed to it")
            << "Kilo" << false << -1 << "Kilo";
        QTest::newRow("Enter after a typed name keeps it typed") << "Litr" << true << -1 << "Litr";
        QTest::newRow("an entry chosen from the list stores its code") << "" << false << 2 << "MTR";
        QTest::newRow("an entry chosen after typing stores its code")
            << "Sztuka" << false << 0 << "PCE";
    }
    void unitAsTypedOrChosen()
    {
        QFETCH(QString, typed);
        QFETCH(bool, enter);
        QFETCH(int, chosen);
        Screen screen;
        QVERIFY(screen.show(order(2)));
        screen.clickCell(1, ColEan);

        QVERIFY(screen.editLine([&](LineDialog& d) {
            auto* unit = child<QComboBox>(d, "cboxJednostkaMiary");
            if (!typed.isEmpty())
                retype(unit->lineEdit(), typed);
            if (enter)
                QTest::keyClick(unit->lineEdit(), Qt::Key_Return);
            if (chosen >= 0) {
                unit->showPopup();
                QAbstractItemView* list = unit->view();
                const QPoint item = list->visualRect(unit->model()->index(chosen, 0)).center();
                QTRY_VERIFY((QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item),
                             !list->isVisible()));
            }
            press(d, "btnDodaj");
        }));

        QTEST(screen.cell(1, ColUnit), "unit");
        QVERIFY(screen.messages.shown.isEmpty());
    }

    // A commit, in place or from the dialog, whitens every line that passes the line check
    // whatever the response type; the type's colour comes back when the type is applied.
    void coloursAfterConfirming_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<Rgb>("typeColour");
        QTest::newRow("under a change passing lines are white") << int(Change) << White;
        QTest::newRow("under a refusal passing lines are white until recalculated")
            << int(Refuse) << Teal;
        QTest::newRow("under full acceptance passing lines are white until recalculated")
            << int(Accept) << Teal;
    }
    void coloursAfterConfirming()
    {
        QFETCH(int, type);
        QFETCH(Rgb, typeColour);
        Screen screen;
        QVERIFY(screen.show(order(3)));
        chooseType(screen, type);
        screen.form.lines().setText(3, ColUnit, QStringLiteral(" "));
        screen.clickCell(2, ColEan);

        QVERIFY(screen.editLine([](LineDialog& d) { press(d, "btnDodaj"); }));
        QCOMPARE(screen.lineColours(), (QList<Rgb>{White, White, Colours::Failing}));

        screen.click(QStringLiteral("btnPrzelicz"));
        QCOMPARE(screen.lineColours(), (QList<Rgb>{typeColour, typeColour, Colours::Failing}));
    }

    void lettersInTheQuantityKeepTheDialogOpenOnIt()
    {
        Screen screen;
        QVERIFY(screen.show(order(2)));
        screen.clickCell(1, ColEan);
        const QStringList before = rowTexts(screen, 1);
        bool stayedOpen = false;
        bool focusOnField = false;

        QVERIFY(screen.editLine([&](LineDialog& d) {
            auto* widget = child<QLineEdit>(d, "txtIloscPotw");
            retype(widget, "abc");
            child<QPushButton>(d, "btnDodaj")->setFocus();
            press(d, "btnDodaj");
            stayedOpen = d.isVisible();
            QWidget* focus = d.focusWidget();
            focusOnField = focus && (focus == widget || widget->isAncestorOf(focus));
            press(d, "btnZamknij");
        }));

        QCOMPARE(screen.messages.texts(),
                 QStringList{"Brak lub bікdna wartoњж dla pola 'Potwierdzana iloњж'"});
        QCOMPARE(screen.messages.shown.first().title, QStringLiteral("WEXA"));
        QCOMPARE(screen.messages.shown.first().icon, Message::Icon::Critical);
        QVERIFY(stayedOpen && focusOnField);
        QCOMPARE(rowTexts(screen, 1), before);
        QCOMPARE(screen.total(), QStringLiteral("30,000"));
    }

    void removingAMiddleLineKeepsTheOtherNumbers()
    {
        Screen screen;
        QVERIFY(screen.show(order(3)));
        screen.clickCell(2, ColEan);

        screen.click(QStringLiteral("btnUsun"));

        QCOMPARE(screen.table()->model()->rowCount(), 3);
        QCOMPARE((QStringList{screen.cell(1, ColNumber), screen.cell(2, ColNumber),
                              screen.form.summary().text(1, SumLineCount), screen.total()}),
                 (QStringList{"1", "3", "2", "40,000"}));
        QCOMPARE(screen.form.validLineCount(), int16_t(2));
        QVERIFY(screen.messages.shown.isEmpty());
    }

    void removingTheOnlyLineEmptiesTheForm()
    {
        Screen screen;
        QVERIFY(screen.show(order(1)));
        screen.clickCell(1, ColEan);

        screen.click(QStringLiteral("btnUsun"));

        QCOMPARE(screen.form.lineCount(), int16_t(0));
        QStringList shown = rowTexts(screen, 1)
                            << screen.form.summary().text(1, SumLineCount) << screen.total();
        for (const char* name : {"txtNrPotw", "lblNrZamWart", "lblDataZamWart", "lblILNKupWart"})
            shown << child<QLabel>(screen.control, name)->text();
        QCOMPARE(shown, QStringList(LineColumnCount + 6, QString()));
        QVERIFY(screen.messages.shown.isEmpty());
    }
};

QTEST_MAIN(TestLineDialog)
#include "tst_linedialog.moc"
