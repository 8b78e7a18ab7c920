#pragma once

#include "app/host/LaunchOptions.h"
#include "core/form/MessageSink.h"
#include "core/form/ProcessState.h"

class QWidget;

// What stands between a launch and the control's start-up. A page's link is acted on only
// for a trusted site; a clerk who has no working folder sets one up; the link's ticket is
// exchanged for the page's cookie last, so that a launch stopped on the way has not spent
// it. A launch that stops here has written nothing and leaves every setting and file as it
// was, the clerk's answer to the question about the site aside.
class LaunchGate {
public:
    LaunchGate(LaunchOptions& options, const RequestDeadlines& deadlines, MessageSink& messages,
               QWidget* window, bool someoneAtScreen);

    // False when the launch stops here; the clerk has been told why.
    bool pass();
    // The origin of the page the window is launched for; empty without a page.
    QString origin() const;

private:
    bool trusted();
    // False when the clerk gave up setting up the folder for a link.
    bool firstStart();
    bool redeemTicket();
    void tell(const QString& text);

    LaunchOptions& m_options;
    const RequestDeadlines& m_deadlines;
    MessageSink& m_messages;
    QWidget* m_window;
    bool m_someoneAtScreen;
};
