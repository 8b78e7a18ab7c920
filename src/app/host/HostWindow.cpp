#include "app/host/HostWindow.h"

#include "app/host/WindowPlacement.h"

#include "app/cli/CommandLine.h"
#include "app/host/ChangesPanel.h"
#include "app/host/DraftsDialog.h"
#include "app/host/FillFromFile.h"
#include "app/host/FindBar.h"
#include "app/host/JournalDialog.h"
#include "app/host/LaunchGate.h"
#include "app/host/TableFocus.h"
#include "app/host/TrustedSitesDialog.h"
#include "app/host/UndoKeys.h"
#include "app/print/PrintCommands.h"
#include "core/form/Columns.h"
#include "core/rules/LineTally.h"
#include "core/rules/XmlDocument.h"
#include "core/session/Lifecycle.h"
#include "core/session/Startup.h"
#include "core/session/TrustedOrigins.h"
#include "ui/control/BusyPointer.h"
#include "ui/control/GridView.h"
#include "ui/control/PotwierdzenieZam.h"
#include "ui/editing/LineTableView.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

HostWindow::HostWindow(LaunchOptions options, ProcessState& process, QWidget* parent)
    : QMainWindow(parent), m_options(std::move(options)), m_bag(m_options), m_boxes(this),
      m_printed(m_errorStream),
      // A window rendered to a picture has nobody to answer a message box: its messages
      // are printed instead.
      m_messages(m_options.screenshot.isEmpty() && !m_options.unattended
                     ? static_cast<MessageSink&>(m_boxes)
                     : m_printed),
      m_form(m_messages, process), m_keeper(m_form)
{
    if (!m_options.screenshot.isEmpty() || m_options.unattended)
        m_errorStream.open(stderr, QIODevice::WriteOnly);
    m_form.setHost(*this);
    Lifecycle::ReadProperties(m_form, m_bag);
    m_control = new PotwierdzenieZam(m_form, this);
    m_tableFocus = new TableFocus(m_form, *m_control->linesView(), this);
    m_boxes.setTableFocus(m_tableFocus);
    UndoKeys::passToWindow(*m_control);
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildDraftsBar());
    layout->addWidget(m_control, 1);
    m_findBar = new FindBar(m_form);
    layout->addWidget(m_findBar);
    connect(m_findBar, &FindBar::closed, this,
            [this] { m_control->linesView()->setFocus(Qt::OtherFocusReason); });
    connect(m_findBar, &FindBar::chosen, this, &HostWindow::goToLine);
    setCentralWidget(central);
    m_changes = new ChangesPanel(m_form, this);
    addDockWidget(Qt::RightDockWidgetArea, m_changes);
    resizeDocks({m_changes}, {360}, Qt::Horizontal);
    m_changes->restoreVisibility();
    connect(m_changes, &ChangesPanel::lineChosen, this, &HostWindow::goToLine);
    buildMenus();
    // A change is taken once the action that made it is over, not while it waits on a
    // message box or a dialog.
    m_keeper.setReadyCheck([] { return QApplication::activeModalWidget() == nullptr; });
    connect(&m_keeper, &WorkKeeper::status, this, &HostWindow::showStatus);
    m_nextOrderButton = new QPushButton(QStringLiteral("Следующий заказ"));
    m_nextOrderButton->setObjectName(QStringLiteral("nextOrder"));
    m_nextOrderButton->setToolTip(QStringLiteral("Получить следующий ожидающий заказ (Ctrl+N)"));
    m_nextOrderButton->hide();
    connect(m_nextOrderButton, &QPushButton::clicked, this, &HostWindow::nextOrder);
    statusBar()->addPermanentWidget(m_nextOrderButton);
    m_waiting = new QLabel;
    m_waiting->setObjectName(QStringLiteral("waiting"));
    m_waiting->hide();
    statusBar()->addPermanentWidget(m_waiting);
    m_tally = new QLabel;
    m_tally->setObjectName(QStringLiteral("tally"));
    statusBar()->addPermanentWidget(m_tally);
    connect(&m_keeper, &WorkKeeper::stateChanged, this, &HostWindow::updateTally);
    showTitle();
    connect(&m_form, &Confirmation::fieldChanged, this, [this](Confirmation::Field field) {
        if (field == Confirmation::Field::lblNrZamWart ||
            field == Confirmation::Field::lblILNKupWart)
            showTitle();
    });
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    // A picture of the window shows it whole, whatever the screen.
    if (m_options.screenshot.isEmpty())
        WindowPlacement::restore(*this, QSize(1560, 820));
    else
        resize(1560, 820);
}

