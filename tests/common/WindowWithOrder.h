#pragma once

#include "DocumentsHelpers.h"
#include "TestSupport.h"
#include "UserHome.h"

#include "OnScreen.h"
#include "app/host/HostWindow.h"
#include "app/host/WorkKeeper.h"

#include <QSignalSpy>

// A host window started off-line, into which an order is put the way an on-line start-up
// puts a fetched one; the user's work is kept from then on. The user's home must have
// been set up for the buyer OnScreen::BuyerIln.
struct WindowWithOrder {
    explicit WindowWithOrder(const QString& partnerName = QStringLiteral("АО Покупатель"))
        : window(UserHome::offLine(OnScreen::BuyerIln, partnerName), testProcess())
    {
    }

    // Shows the window with an order of `lines` lines under a change; false when the
    // window did not start or come to the front.
    bool open(int lines, int type = OnScreen::Change)
    {
        QSignalSpy started(&window, &HostWindow::started);
        window.show();
        if (!started.wait(10000))
            return false;
        DocumentTexts::useParties(window.form(), OnScreen::BuyerIln);
        DocumentTexts::readOrder(window.form(), OnScreen::order(lines));
        window.form().selectCboxTyp(type);
        window.keeper().startupFinished();
        return QTest::qWaitForWindowActive(&window);
    }

    HostWindow& operator*() { return window; }
    HostWindow* operator->() { return &window; }
    QString cell(int row) const
    {
        return window.control()->form().lines().text(int16_t(row), ColConfirmed);
    }
    // The user types a quantity onto a line and presses Enter.
    void typeQuantity(int row, const QString& text)
    {
        window.goToLine(row);
        OnScreen::type(text);
        OnScreen::press(Qt::Key_Return);
    }

    HostWindow window;
};
