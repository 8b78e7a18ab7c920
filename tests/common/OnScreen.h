#pragma once

#include "DocumentsHelpers.h"
#include "RecordingMessages.h"
#include "TestSupport.h"
#include "core/actions/Confirmation.h"
#include "core/form/Columns.h"
#include "core/form/ProcessState.h"
#include "ui/control/PotwierdzenieZam.h"
#include "ui/editing/CellEditorBox.h"
#include "ui/editing/LineDialog.h"
#include "ui/editing/LineTableView.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
// An order on screen for the widget tests, and the user's gestures on it.
namespace OnScreen {

using DocumentTexts::BuyerIln;
using DocumentTexts::SellerIln;

enum Type { Change = 0, Refuse = 1, Accept = 2 };

constexpr Rgb White = rgb(255, 255, 255);
constexpr Rgb Teal = rgb(37, 145, 170);

// Lines 1..count ordering 10, 20, 30, ... pieces of products 1..count, with long names.
inline QString order(int count)
{
    QStringList lines;
    for (int n = 1; n <= count; ++n)
        lines.append(DocumentTexts::line(
            {{"LineNumber", QString::number(n)},
             {"EAN", QStringLiteral("46012345%1").arg(n, 5, 10, QLatin1Char('0'))},
             {"ItemDescription", QStringLiteral("Товар %1 в длинной упаковке").arg(n)},
             {"OrderedQuantity", QString::number(10 * n)},
             {"OrderedUnitNetPrice", "12.5"},
             {"UnitOfMeasure", "PCE"}}));
    return DocumentTexts::order(lines, QStringLiteral("ZK-7"));
}

// The confirmation control, filled as the start-up fills it from a fetched order.
struct Screen {
    RecordingMessages messages;
    Confirmation form{messages, testProcess()};
    PotwierdzenieZam control{form};

    // Shows the control filled from an order.
    bool show(const QString& orderText, const QString& partnerIln = BuyerIln)
    {
        DocumentTexts::useParties(form, partnerIln);
        DocumentTexts::readOrder(form, orderText);
        control.resize(1100, 720);
        control.show();
        return QTest::qWaitForWindowActive(&control);
    }

    LineTableView* table() const { return control.linesView(); }
    CellEditorBox* editorBox() const { return table()->editorBox(); }
    QString cell(int row, int column) const
    {
        return form.lines().text(int16_t(row), int16_t(column));
    }
    QString total() const { return form.summary().text(1, SumConfirmed); }
    // The background of columns 1 to 17 of each line, 0 for a line of mixed colours.
    QList<Rgb> lineColours() const
    {
        QList<Rgb> colours;
        const Grid& lines = form.lines();
        for (int r = 1; r <= form.lineCount(); ++r) {
            QSet<Rgb> row;
            for (int c = ColEan; c <= ColDeliveryTime; ++c)
                row.insert(lines.data(lines.index(r, c), Grid::BackgroundRgbRole).value<Rgb>());
            colours.append(row.size() == 1 ? *row.begin() : 0);
        }
        return colours;
    }
    void click(const QString& button) const
    {
        QTest::mouseClick(control.button(button), Qt::LeftButton);
    }
    void clickCell(int row, int column, bool twice = false) const
    {
        table()->scrollTo(form.lines().index(row, column));
        const QPoint at = table()->cellRect(row, column).center();
        if (twice)
            QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, at);
        else
            QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, at);
    }
    // Opens the line dialog on the current line, acts on it and closes it whatever the action
    // left, so that a failing test never waits on it. True when the action itself closed it.
    template <typename Act> bool editLine(Act act) const
    {
        bool acted = false;
        bool leftOpen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<LineDialog*>(QApplication::activeModalWidget())) {
                poll.stop();
                acted = true;
                act(*dialog);
                if ((leftOpen = dialog->isVisible()))
                    dialog->reject();
            }
        });
        poll.start(10);
        click(QStringLiteral("btnEdytuj"));
        return acted && !leftOpen;
    }
};

// Keys go where the focus is, as they do for a person at the keyboard.
inline void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}
inline void type(const QString& text)
{
    for (const QChar c : text)
        QTest::keyClicks(QApplication::focusWidget(), QString(c));
}

// Chooses a response type with the keyboard without passing through another type: every
// type passed on the way would be applied to the lines.
inline void chooseType(Screen& screen, int type)
{
    auto* combo = screen.control.findChild<QComboBox*>(QStringLiteral("cboxTyp"));
    combo->setFocus();
    if (type == combo->currentIndex())
        return;
    QTest::keyClick(combo, type == Refuse
                               ? (combo->currentIndex() == Change ? Qt::Key_Down : Qt::Key_Up)
                               : (type == Change ? Qt::Key_Home : Qt::Key_End));
}

// Polls until `act` takes a visible top-level widget of type W (returns true); the timer
// belongs to `owner`, so that a test that fails before the widget shows leaves none behind.
template <typename W, typename Act> void whenShown(QObject* owner, Act act)
{
    auto* poll = new QTimer(owner);
    QObject::connect(poll, &QTimer::timeout, owner, [poll, act] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* shown = qobject_cast<W*>(widget);
            if (shown && shown->isVisible() && act(*shown)) {
                poll->stop();
                poll->deleteLater();
                return;
            }
        }
    });
    poll->start(20);
}

// Answers the real message boxes a window shows, as soon as they show: `answer` where the
// box offers it, else Ok. Keeps each box's text and its default button.
struct BoxAnswerer {
    BoxAnswerer()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (box && box->isVisible()) {
                    texts.append(box->text());
                    defaults.append(box->standardButton(box->defaultButton()));
                    box->done(box->standardButtons() & answer ? answer : QMessageBox::Ok);
                }
            }
        });
        timer.start(20);
    }
    void clear()
    {
        texts.clear();
        defaults.clear();
    }

    QMessageBox::StandardButton answer = QMessageBox::Yes;
    QStringList texts;
    QList<QMessageBox::StandardButton> defaults;
    QTimer timer;
};

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
