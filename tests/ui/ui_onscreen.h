#pragma once

#include "RecordingMessages.h"
#include "control/Columns.h"
#include "control/Confirmation.h"
#include "control/PotwierdzenieZam.h"
#include "control/ProcessState.h"
#include "control/Startup.h"
#include "documents/XmlDocument.h"
#include "editing/CellEditorBox.h"
#include "editing/LineDialog.h"
#include "editing/LineTableView.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>

// An order on screen for the widget tests: order texts, the control bound to a form with
// recorded messages, and the user's gestures on its tables and its line dialog.
namespace OnScreen {

inline const QString BuyerIln = QStringLiteral("4607000000017");
inline const QString SellerIln = QStringLiteral("4600000000010");
inline const QString AcceptsMore = QStringLiteral("4607175249997");
inline const QString FixesDelivery = QStringLiteral("4607163319992");

enum Type { Change = 0, Refuse = 1, Accept = 2 };

constexpr Rgb White = rgb(255, 255, 255);
constexpr Rgb Teal = rgb(37, 145, 170);
constexpr Rgb Pink = rgb(255, 192, 192);

// Order line n: `ordered` pieces of product n; a blank unit makes the line fail the line
// check.
inline QString orderLine(int n, int ordered, const QString& unit = QStringLiteral("PCE"))
{
    return QStringLiteral("<Line><Line-Item><LineNumber>%1</LineNumber>"
                          "<EAN>46012345%2</EAN><BuyerItemCode>B-%1</BuyerItemCode>"
                          "<SupplierItemCode>S-%1</SupplierItemCode>"
                          "<ItemDescription>Товар %1 в длинной упаковке</ItemDescription>"
                          "<OrderedQuantity>%3</OrderedQuantity>"
                          "<OrderedUnitNetPrice>12.5</OrderedUnitNetPrice>"
                          "<UnitOfMeasure>%4</UnitOfMeasure></Line-Item></Line>")
        .arg(n)
        .arg(n, 5, 10, QLatin1Char('0'))
        .arg(ordered)
        .arg(unit);
}

inline QString order(const QStringList& lines)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Document-Order>"
                          "<Order-Header><OrderNumber>ZK-7</OrderNumber>"
                          "<OrderDate>2026-12-03</OrderDate>"
                          "<ExpectedDeliveryDate>2026-12-09</ExpectedDeliveryDate>"
                          "<ExpectedDeliveryTime>08:30</ExpectedDeliveryTime>"
                          "<Remarks>Звонить за час</Remarks></Order-Header>"
                          "<Order-Parties><Buyer><ILN>%1</ILN></Buyer>"
                          "<Seller><ILN>%2</ILN></Seller><DeliveryPoint><ILN>4607000000031</ILN>"
                          "<Name>Склад Север</Name><Address>ул. Лесная, 5</Address>"
                          "</DeliveryPoint></Order-Parties>"
                          "<Order-Lines>%3</Order-Lines></Document-Order>")
        .arg(BuyerIln, SellerIln, lines.join(QString()));
}

// Lines 1..count ordering 10, 20, 30, ... pieces.
inline QString order(int count)
{
    QStringList lines;
    for (int n = 1; n <= count; ++n)
        lines.append(orderLine(n, 10 * n));
    return order(lines);
}

// The confirmation control on screen, filled as the start-up fills it from a fetched order.
struct Screen {
    RecordingMessages messages;
    Confirmation form{messages};
    PotwierdzenieZam control{form};

    void load(const QString& orderText, const QString& partnerIln = BuyerIln)
    {
        ProcessState& process = ProcessState::instance();
        process.user.iln = SellerIln;
        process.user.name = QStringLiteral("ООО Поставщик");
        process.partner.name = QStringLiteral("АО Покупатель");
        form.setPartnerIln(partnerIln);
        Startup::setParties(form);
        Startup::takeOrder(form, XmlDocument::fromText(orderText));
        Startup::finish(form);
    }
    bool show()
    {
        control.resize(1100, 720);
        control.show();
        return QTest::qWaitForWindowExposed(&control);
    }