HostWindow::~HostWindow()
{
    WindowPlacement::forget(*this);
    if (m_started && !m_terminated)
        Lifecycle::Terminate(m_form);
}

void HostWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Файл"));
    QAction* drafts = file->addAction(QStringLiteral("&Черновики…"), this, &HostWindow::showDrafts);
    drafts->setObjectName(QStringLiteral("actionDrafts"));
    QAction* fill = file->addAction(QStringLiteral("З&аполнить из файла…"), this, [this] {
        if (!FillFromFile::run(this, m_form, m_messages).isEmpty())
            m_tableFocus->toTable();
    });
    fill->setObjectName(QStringLiteral("actionFill"));
    QAction* journal = file->addAction(QStringLiteral("&Журнал…"), this, &HostWindow::showJournal);
    journal->setObjectName(QStringLiteral("actionJournal"));
    journal->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    m_nextOrderAction =
        file->addAction(QStringLiteral("С&ледующий заказ"), this, &HostWindow::nextOrder);
    m_nextOrderAction->setObjectName(QStringLiteral("actionNextOrder"));
    m_nextOrderAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    m_nextOrderAction->setEnabled(false);
    file->addSeparator();
    file->addAction(QStringLiteral("&Печать…"), QKeySequence::Print, this,
                    [this] { PrintCommands::preview(this, m_form); })
        ->setObjectName(QStringLiteral("actionPrint"));
    file->addAction(QStringLiteral("&Экспорт в PDF…"), this,
                    [this] {
                        const QString path = PrintCommands::exportPdf(this, m_form, m_messages);
                        if (!path.isEmpty())
                            showStatus(QStringLiteral("Подтверждение записано в файл %1")
                                           .arg(QDir::toNativeSeparators(path)));
                    })
        ->setObjectName(QStringLiteral("actionPdf"));
    file->addSeparator();
    QAction* sites =
        file->addAction(QStringLiteral("&Доверенные сайты…"), this, &HostWindow::showTrustedSites);
    sites->setObjectName(QStringLiteral("actionTrustedSites"));
    file->addSeparator();
    file->addAction(QStringLiteral("&Закрыть"), QKeySequence::Close, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Правка"));
    QUndoStack& stack = m_keeper.undoStack();
    QAction* undo = edit->addAction(QStringLiteral("&Отменить"), this, [this] { step(false); });
    undo->setObjectName(QStringLiteral("actionUndo"));
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo->setEnabled(false);
    connect(&stack, &QUndoStack::canUndoChanged, undo, &QAction::setEnabled);
    QAction* redo = edit->addAction(QStringLiteral("&Повторить"), this, [this] { step(true); });
    redo->setObjectName(QStringLiteral("actionRedo"));
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    redo->setEnabled(false);
    connect(&stack, &QUndoStack::canRedoChanged, redo, &QAction::setEnabled);
    edit->addSeparator();
    QAction* find = edit->addAction(QStringLiteral("&Найти…"), this, [this] { m_findBar->open(); });
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    QAction* next = edit->addAction(QStringLiteral("Найти &далее"), this, [this] {
        if (m_findBar->isVisible())
            m_findBar->findNext();
        else
            m_findBar->open();
    });
    next->setShortcut(QKeySequence(Qt::Key_F3));

    menuBar()->addMenu(QStringLiteral("&Вид"))->addAction(m_changes->toggleViewAction());
}

