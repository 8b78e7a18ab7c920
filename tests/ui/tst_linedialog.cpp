#include "CoreRulesFixture.h"
#include "CoreTable.h"
#include "OnScreen.h"
#include "ui/control/OptionalDateEdit.h"

#include <QAbstractItemView>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace OnScreen;

static QStringList rowTexts(const Screen& screen, int row)
{
    return texts(screen.form.lines(), row, 0, row, LineColumnCount - 1);
}

static void press(LineDialog& dialog, const char* button)
{
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}

class TestLineDialog : public QObject {
    Q_OBJECT
    std::unique_ptr<Screen> screen;

    bool show(int lines, int row)
    {
        screen = std::make_unique<Screen>();
        return screen->show(order(lines)) && (screen->clickCell(row, ColEan), true);
    }

private slots:
    void init() { freshProcess(QStringLiteral("ru_RU")); }
    void cleanup() { screen.reset(); }

    // The dialog opens with the middle line; each row gives a new quantity, price, discount and
    // date, and the unit `typed` into its box, then `key` pressed there, then the entry `chosen`
    // from its list (-1: none).
    void confirmWritesTheLineBackAndDropsTheSubstitute_data()
    {
        columns<QString, int, int, QString>("typed", "key", "chosen", "unit");
        auto row = [](const char* name, const char* typed, int key, int chosen, const char* unit) {
            QTest::newRow(name) << typed << key << chosen << unit;
        };
        row("Down in the unit's box stores the next entry's code", "", Qt::Key_Down, -1, "KGM");
        row("a unit of its own is stored as typed", "BOX", 0, -1, "BOX");
        row("an entry's name typed by hand is stored as typed", "Sztuka", 0, -1, "Sztuka");
        row("another entry's name typed by hand is stored as typed", "Metr", 0, -1, "Metr");
        row("the start of an entry's name is not completed to it", "Kilo", 0, -1, "Kilo");
        row("Enter after a typed name keeps it typed", "Litr", Qt::Key_Return, -1, "Litr");
        row("an entry chosen from the list stores its code", "", 0, 2, "MTR");
        row("an entry chosen after typing stores its code", "Sztuka", 0, 0, "PCE");
    }
    void confirmWritesTheLineBackAndDropsTheSubstitute()
    {
        const auto [typed, key, chosen, unit] =
            fetch<QString, int, int, QString>("typed", "key", "chosen", "unit");
        QVERIFY(show(3, 2));
        for (int c = ColSubstituteEan; c <= ColSubstituteSupplierCode; ++c)
            screen->form.lines().setText(2, int16_t(c), QStringLiteral("Z-%1").arg(c));
        QStringList opened;

        QVERIFY(screen->editLine([&, &typed = typed, key = key, chosen = chosen](LineDialog& d) {
            opened << (screen->control.isEnabled() ? "control enabled" : "control disabled");
            auto* box = child<QComboBox>(d, "cboxJednostkaMiary");
            for (const char* label :
                 {"lblPozycjaTow", "lblEANProdWart", "lblNazwaProdWart", "lblIloscZamWart"})
                opened << child<QLabel>(d, label)->text();
            opened << child<QLineEdit>(d, "txtIloscPotw")->text()
                   << QString::number(box->currentIndex()) << box->currentText()
                   << child<OptionalDateEdit>(d, "dtDataDostawy")->date()->toString(Qt::ISODate);
            retype(child<QLineEdit>(d, "txtIloscPotw"), "7");
            if (!typed.isEmpty())
                retype(box->lineEdit(), typed);
            if (key)
                QTest::keyClick(box->lineEdit(), Qt::Key(key));
            if (chosen >= 0) {
                box->showPopup();
                QAbstractItemView* list = box->view();
                const QPoint item = list->visualRect(box->model()->index(chosen, 0)).center();
                QTRY_VERIFY((QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item),
                             !list->isVisible()));
            }
            retype(child<QLineEdit>(d, "txtCenaNetto"), "13,25");
            retype(child<QLineEdit>(d, "txtRabat"), "3");
            child<OptionalDateEdit>(d, "dtDataDostawy")->editor()->setDate({2026, 12, 20});
            press(d, "btnDodaj");
        }));

