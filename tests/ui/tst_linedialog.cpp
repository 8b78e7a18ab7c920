#include "TestSupport.h"
#include "control/OptionalDateEdit.h"
#include "documents/ResponseLoader.h"
#include "ui_onscreen.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace OnScreen;

namespace {
QStringList rowTexts(const Screen& screen, int row)
{
    QStringList texts;
    for (int c = 0; c < LineColumnCount; ++c)
        texts.append(screen.cell(row, c));
    return texts;
}

// A saved response of two lines, ordered 10 and 20, whose first line names a substitute.
QString savedResponse()
{
    QString lines;
    for (int n = 1; n <= 2; ++n) {
        lines +=
            QStringLiteral("<Line><Line-Item><LineNumber>%1</LineNumber>"
                           "<EAN>460123450000%1</EAN><ItemDescription>Товар %1</ItemDescription>"
                           "<OrderedQuantity>%2</OrderedQuantity>"
                           "<QuantityToBeDelivered>%2</QuantityToBeDelivered>"
                           "<UnitOfMeasure>PCE</UnitOfMeasure>")
                .arg(n)
                .arg(10 * n);
        if (n == 1)
            lines +=
                QStringLiteral("<SubstituteEAN>4609999000001</SubstituteEAN>"
                               "<BuyerSubstituteItemCode>BZ-1</BuyerSubstituteItemCode>"
                               "<SupplierSubstituteItemCode>SZ-1</SupplierSubstituteItemCode>"
                               "<SubstituteItemDescription>Замена</SubstituteItemDescription>");
        lines += QStringLiteral("</Line-Item></Line>");
    }
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Document-OrderResponse>"
               "<OrderResponse-Header><OrderResponseNumber>Пз_ZK-7</OrderResponseNumber>"
               "<OrderResponseDate>2026-12-04</OrderResponseDate><OrderNumber>ZK-7</OrderNumber>"
               "<OrderDate>2026-12-03</OrderDate><ResponseType>4</ResponseType>"
               "</OrderResponse-Header><OrderResponse-Parties><Buyer><ILN>%1</ILN></Buyer>"
               "<Seller><ILN>%2</ILN></Seller></OrderResponse-Parties>"
               "<OrderResponse-Lines>%3</OrderResponse-Lines>"
               "<OrderResponse-Summary><TotalLines>2</TotalLines></OrderResponse-Summary>"
               "</Document-OrderResponse>")
        .arg(BuyerIln, SellerIln, lines);
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
    void cleanup() { closeModalWindows(); }

    void opensWithTheCurrentLine()
    {
        Screen screen;
        screen.load(order(3));
        QVERIFY(screen.show());
        screen.clickCell(2, ColEan);
        QStringList shown;
        bool controlEnabled = true;
        WhenLineDialogShows dialog([&](LineDialog& d) {
            controlEnabled = screen.control.isEnabled();
            auto* unit = child<QComboBox>(d, "cboxJednostkaMiary");
            shown << child<QLabel>(d, "lblPozycjaTow")->text()
                  << child<QLabel>(d, "lblEANProdWart")->text()
                  << child<QLabel>(d, "lblNazwaProdWart")->text()
                  << child<QLabel>(d, "lblIloscZamWart")->text()
                  << child<QLineEdit>(d, "txtIloscPotw")->text()
                  << QString::number(unit->currentIndex()) << unit->currentText()
                  << child<OptionalDateEdit>(d, "dtDataDostawy")->date()->toString(Qt::ISODate);
            press(d, "btnZamknij");
        });

        screen.click(QStringLiteral("btnEdytuj"));

        QVERIFY(dialog.done());
        QCOMPARE(shown,
                 (QStringList{"Позиция номер 2", "4601234500002", "Товар 2 в длинной упаковке",
                              "20,000", "20,000", "0", "Sztuka", "2026-12-05"}));
        QVERIFY(!controlEnabled);
        QVERIFY(screen.control.isEnabled());
    }