// The order's number and buyer, so that two windows are told apart in the task bar.
void HostWindow::showTitle()
{
    const QString order = m_form.field(Confirmation::Field::lblNrZamWart);
    const QString buyer = m_form.field(Confirmation::Field::lblILNKupWart);
    const QString partner = buyer.isEmpty() ? m_form.properties().partnerName : buyer;
    if (!order.isEmpty())
        setWindowTitle(partner.isEmpty()
                           ? QStringLiteral("Заказ %1 — WEXA").arg(order)
                           : QStringLiteral("Заказ %1, %2 — WEXA").arg(order, partner));
    else
        setWindowTitle(partner.isEmpty()
                           ? QStringLiteral("Подтверждение заказа — WEXA")
                           : QStringLiteral("Подтверждение заказа: %1 — WEXA").arg(partner));
}

void HostWindow::updateTally()
{
    m_tally->setText(tallyText());
}

QString HostWindow::tallyText() const
{
    if (m_form.lineCount() < 1)
        return {};
    const LineTally tally = LineTally::of(m_form);
    QString text = QStringLiteral("Полностью: %1 · Изменено: %2 · Отказ: %3")
                       .arg(tally.full)
                       .arg(tally.changed)
                       .arg(tally.refused);
    if (tally.failing > 0)
        text += QStringLiteral(" · С ошибкой: %1").arg(tally.failing);
    return text + (m_keeper.hasUnsavedWork() ? QStringLiteral(" · не отправлено и не записано")
                                             : QString());
}

void HostWindow::step(bool forward)
{
    // Nothing is undone while an action of the control is still running.
    if (!m_form.isEnabled())
        return;
    TableFocus::Away away(*m_tableFocus);
    m_keeper.watcher().settle();
    QUndoStack& stack = m_keeper.undoStack();
    forward ? stack.redo() : stack.undo();
}

