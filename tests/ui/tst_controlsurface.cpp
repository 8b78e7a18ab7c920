#include "CoreTable.h"
#include "OnScreen.h"
#include "ui/control/GridDelegate.h"
#include "ui/control/OptionalDateEdit.h"
#include "ui/control/Twips.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QPlainTextEdit>

using namespace OnScreen;

class TestControlSurface : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(QStringLiteral("ru_RU")); }

    void choosingAResponseType_data()
    {
        columns<QList<int>, bool, bool, QString, Rgb, bool>("choices", "mouse", "recalculated",
                                                            "confirmed", "colour", "deliveryOpen");
        const char* ordered = "10,000 20,000 30,000 60,000";
        QTest::newRow("a refusal chosen with the mouse confirms nothing and closes the delivery")
            << QList<int>{Refuse} << true << false << "0 0 0 0,000" << Teal << false;
        QTest::newRow("a change after a refusal keeps the zeros, whitens and opens the delivery")
            << QList<int>{Refuse, Change} << true << false << "0 0 0 0,000" << White << true;
        QTest::newRow("full acceptance after a refusal confirms the ordered quantities")
            << QList<int>{Refuse, Accept} << false << false << ordered << Teal << false;
        QTest::newRow("recalculating full acceptance confirms a changed line in full again")
            << QList<int>{Accept} << false << true << ordered << Teal << false;
    }
    void choosingAResponseType()
    {
        const auto [choices, mouse, recalculated, colour, deliveryOpen] =
            fetch<QList<int>, bool, bool, Rgb, bool>("choices", "mouse", "recalculated", "colour",
                                                     "deliveryOpen");
        Screen screen;
        QVERIFY(screen.show(order(3)));
        auto* combo = child<QComboBox>(screen.control, "cboxTyp");

        for (int choice : choices) {
            if (!mouse) {
                chooseType(screen, choice);
                continue;
            }
            QTest::mouseClick(combo, Qt::LeftButton);
            QAbstractItemView* list = combo->view();
            QTRY_VERIFY(list->isVisible());
            const QPoint item = list->visualRect(combo->model()->index(choice, 0)).center();
            // The list ignores a click that follows its opening too closely.
            QTRY_VERIFY((QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item),
                         !list->isVisible()));
        }
        if (recalculated) {
            screen.form.lines().setText(2, ColConfirmed, QStringLiteral("1,000"));
            screen.click(QStringLiteral("btnPrzelicz"));
        }

        QCOMPARE(screen.form.cboxTyp(), choices.last());
        const QStringList confirmed{screen.cell(1, ColConfirmed), screen.cell(2, ColConfirmed),
                                    screen.cell(3, ColConfirmed), screen.total()};
        QTEST(confirmed.join(' '), "confirmed");
        QCOMPARE(screen.lineColours(), QList<Rgb>(3, colour));
        QCOMPARE(child<QDateEdit>(screen.control, "txtDataDost")->isEnabled(), deliveryOpen);
        QCOMPARE(child<QTimeEdit>(screen.control, "txtCzasDost")->isEnabled(), deliveryOpen);
    }

    void headerCheckStopsTheSaveAndFocusesTheDate()
    {
        Screen screen;
        QVERIFY(screen.show(order(2)));
        auto* date = child<OptionalDateEdit>(screen.control, "txtDataPotw");
        QTest::mouseClick(date->switchBox(), Qt::LeftButton);
        child<QPlainTextEdit>(screen.control, "txtUwagi")->setFocus();
        QString chooser; // a date chooser popping up over the form
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (QWidget* modal = QApplication::activeModalWidget())
                chooser = modal->objectName(), modal->close();
        });
        watch.start(10);

        screen.click(QStringLiteral("btnZapisz"));

        QCOMPARE(
            screen.messages.lines(),
            QStringList{"WEXA (exclamation): В поле ‘Дата подтверждения’ не указана величина"});
        QCOMPARE(chooser, QString());
        QTRY_VERIFY(date->isAncestorOf(QApplication::focusWidget()));
    }

    void valueLabelsReadAsTextNotAsBoxes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("the confirmation number") << QStringLiteral("txtNrPotw");
        QTest::newRow("the order number") << QStringLiteral("lblNrZamWart");
        QTest::newRow("the delivery point's address") << QStringLiteral("lblAdresMiejscaDostWart");
    }

    void valueLabelsReadAsTextNotAsBoxes()
    {
        QFETCH(QString, name);
        Screen screen;
        QVERIFY(screen.show(order(1)));
        auto* label = screen.control.findChild<QLabel*>(name);
        QVERIFY(label->textInteractionFlags() & Qt::TextSelectableByMouse);
        const QImage image = label->grab().toImage();
        const QColor panel = label->parentWidget()->palette().color(QPalette::Window);
        // No white box: the label's corner is the panel itself; a thin line underlines it.
        QCOMPARE(QColor(image.pixel(1, 1)), panel);
        QVERIFY(qGray(image.pixel(image.width() / 2, image.height() - 1)) < panel.lightness() - 20);
    }

    void aLongNameShowsWholeLinesEndingInAnEllipsis_data()
    {
        columns<QString, int, int, bool, int>("name", "rowLines", "lineCount", "elided", "width");
        const QString longName = QStringLiteral(
            "Молоко ультрапастеризованное питьевое 3,2 % в картонной упаковке с крышкой, "
            "по 12 штук в гофрокоробе, для сетевой розницы");
        const int ean = Twips::toPixels(Columns::LineWidths[ColEan]) - 2 * GridDelegate::Padding;
        auto row = [](const char* name, const QString& text, int rowLines, int lineCount,
                      bool elided, int width = 222) {
            QTest::newRow(name) << text << rowLines << lineCount << elided << width;
        };
        row("a short name stays whole", "Товар 1", 1, 1, false);
        row("a long name in an ordinary row is cut with an ellipsis", longName, 1, 1, true);
        row("a double-height row shows a second whole line", longName, 2, 2, true);
        row("a row tall enough shows the whole name", longName, 12, -1, false);
        row("a code too long for its column is cut, not broken into lines",
            QString("4601234500001").repeated(4), 2, 1, true);
        row("a thirteen-digit EAN fits its column whole", "4601234567893", 1, 1, false, ean);
    }

    void aLongNameShowsWholeLinesEndingInAnEllipsis()
    {
        const auto [name, rowLines, lineCount, elided, width] =
            fetch<QString, int, int, bool, int>("name", "rowLines", "lineCount", "elided", "width");
        const QFont font(QStringLiteral("Verdana"), 8);
        const QFontMetrics metrics(font);
        // The column's text width (222 for the product name), room for so many lines and a bit.
        const QSize room(width, rowLines * metrics.lineSpacing() + metrics.lineSpacing() / 2);
        const QStringList lines = GridDelegate::fittedText(name, font, room).split('\n');
        if (lineCount > 0)
            QCOMPARE(lines.size(), lineCount);
        QCOMPARE(lines.last().endsWith(QStringLiteral("…")), elided);
        const QString shown = lines.join(' ').chopped(elided ? 1 : 0);
        QVERIFY2(elided ? name.startsWith(shown) : name == shown, qPrintable(shown));
        for (const QString& line : lines)
            QVERIFY2(metrics.horizontalAdvance(line) <= room.width(), qPrintable(line));
    }
};

QTEST_MAIN(TestControlSurface)
#include "tst_controlsurface.moc"
