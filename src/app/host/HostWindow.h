#pragma once

#include "cli/StreamMessages.h"
#include "control/Confirmation.h"
#include "control/Host.h"
#include "control/MessageBoxes.h"
#include "host/LaunchOptions.h"

#include <QFile>
#include <QMainWindow>

class PotwierdzenieZam;

// The window that hosts one control the way a platform page does: it creates the
// control, hands it its properties, shows it (which runs the start-up) and, when closed,
// keeps its properties and destroys it.
class HostWindow : public QMainWindow, public Host {
    Q_OBJECT
public:
    explicit HostWindow(LaunchOptions options, QWidget* parent = nullptr);
    ~HostWindow() override;

    Confirmation& form() { return m_form; }
    PotwierdzenieZam* control() const { return m_control; }

    std::optional<QString> pageCookie() const override;
    QString pageUrl() const override;
    void showBusyPointer() override;
    void restorePointer() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    LaunchOptions m_options;
    LaunchPropertyBag m_bag;
    MessageBoxes m_boxes;
    QFile m_errorStream;
    StreamMessages m_printed;
    MessageSink& m_messages;
    Confirmation m_form;
    PotwierdzenieZam* m_control;
    bool m_terminated = false;
};