    LineTableView* table() const { return control.linesView(); }
    CellEditorBox* editorBox() const { return table()->editorBox(); }
    QString cell(int row, int column) const
    {
        return form.lines().text(int16_t(row), int16_t(column));
    }
    QString total() const { return form.summary().text(1, SumConfirmed); }
    QString shownLineCount() const { return form.summary().text(1, SumLineCount); }
    Rgb colour(int row, int column) const
    {
        const Grid& lines = form.lines();
        return lines.data(lines.index(row, column), Grid::BackgroundRgbRole).value<Rgb>();
    }
    // The one colour of columns 1 to 17 of a row, or 0 when they differ.
    Rgb rowColour(int row) const
    {
        const Rgb first = colour(row, ColEan);
        for (int c = ColEan; c <= ColDeliveryTime; ++c) {
            if (colour(row, c) != first)
                return 0;
        }
        return first;
    }
    void click(const QString& button) const
    {
        QTest::mouseClick(control.button(button), Qt::LeftButton);
    }
    void clickCell(int row, int column) const
    {
        table()->scrollTo(form.lines().index(row, column));
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {},
                          table()->cellRect(row, column).center());
    }
    void doubleClickCell(int row, int column) const
    {
        table()->scrollTo(form.lines().index(row, column));
        QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {},
                           table()->cellRect(row, column).center());
    }
    // Double-clicks the confirmed quantity of a row and types into the editor that opens.
    void typeInto(int row, const QString& text) const
    {
        doubleClickCell(row, ColConfirmed);
        QTest::keyClick(editorBox(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editorBox(), text);
    }
};

inline LineDialog* visibleLineDialog()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<LineDialog*>(window); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// Closes every modal window a test left open.
inline void closeModalWindows()
{
    while (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        if (QApplication::activeModalWidget() == modal)
            break;
    }
    if (LineDialog* dialog = visibleLineDialog())
        dialog->reject();
}

// Acts on the line dialog once it is on screen and closes it afterwards, whatever the
// action left, so that a failing test never waits on the modal dialog.
class WhenLineDialogShows : public QObject {
public:
    explicit WhenLineDialogShows(std::function<void(LineDialog&)> act) : m_act(std::move(act))
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            LineDialog* dialog = visibleLineDialog();
            if (!dialog) {
                if (++m_polls > 300)
                    m_poll.stop();
                return;
            }
            m_poll.stop();
            m_acted = true;
            m_act(*dialog);
            m_leftOpen = dialog->isVisible();
            if (m_leftOpen)
                dialog->reject();
        });
        m_poll.start(10);
    }
    // The dialog showed up and the action closed it.
    bool done() const { return m_acted && !m_leftOpen; }

private:
    std::function<void(LineDialog&)> m_act;
    QTimer m_poll;
    int m_polls = 0;
    bool m_acted = false;
    bool m_leftOpen = false;
};

// Chooses a response type with the keyboard, passing through no other type: every type
// passed on the way would be applied to the lines.
inline void chooseType(Screen& screen, int type)
{
    auto* combo = screen.control.findChild<QComboBox*>(QStringLiteral("cboxTyp"));
    combo->setFocus();
    if (type == combo->currentIndex())
        return;
    const bool middle = type == Refuse;
    QTest::keyClick(combo, middle ? (combo->currentIndex() == Change ? Qt::Key_Down : Qt::Key_Up)
                                  : (type == Change ? Qt::Key_Home : Qt::Key_End));
}

template <typename T> T* child(QWidget& parent, const char* name)
{
    return parent.findChild<T*>(QLatin1String(name));
}

// Replaces a text box's text the way a user does: select all, type.
inline void retype(QWidget* box, const QString& text)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

} // namespace OnScreen