QWidget* HostWindow::buildDraftsBar()
{
    m_draftsBar = new QWidget;
    m_draftsBar->setObjectName(QStringLiteral("draftsBar"));
    m_draftsBar->setAutoFillBackground(true);
    QPalette palette = m_draftsBar->palette();
    palette.setColor(QPalette::Window, QColor(255, 244, 206));
    m_draftsBar->setPalette(palette);
    auto* row = new QHBoxLayout(m_draftsBar);
    row->setContentsMargins(10, 6, 10, 6);
    m_draftsText = new QLabel;
    m_draftsText->setWordWrap(true);
    auto* show = new QPushButton(QStringLiteral("Показать черновики…"));
    show->setObjectName(QStringLiteral("showDrafts"));
    auto* hide = new QToolButton;
    hide->setText(QStringLiteral("✕"));
    hide->setToolTip(QStringLiteral("Скрыть"));
    hide->setAutoRaise(true);
    row->addWidget(m_draftsText, 1);
    row->addWidget(show);
    row->addWidget(hide);
    connect(show, &QPushButton::clicked, this, &HostWindow::showDrafts);
    connect(hide, &QToolButton::clicked, m_draftsBar, &QWidget::hide);
    m_draftsBar->hide();
    return m_draftsBar;
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

void HostWindow::orderReceived(const QByteArray& orderXml)
{
    m_keeper.orderReceived(orderXml);
}

void HostWindow::noOrderWaiting()
{
    showStatus(QStringLiteral("На сервере нет ожидающих заказов."));
    waitingOrders(0);
}

void HostWindow::waitingOrders(int count)
{
    m_waiting->setText(QStringLiteral("Ждут на площадке: %1").arg(count));
    m_waiting->show();
}

void HostWindow::responseSaved(const QString& path, const QByteArray& document)
{
    m_keeper.responseSaved(path, document);
    showStatus(
        QStringLiteral("Подтверждение записано в файл %1").arg(QDir::toNativeSeparators(path)));
}

void HostWindow::responseUploaded(const QByteArray& document, const QString& address,
                                  const QString& status)
{
    m_keeper.responseUploaded(document, address, status);
}

void HostWindow::responseSent(const QString& number)
{
    m_keeper.responseSent();
    showStatus(QStringLiteral("Подтверждение %1 отправлено.").arg(number));
    updateNextOrder();
    emit sent(number);
}

void HostWindow::responseLoading(const QString&)
{
    m_keeper.responseLoading();
}

void HostWindow::responseLoaded(const QString& path, bool loaded)
{
    m_keeper.responseLoaded(path, loaded);
}

bool HostWindow::mayTakeNextOrder() const
{
    return m_started && m_options.pageUrl && !m_form.isOffLine() &&
           (m_keeper.workState() == WorkState::Sent || m_form.lineCount() < 1);
}

void HostWindow::updateNextOrder()
{
    const bool may = mayTakeNextOrder();
    m_nextOrderAction->setEnabled(may);
    m_nextOrderButton->setVisible(may);
}

void HostWindow::nextOrder()
{
    if (!mayTakeNextOrder() || !m_form.isEnabled())
        return;
    if (Lifecycle::NextOrder(m_form)) {
        m_keeper.startupFinished();
        showStatus(QStringLiteral("Получен заказ %1.")
                       .arg(m_form.field(Confirmation::Field::lblNrZamWart)));
    }
    updateNextOrder();
    showTitle();
}

void HostWindow::showJournal()
{
    Journal* journal = m_keeper.journal().journal();
    if (!journal) {
        m_messages.show({Messages::Title,
                         QStringLiteral("Журнал недоступен: рабочая папка не задана или "
                                        "журнал не открывается."),
                         Message::Icon::Exclamation});
        return;
    }
    JournalDialog dialog(*journal, this);
    connect(&dialog, &JournalDialog::openOrder, this, &HostWindow::openFromJournal);
    connect(&dialog, &JournalDialog::discard, this, [this, journal](qint64 id) {
        const std::optional<Journal::Entry> entry = journal->entry(id);
        if (entry)
            discardWork(entry->draftId, id);
    });
    dialog.exec();
}

void HostWindow::openFromJournal(qint64 id)
{
    Journal* journal = m_keeper.journal().journal();
    const std::optional<Journal::Entry> entry = journal ? journal->entry(id) : std::nullopt;
    if (!entry)
        return;
    if (entry->buyerIln != m_form.partnerIln()) {
        m_messages.show({Messages::Title,
                         QStringLiteral("Заказ относится к другому покупателю (%1, ILN %2). "
                                        "Откройте его в окне этого покупателя.")
                             .arg(entry->buyerName, entry->buyerIln),
                         Message::Icon::Exclamation});
        return;
    }
    const QByteArray document = journal->orderDocument(id);
    const XmlDocument order = XmlDocument::fromBytes(document);
    if (order.root().name() != QLatin1String("Document-Order")) {
        m_messages.show({Messages::Title,
                         QStringLiteral("В журнале нет заказа этой записи: она начата с "
                                        "подтверждения из файла."),
                         Message::Icon::Exclamation});
        return;
    }
    // The work on screen stays in its draft; the order becomes a confirmation of its own.
    m_keeper.watcher().settle();
    m_keeper.orderReceived(document, QStringLiteral("journal"));
    Startup::openOrder(m_form, order);
    m_keeper.startupFinished();
    updateNextOrder();
    showTitle();
    showStatus(QStringLiteral("Заказ %1 открыт из журнала.").arg(entry->orderNumber));
}

void HostWindow::discardWork(const QString& draftId, qint64 entry)
{
    const Answer answer = m_messages.show(
        {Messages::Title,
         QStringLiteral("Отбросить эту работу? Черновик больше не будет предлагаться, а в "
                        "журнале запись останется с пометкой «отброшен»."),
         Message::Icon::Question, Message::Buttons::YesNo, true});
    if (answer != Answer::Yes)
        return;
    QString refused;
    if (!draftId.isEmpty())
        refused = m_keeper.discardDraft(draftId);
    else if (Journal* journal = m_keeper.journal().journal())
        journal->setState(entry, WorkState::Discarded);
    if (!refused.isEmpty())
        m_messages.show({Messages::Title, refused, Message::Icon::Exclamation});
}

void HostWindow::partnerInfoStored(const QString& path)
{
    if (const std::optional<Drafts> store = m_keeper.drafts(); store && !m_origin.isEmpty())
        store->recordOrigin(QFileInfo(path).fileName(), m_origin);
}

void HostWindow::offerDrafts()
{
    int mine = 0;
    for (const Drafts::Info& info : m_keeper.otherUnsentDrafts())
        mine += info.partnerIln == m_form.partnerIln() ? 1 : 0;
    if (mine == 0)
        return;
    m_draftsText->setText(
        QStringLiteral("Найдены неотправленные черновики этого покупателя: %1. Работу, "
                       "прерванную закрытием окна или сбоем, можно восстановить.")
            .arg(mine));
    m_draftsBar->show();
}

void HostWindow::showDrafts()
{
    DraftsDialog dialog(m_keeper.allDrafts(), m_keeper.draftId(), this);
    connect(&dialog, &DraftsDialog::discard, this, [this, &dialog](const QString& id) {
        discardWork(id, 0);
        dialog.setDrafts(m_keeper.allDrafts(), m_keeper.draftId());
    });
    if (dialog.exec() != QDialog::Accepted || dialog.chosenId().isEmpty())
        return;
    const QString refused = m_keeper.restoreDraft(dialog.chosenId());
    if (!refused.isEmpty()) {
        m_messages.show({Messages::Title, refused, Message::Icon::Exclamation});
        return;
    }
    m_draftsBar->hide();
    m_tableFocus->toTable();
    showStatus(QStringLiteral("Черновик восстановлен."));
}

void HostWindow::showTrustedSites()
{
    TrustedOrigins origins;
    TrustedSitesDialog(origins, this).exec();
}

void HostWindow::showStatus(const QString& text)
{
    statusBar()->showMessage(text);
}

void HostWindow::goToLine(int row)
{
    if (row >= 1 && row <= m_form.lineCount())
        m_form.lines().setCurrentCell(row, ColConfirmed);
    m_control->linesView()->setFocus(Qt::OtherFocusReason);
}

void HostWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return;
    // The start-up runs once the window is on screen, so that its messages have a window
    // to stand over.
    QTimer::singleShot(0, this, &HostWindow::startUp);
}

