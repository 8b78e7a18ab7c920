#pragma once

#include "app/cli/StreamMessages.h"
#include "app/host/HostMessageBoxes.h"
#include "app/host/LaunchOptions.h"
#include "app/host/WorkKeeper.h"
#include "core/actions/Confirmation.h"
#include "core/form/Host.h"
#include "core/form/ProcessState.h"

#include <QFile>
#include <QMainWindow>

class ChangesPanel;
class FindBar;
class PotwierdzenieZam;
class QAction;
class QLabel;
class QPushButton;
class TableFocus;

// The window that hosts one control the way a platform page does: it creates the
// control, hands it its properties, shows it (which runs the start-up) and, when closed,
// keeps its properties and destroys it. Around the control it keeps the user's work:
// drafts, undo and the question before closing with work neither sent nor saved.
class HostWindow : public QMainWindow, public Host {
    Q_OBJECT
public:
    HostWindow(LaunchOptions options, ProcessState& process, QWidget* parent = nullptr);
    ~HostWindow() override;

    Confirmation& form() { return m_form; }
    PotwierdzenieZam* control() const { return m_control; }
    WorkKeeper& keeper() { return m_keeper; }
    // The bar offering unsent drafts found at start-up.
    QWidget* draftsBar() const { return m_draftsBar; }
    FindBar* findBar() const { return m_findBar; }
    ChangesPanel* changesPanel() const { return m_changes; }
    // The launch stopped before the control started; the window closed by itself.
    bool wasRefused() const { return m_refused; }
    // The lines at a glance, as the status bar shows them.
    QString tallyText() const;

    std::optional<QString> pageCookie() const override;
    QString pageUrl() const override;
    void showBusyPointer() override;
    void restorePointer() override;
    void orderReceived(const QByteArray& orderXml) override;
    void noOrderWaiting() override;
    void waitingOrders(int count) override;
    void responseSaved(const QString& path, const QByteArray& document) override;
    void responseUploaded(const QByteArray& document, const QString& address,
                          const QString& status) override;
    void responseSent(const QString& number) override;
    void responseLoading(const QString& path) override;
    void responseLoaded(const QString& path, bool loaded) override;
    void partnerInfoStored(const QString& path) override;

    // Lists the drafts and restores the one the user chooses.
    void showDrafts();
    // Lists the sites whose links open the editor and lets the clerk change his answers.
    void showTrustedSites();
    // Файл → Журнал….
    void showJournal();
    // The next order waiting for this buyer, once the one on screen is sent.
    void nextOrder();
    // An order kept in the journal, as a new confirmation; the work on screen stays in its
    // draft.
    void openFromJournal(qint64 entry);
    // Tells the user of a quiet event in the status bar, until the next one.
    void showStatus(const QString& text);
    // Makes the line's confirmed quantity the current cell and gives the table the focus.
    void goToLine(int row);

signals:
    // The control's start-up is over (also when it was not run: the launch was refused).
    void started();
    // The platform accepted the response.
    void sent(const QString& number);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    // Undoes (or redoes) the last change.
    void step(bool forward);
    QWidget* buildDraftsBar();
    void offerDrafts();
    void updateTally();
    void showTitle();
    bool mayTakeNextOrder() const;
    void updateNextOrder();
    // Gives up a draft's work after asking; the journal keeps it as given up.
    void discardWork(const QString& draftId, qint64 entry);
    // False when the user chose to stay.
    bool mayClose();
    // Runs the launch's checks and then the control's start-up.
    void startUp();
    bool someoneAtScreen() const;

    LaunchOptions m_options;
    LaunchPropertyBag m_bag;
    HostMessageBoxes m_boxes;
    QFile m_errorStream;
    StreamMessages m_printed;
    MessageSink& m_messages;
    Confirmation m_form;
    WorkKeeper m_keeper;
    PotwierdzenieZam* m_control;
    QWidget* m_draftsBar = nullptr;
    QLabel* m_draftsText = nullptr;
    FindBar* m_findBar = nullptr;
    ChangesPanel* m_changes = nullptr;
    TableFocus* m_tableFocus = nullptr;
    QLabel* m_tally = nullptr;
    QLabel* m_waiting = nullptr;
    QAction* m_nextOrderAction = nullptr;
    QPushButton* m_nextOrderButton = nullptr;
    QString m_origin;
    // The control was shown: from then on closing writes its properties and working folder
    // back. A launch stopped before leaves them as they were.
    bool m_started = false;
    bool m_refused = false;
    bool m_terminated = false;
};
