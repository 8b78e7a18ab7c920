#include "app/host/DraftsDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int IdRole = Qt::UserRole + 1;
constexpr int DoneRole = Qt::UserRole + 2;
} // namespace

DraftsDialog::DraftsDialog(const QList<Drafts::Info>& drafts, const QString& currentId,
                           QWidget* parent)
    : QDialog(parent), m_list(new QTreeWidget), m_restore(nullptr), m_discard(nullptr)
{
    setObjectName(QStringLiteral("DraftsDialog"));
    setWindowTitle(QStringLiteral("Черновики подтверждений"));
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(QStringLiteral(
        "Черновик записывается после каждого изменения. Неотправленные черновики можно "
        "восстановить и продолжить работу с того места, где она была прервана."));
    note->setWordWrap(true);
    layout->addWidget(note);
    m_list->setObjectName(QStringLiteral("draftList"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("Номер подтверждения"), QStringLiteral("Покупатель"),
                             QStringLiteral("Последнее изменение"), QStringLiteral("Строк"),
                             QStringLiteral("Состояние")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(true);
    layout->addWidget(m_list, 1);
    auto* buttons = new QDialogButtonBox;
    m_restore = buttons->addButton(QStringLiteral("Восстановить"), QDialogButtonBox::AcceptRole);
    m_restore->setObjectName(QStringLiteral("restoreDraft"));
    m_discard = buttons->addButton(QStringLiteral("Отбросить…"), QDialogButtonBox::ActionRole);
    m_discard->setObjectName(QStringLiteral("discardDraft"));
    m_discard->setAutoDefault(false);
    buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &DraftsDialog::updateButtons);
    connect(m_discard, &QPushButton::clicked, this, [this] {
        if (const QString id = chosenId(); !id.isEmpty())
            emit discard(id);
    });
    setDrafts(drafts, currentId);
    resize(720, 360);
}

void DraftsDialog::setDrafts(const QList<Drafts::Info>& drafts, const QString& currentId)
{
    m_list->clear();
    QList<Drafts::Info> ordered = drafts;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Drafts::Info& a, const Drafts::Info& b) {
                         return !WorkStates::isDone(a.state) && WorkStates::isDone(b.state);
                     });
    for (const Drafts::Info& info : ordered) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, info.number.isEmpty() ? QStringLiteral("(без номера)") : info.number);
        item->setText(1, info.buyer.isEmpty() ? info.partnerName : info.buyer);
        item->setText(
            2, info.lastChange.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
        item->setText(3, QString::number(info.lines));
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        const bool current = info.id == currentId;
        item->setText(4, current ? QStringLiteral("открыт сейчас") : WorkStates::label(info.state));
        item->setData(0, IdRole, current ? QString() : info.id);
        item->setData(0, DoneRole, WorkStates::isDone(info.state));
    }
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        if (!m_list->topLevelItem(i)->data(0, IdRole).toString().isEmpty()) {
            m_list->setCurrentItem(m_list->topLevelItem(i));
            break;
        }
    }
    updateButtons();
}

void DraftsDialog::updateButtons()
{
    const QTreeWidgetItem* item = m_list->currentItem();
    m_restore->setEnabled(!chosenId().isEmpty());
    m_discard->setEnabled(!chosenId().isEmpty() && item && !item->data(0, DoneRole).toBool());
}

QString DraftsDialog::chosenId() const
{
    const QTreeWidgetItem* item = m_list->currentItem();
    return item ? item->data(0, IdRole).toString() : QString();
}
