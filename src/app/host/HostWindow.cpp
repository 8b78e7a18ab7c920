#include "host/HostWindow.h"

#include "control/BusyPointer.h"
#include "control/Lifecycle.h"
#include "control/PotwierdzenieZam.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>

HostWindow::HostWindow(LaunchOptions options, QWidget* parent)
    : QMainWindow(parent), m_options(std::move(options)), m_bag(m_options), m_boxes(this),
      m_printed(m_errorStream),
      // A window rendered to a picture has nobody to answer a message box: its messages
      // are printed instead.
      m_messages(m_options.screenshot.isEmpty() ? static_cast<MessageSink&>(m_boxes) : m_printed),
      m_form(m_messages)
{
    if (!m_options.screenshot.isEmpty())
        m_errorStream.open(stderr, QIODevice::WriteOnly);
    m_form.setHost(*this);
    Lifecycle::ReadProperties(m_form, m_bag);
    m_control = new PotwierdzenieZam(m_form, this);
    setCentralWidget(m_control);
    const QString partner = m_form.properties.partnerName;
    setWindowTitle(partner.isEmpty()
                       ? QStringLiteral("Подтверждение заказа — WEXA")
                       : QStringLiteral("Подтверждение заказа: %1 — WEXA").arg(partner));
    resize(1200, 820);
}

HostWindow::~HostWindow()
{
    if (!m_terminated)
        Lifecycle::Terminate(m_form);
}

std::optional<QString> HostWindow::pageCookie() const
{
    if (!m_options.pageUrl)
        return std::nullopt;
    return m_options.cookie;
}

QString HostWindow::pageUrl() const
{
    return m_options.pageUrl.value_or(QString());
}

void HostWindow::showBusyPointer()
{
    QApplication::setOverrideCursor(BusyPointer::cursor());
}

void HostWindow::restorePointer()
{
    QApplication::restoreOverrideCursor();
}

void HostWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return;
    // The start-up runs once the window is on screen, so that its messages have a window
    // to stand over.
    QTimer::singleShot(0, this, [this] {
        Lifecycle::UserControl_Show(m_form);
        if (!m_options.screenshot.isEmpty()) {
            grab().save(m_options.screenshot, "PNG");
            close();
        }
    });
}

void HostWindow::closeEvent(QCloseEvent* event)
{
    Lifecycle::WriteProperties(m_form, m_bag);
    Lifecycle::Terminate(m_form);
    m_terminated = true;
    QMainWindow::closeEvent(event);
}