    void confirmWritesTheLineBack()
    {
        Screen screen;
        screen.load(order(2));
        QTemporaryDir folder;
        QFile file(folder.filePath(QStringLiteral("saved.xml")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(savedResponse().toUtf8());
        file.close();
        QCOMPARE(loadResponseFile(screen.form, file.fileName()), LoadOutcome::Loaded);
        QVERIFY(screen.show());
        screen.clickCell(1, ColEan);
        const QStringList substitutes = rowTexts(screen, 1).mid(ColSubstituteEan, 4);
        WhenLineDialogShows dialog([](LineDialog& d) {
            retype(child<QLineEdit>(d, "txtIloscPotw"), QStringLiteral("7"));
            QTest::keyClick(child<QComboBox>(d, "cboxJednostkaMiary"), Qt::Key_Down);
            retype(child<QLineEdit>(d, "txtCenaNetto"), QStringLiteral("12,5"));
            retype(child<QLineEdit>(d, "txtRabat"), QStringLiteral("3"));
            child<OptionalDateEdit>(d, "dtDataDostawy")->editor()->setDate(QDate(2026, 12, 20));
            press(d, "btnDodaj");
        });

        screen.click(QStringLiteral("btnEdytuj"));

        QVERIFY(dialog.done());
        QVERIFY(!visibleLineDialog());
        QVERIFY(!substitutes.contains(QString()));
        const QStringList row = rowTexts(screen, 1);
        QCOMPARE(row.mid(ColConfirmed, 2), (QStringList{"7,000", "12,500"}));
        QCOMPARE(row.at(ColUnit), QStringLiteral("KGM"));
        QCOMPARE(row.mid(ColSubstituteEan, 4), QStringList(4, QString()));
        QCOMPARE(row.mid(ColDiscount, 2), (QStringList{"3,00", "2026-12-20"}));
        QCOMPARE(screen.total(), QStringLiteral("27,000"));
        QCOMPARE(screen.form.validLineCount(), int16_t(2));
        QVERIFY(screen.messages.shown.isEmpty());
    }

    void refusedFieldKeepsTheDialogOpen_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("letters in the confirmed quantity")
            << "txtIloscPotw"
            << "abc"
            << "Brak lub bікdna wartoњж dla pola 'Potwierdzana iloњж'";
        QTest::newRow("an empty confirmed quantity")
            << "txtIloscPotw"
            << ""
            << "Brak lub bікdna wartoњж dla pola 'Potwierdzana iloњж'";
        QTest::newRow("an empty unit") << "cboxJednostkaMiary"
                                       << ""
                                       << "Brak wartoњci dla pola 'Jednostka miary'.";
        QTest::newRow("a price that is no number") << "txtCenaNetto"
                                                   << "12,5x"
                                                   << "Bікdna wartoњж dla pola 'Cena Netto'";
        QTest::newRow("a discount that is no number") << "txtRabat"
                                                      << "x"
                                                      << "Bікdna wartoњж dla pola 'Rabat'";
        QTest::newRow("no delivery date") << "dtDataDostawy"
                                          << ""
                                          << "Brak wartoњci dla pola 'Potwierdzona data dostawy'";
    }
    void refusedFieldKeepsTheDialogOpen()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        Screen screen;
        screen.load(order(2));
        QVERIFY(screen.show());
        screen.clickCell(1, ColEan);
        const QStringList before = rowTexts(screen, 1);
        bool stayedOpen = false;
        bool focusOnField = false;
        WhenLineDialogShows dialog([&](LineDialog& d) {
            QWidget* widget = d.findChild<QWidget*>(field);
            if (auto* dates = qobject_cast<OptionalDateEdit*>(widget))
                QTest::mouseClick(dates->switchBox(), Qt::LeftButton);
            else if (auto* combo = qobject_cast<QComboBox*>(widget))
                retype(combo->lineEdit(), typed);
            else
                retype(widget, typed);
            child<QPushButton>(d, "btnDodaj")->setFocus(); // the focus leaves the field
            press(d, "btnDodaj");
            stayedOpen = d.isVisible();
            QWidget* focus = d.focusWidget();
            focusOnField = focus && (focus == widget || widget->isAncestorOf(focus));
            press(d, "btnZamknij");
        });

        screen.click(QStringLiteral("btnEdytuj"));

        QVERIFY(dialog.done());
        QCOMPARE(screen.messages.texts(), QStringList{message});
        QCOMPARE(screen.messages.shown.first().title, QStringLiteral("WEXA"));
        QCOMPARE(screen.messages.shown.first().icon, Message::Icon::Critical);
        QVERIFY(stayedOpen);
        QVERIFY(focusOnField);
        QCOMPARE(rowTexts(screen, 1), before);
        QCOMPARE(screen.total(), QStringLiteral("30,000"));
    }

    void removingAMiddleLineKeepsTheOtherNumbers()
    {
        Screen screen;
        screen.load(order(3));
        QVERIFY(screen.show());
        screen.clickCell(2, ColEan);

        screen.click(QStringLiteral("btnUsun"));

        QCOMPARE(screen.form.lines().rows(), 3);
        QCOMPARE(screen.cell(1, ColNumber), QStringLiteral("1"));
        QCOMPARE(screen.cell(2, ColNumber), QStringLiteral("3"));
        QCOMPARE(screen.shownLineCount(), QStringLiteral("2"));
        QCOMPARE(screen.total(), QStringLiteral("40,000"));
        QCOMPARE(screen.form.validLineCount(), int16_t(2));
        QCOMPARE(screen.table()->model()->rowCount(), 3);
        QVERIFY(screen.messages.shown.isEmpty());
    }

    void removingTheOnlyLineEmptiesTheForm()
    {
        Screen screen;
        screen.load(order(1));
        QVERIFY(screen.show());
        screen.clickCell(1, ColEan);

        screen.click(QStringLiteral("btnUsun"));

        QCOMPARE(screen.form.lineCount(), int16_t(0));
        QCOMPARE(rowTexts(screen, 1), QStringList(LineColumnCount, QString()));
        QCOMPARE(screen.shownLineCount(), QString());
        QCOMPARE(screen.total(), QString());
        for (const char* name : {"txtNrPotw", "lblNrZamWart", "lblDataZamWart", "lblILNKupWart"})
            QCOMPARE(child<QLabel>(screen.control, name)->text(), QString());
        QVERIFY(screen.messages.shown.isEmpty());
    }

    void removingWithoutLinesDoesNothing()
    {
        Screen screen;
        screen.load(order(0));
        QVERIFY(screen.show());
        QVERIFY(screen.control.button(QStringLiteral("btnUsun"))->isEnabled());

        screen.click(QStringLiteral("btnUsun"));

        QCOMPARE(child<QLabel>(screen.control, "txtNrPotw")->text(), QStringLiteral("Пз_ZK-7"));
        QCOMPARE(screen.form.lines().rows(), 2);
        QVERIFY(screen.messages.shown.isEmpty());
    }
};

QTEST_MAIN(TestLineDialog)
#include "tst_linedialog.moc"
