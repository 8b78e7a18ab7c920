#pragma once

// What the application's tests share: the helpers and headers they all use, a user set up
// as the seller of an order from the buyer, and a window started as a launch starts it.

#include "DocumentsHelpers.h"
#include "OnScreen.h"
#include "OrderForm.h"
#include "RecordingMessages.h"
#include "Run.h"
#include "TestSupport.h"
#include "Tools.h"
#include "UserHome.h"
#include "WindowWithOrder.h"

#include "app/host/HostWindow.h"
#include "app/host/WorkKeeper.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>
#include <optional>

// The user's home set up for the seller ООО Поставщик and the buyer АО Покупатель.
inline bool setUpSellerAndBuyer(const UserHome& home)
{
    return home.setUp({"--user-iln", DocumentTexts::SellerIln, "--user-name", "ООО Поставщик",
                       "--partner-iln", DocumentTexts::BuyerIln, "--partner-name",
                       "АО Покупатель"});
}

// A window shown with these options once its start-up is over, or null when it never was.
inline std::unique_ptr<HostWindow> startedWindow(LaunchOptions options)
{
    auto window = std::make_unique<HostWindow>(std::move(options), testProcess());
    QSignalSpy started(window.get(), &HostWindow::started);
    window->show();
    return started.wait(30000) ? std::move(window) : nullptr;
}