        QCOMPARE(opened, (QStringList{"control disabled", "Позиция номер 2", "4601234500002",
                                      "Товар 2 в длинной упаковке", "20,000", "20,000", "0",
                                      "Sztuka", "2026-12-05"}));
        QCOMPARE(rowTexts(*screen, 2),
                 (QStringList{"2", "4601234500002", "Товар 2 в длинной упаковке", "20,000", "7,000",
                              "13,250", "", "", "", unit, "", "", "", "", "", "3,00", "2026-12-20",
                              "", ""}));
        QCOMPARE(screen->total(), QStringLiteral("47,000"));
        QCOMPARE(screen->form.validLineCount(), int16_t(3));
        QVERIFY(screen->messages.shown.isEmpty());
    }

    // A commit, in place or from the dialog, whitens every line that passes the line check
    // whatever the response type; the type's colour comes back when the type is applied.
    void coloursAfterConfirming_data()
    {
        columns<int, Rgb>("type", "typeColour");
        QTest::newRow("under a change passing lines are white") << int(Change) << White;
        QTest::newRow("under a refusal passing lines are white until recalculated")
            << int(Refuse) << Teal;
        QTest::newRow("under full acceptance passing lines are white until recalculated")
            << int(Accept) << Teal;
    }
    void coloursAfterConfirming()
    {
        const auto [type, typeColour] = fetch<int, Rgb>("type", "typeColour");
        QVERIFY(show(3, 2));
        chooseType(*screen, type);
        screen->form.lines().setText(3, ColUnit, QStringLiteral(" "));

        QVERIFY(screen->editLine([](LineDialog& d) { press(d, "btnDodaj"); }));
        QCOMPARE(screen->lineColours(), (QList<Rgb>{White, White, Colours::Failing}));

        screen->click(QStringLiteral("btnPrzelicz"));
        QCOMPARE(screen->lineColours(), (QList<Rgb>{typeColour, typeColour, Colours::Failing}));
    }

    void lettersInTheQuantityKeepTheDialogOpenOnIt()
    {
        QVERIFY(show(2, 1));
        const QStringList before = rowTexts(*screen, 1);
        bool stayedOpen = false, focusOnField = false;

        QVERIFY(screen->editLine([&](LineDialog& d) {
            auto* widget = child<QLineEdit>(d, "txtIloscPotw");
            retype(widget, "abc");
            child<QPushButton>(d, "btnDodaj")->setFocus();
            press(d, "btnDodaj");
            stayedOpen = d.isVisible();
            QWidget* focus = d.focusWidget();
            focusOnField = focus && (focus == widget || widget->isAncestorOf(focus));
            press(d, "btnZamknij");
        }));

        QCOMPARE(
            screen->messages.lines(),
            QStringList{"WEXA (critical): Brak lub bікdna wartoњж dla pola 'Potwierdzana iloњж'"});
        QVERIFY(stayedOpen && focusOnField && screen->control.isEnabled());
        QCOMPARE(rowTexts(*screen, 1), before);
        QCOMPARE(screen->total(), QStringLiteral("30,000"));
    }

    void removingAMiddleLineKeepsTheOtherNumbers()
    {
        QVERIFY(show(3, 2));

        screen->click(QStringLiteral("btnUsun"));

        QCOMPARE(screen->table()->model()->rowCount(), 3);
        QCOMPARE(screen->form.validLineCount(), int16_t(2));
        QCOMPARE((QStringList{screen->cell(1, ColNumber), screen->cell(2, ColNumber),
                              screen->form.summary().text(1, SumLineCount), screen->total()}
                  << screen->messages.texts()),
                 (QStringList{"1", "3", "2", "40,000"}));
    }

    void removingTheOnlyLineEmptiesTheForm()
    {
        QVERIFY(show(1, 1));

        screen->click(QStringLiteral("btnUsun"));

        QCOMPARE(screen->form.lineCount(), int16_t(0));
        QStringList shown = rowTexts(*screen, 1) << screen->form.summary().text(1, SumLineCount)
                                                 << screen->total() << screen->messages.texts();
        for (const char* name : {"txtNrPotw", "lblNrZamWart", "lblDataZamWart", "lblILNKupWart"})
            shown << child<QLabel>(screen->control, name)->text();
        QCOMPARE(shown, QStringList(LineColumnCount + 6, QString()));
    }
};

QTEST_MAIN(TestLineDialog)
#include "tst_linedialog.moc"