bool HostWindow::someoneAtScreen() const
{
    return m_options.screenshot.isEmpty() && !m_options.unattended;
}

void HostWindow::startUp()
{
    LaunchGate gate(m_options, m_form.process().deadlines, m_messages, this, someoneAtScreen());
    if (!gate.pass()) {
        m_refused = true;
        emit started();
        close();
        return;
    }
    m_origin = gate.origin();
    m_keeper.setOrigin(m_origin);
    m_started = true;
    if (m_options.screenshot.isEmpty())
        WindowPlacement::announce(*this);
    Lifecycle::UserControl_Show(m_form);
    m_keeper.startupFinished();
    offerDrafts();
    updateNextOrder();
    emit started();
    if (!m_options.screenshot.isEmpty()) {
        grab().save(m_options.screenshot, "PNG");
        close();
    }
}

bool HostWindow::mayClose()
{
    m_keeper.watcher().settle();
    if (!m_keeper.hasUnsavedWork())
        return true;
    const Answer answer = m_messages.show(
        {Messages::Title,
         QStringLiteral("Подтверждение изменено, но не отправлено и не записано в файл.\n"
                        "Записать его в файл перед закрытием? При закрытии без записи "
                        "работа сохранится в черновике."),
         Message::Icon::Question, Message::Buttons::SaveCloseCancel});
    if (answer == Answer::Close)
        return true;
    if (answer != Answer::Save)
        return false;
    // The control's own save, chooser and all; the window stays open if nothing was saved.
    if (QToolButton* save = m_control->button(QStringLiteral("btnZapisz")))
        save->click();
    return !m_keeper.hasUnsavedWork();
}

void HostWindow::closeEvent(QCloseEvent* event)
{
    if (!m_started) {
        QMainWindow::closeEvent(event);
        return;
    }
    if (!m_terminated && !mayClose()) {
        event->ignore();
        return;
    }
    if (!m_terminated) {
        if (m_options.screenshot.isEmpty()) {
            WindowPlacement::remember(*this);
            m_changes->rememberVisibility();
        }
        Lifecycle::WriteProperties(m_form, m_bag);
        Lifecycle::Terminate(m_form);
        m_terminated = true;
    }
    QMainWindow::closeEvent(event);
}
