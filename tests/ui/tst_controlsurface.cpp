#include "OnScreen.h"
#include "TestSupport.h"
#include "ui/control/GridDelegate.h"
#include "ui/control/OptionalDateEdit.h"
#include "ui/control/Twips.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimeEdit>

using namespace OnScreen;

class TestControlSurface : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(QStringLiteral("ru_RU")); }

    void choosingAResponseType_data()
    {
        QTest::addColumn<QList<int>>("choices");
        QTest::addColumn<bool>("mouse");
        QTest::addColumn<QString>("confirmed");
        QTest::addColumn<QString>("total");
        QTest::addColumn<Rgb>("colour");
        QTest::addColumn<bool>("deliveryOpen");
        const QList<int> refuse{Refuse};
        const QList<int> change{Refuse, Change};
        const QList<int> accept{Refuse, Accept};
        const QString zeros = QStringLiteral("0 0 0");
        const QString ordered = QStringLiteral("10,000 20,000 30,000");
        QTest::newRow("a refusal chosen with the mouse confirms nothing and closes the delivery")
            << refuse << true << zeros << "0,000" << Teal << false;
        QTest::newRow("a change after a refusal keeps the zeros, whitens and opens the delivery")
            << change << true << zeros << "0,000" << White << true;
        QTest::newRow("full acceptance after a refusal confirms the ordered quantities")
            << accept << false << ordered << "60,000" << Teal << false;
    }
    void choosingAResponseType()
    {
        QFETCH(QList<int>, choices);
        QFETCH(bool, mouse);
        QFETCH(Rgb, colour);
        QFETCH(bool, deliveryOpen);
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

        QCOMPARE(screen.form.cboxTyp(), choices.last());
        QTEST(QStringList({screen.cell(1, ColConfirmed), screen.cell(2, ColConfirmed),
                           screen.cell(3, ColConfirmed)})
                  .join(' '),
              "confirmed");
        QTEST(screen.total(), "total");
        QCOMPARE(screen.lineColours(), QList<Rgb>(3, colour));
        QCOMPARE((QList<bool>{child<QDateEdit>(screen.control, "txtDataDost")->isEnabled(),
                              child<QTimeEdit>(screen.control, "txtCzasDost")->isEnabled()}),
                 QList<bool>(2, deliveryOpen));
    }

    void recalculateButtonAppliesTheTypeAgain()
    {
        Screen screen;
        QVERIFY(screen.show(order(3)));
        chooseType(screen, Accept);
        screen.form.lines().setText(2, ColConfirmed, QStringLiteral("1,000"));
        screen.click(QStringLiteral("btnPrzelicz"));
        QCOMPARE(screen.cell(2, ColConfirmed), QStringLiteral("20,000"));
        QCOMPARE(screen.total(), QStringLiteral("60,000"));
    }

    void headerCheckStopsTheSaveAndFocusesTheDate()
    {
        Screen screen;
        QVERIFY(screen.show(order(2)));
        QVERIFY(QTest::qWaitForWindowActive(&screen.control));
        auto* date = child<OptionalDateEdit>(screen.control, "txtDataPotw");
        QTest::mouseClick(date->switchBox(), Qt::LeftButton);
        child<QPlainTextEdit>(screen.control, "txtUwagi")->setFocus();
        QString chooser; // a date chooser popping up over the form
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                chooser = modal->objectName();
                modal->close();
            }
        });
        watch.start(10);

        screen.click(QStringLiteral("btnZapisz"));

        QCOMPARE(screen.messages.texts(),
                 QStringList{"В поле ‘Дата подтверждения’ не указана величина"});
        QCOMPARE(screen.messages.shown.first().icon, Message::Icon::Exclamation);
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
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("rowLines");
        QTest::addColumn<int>("shownLines");
        QTest::addColumn<bool>("elided");
        QTest::addColumn<int>("width"); // the column's text width, 0 for the name column
        const QString longName = QStringLiteral(
            "Молоко ультрапастеризованное питьевое 3,2 % в картонной упаковке с крышкой, "
            "по 12 штук в гофрокоробе, для сетевой розницы");
        QTest::newRow("a short name stays whole")
            << QStringLiteral("Товар 1") << 1 << 1 << false << 0;
        QTest::newRow("a long name in an ordinary row is cut with an ellipsis")
            << longName << 1 << 1 << true << 0;
        QTest::newRow("a double-height row shows a second whole line")
            << longName << 2 << 2 << true << 0;
        QTest::newRow("a row tall enough shows the whole name")
            << longName << 12 << -1 << false << 0;
        QTest::newRow("a code too long for its column is cut, not broken into lines")
            << QStringLiteral("4601234500001").repeated(4) << 2 << 1 << true << 0;
        QTest::newRow("a thirteen-digit EAN fits its column whole")
            << QStringLiteral("4601234567893") << 1 << 1 << false
            << Twips::toPixels(Columns::LineWidths[ColEan]) - 2 * GridDelegate::Padding;
    }

    void aLongNameShowsWholeLinesEndingInAnEllipsis()
    {
        QFETCH(QString, name);
        QFETCH(int, rowLines);
        QFETCH(int, shownLines);
        QFETCH(bool, elided);
        QFETCH(int, width);
        const QFont font(QStringLiteral("Verdana"), 8);
        const QFontMetrics metrics(font);
        // The product name column, with room for so many lines and a little more.
        const QSize room(width > 0 ? width : 222,
                         rowLines * metrics.lineSpacing() + metrics.lineSpacing() / 2);
        const QStringList lines = GridDelegate::fittedText(name, font, room).split('\n');
        if (shownLines > 0)
            QCOMPARE(lines.size(), shownLines);
        QCOMPARE(lines.last().endsWith(QStringLiteral("…")), elided);
        QString shown = lines.join(' ');
        shown.chop(elided ? 1 : 0);
        QVERIFY2(elided ? name.startsWith(shown) : name == shown, qPrintable(shown));
        for (const QString& line : lines)
            QVERIFY2(metrics.horizontalAdvance(line) <= room.width(), qPrintable(line));
    }
};

QTEST_MAIN(TestControlSurface)
#include "tst_controlsurface.moc"
