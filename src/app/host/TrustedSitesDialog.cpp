#include "app/host/TrustedSitesDialog.h"

#include "core/session/TrustedOrigins.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int OriginRole = Qt::UserRole + 1;
constexpr int ChangeableRole = Qt::UserRole + 2;
} // namespace

TrustedSitesDialog::TrustedSitesDialog(TrustedOrigins& origins, QWidget* parent)
    : QDialog(parent), m_origins(origins), m_list(new QTreeWidget)
{
    setObjectName(QStringLiteral("TrustedSitesDialog"));
    setWindowTitle(QStringLiteral("Доверенные сайты"));
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(QStringLiteral(
        "Ссылки с этих сайтов открывают подтверждение заказа. О сайте, которого нет в "
        "списке, редактор спросит при первой ссылке с него."));
    note->setWordWrap(true);
    layout->addWidget(note);
    m_list->setObjectName(QStringLiteral("siteList"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("Сайт"), QStringLiteral("Открытие заказов")});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_list, 1);
    auto* buttons = new QDialogButtonBox;
    m_allow = buttons->addButton(QStringLiteral("Разрешить"), QDialogButtonBox::ActionRole);
    m_refuse = buttons->addButton(QStringLiteral("Запретить"), QDialogButtonBox::ActionRole);
    m_forget = buttons->addButton(QStringLiteral("Забыть"), QDialogButtonBox::ActionRole);
    // Enter closes the list rather than changing an answer.
    buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole)->setDefault(true);
    for (QPushButton* button : {m_allow, m_refuse, m_forget})
        button->setAutoDefault(false);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_allow, &QPushButton::clicked, this, [this] { answer(true); });
    connect(m_refuse, &QPushButton::clicked, this, [this] { answer(false); });
    connect(m_forget, &QPushButton::clicked, this, [this] { answer(std::nullopt); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        const bool changeable = item && item->data(0, ChangeableRole).toBool();
        for (QPushButton* button : {m_allow, m_refuse, m_forget})
            button->setEnabled(changeable);
    });
    fill();
    resize(560, 320);
}

void TrustedSitesDialog::fill()
{
    m_list->clear();
    const auto add = [this](const QString& origin, const QString& state, bool changeable) {
        auto* item = new QTreeWidgetItem(m_list, {TrustedOrigins::shown(origin), state});
        item->setData(0, OriginRole, origin);
        item->setData(0, ChangeableRole, changeable);
    };
    const QStringList administered = m_origins.administered();
    for (const QString& origin : administered)
        add(origin, QStringLiteral("разрешено администратором"), false);
    for (const QString& origin : m_origins.allowed())
        if (!administered.contains(origin))
            add(origin, QStringLiteral("разрешено"), true);
    for (const QString& origin : m_origins.refused())
        if (!administered.contains(origin))
            add(origin, QStringLiteral("запрещено"), true);
    m_list->setCurrentItem(m_list->topLevelItem(0));
    if (m_list->topLevelItemCount() == 0)
        for (QPushButton* button : {m_allow, m_refuse, m_forget})
            button->setEnabled(false);
}

void TrustedSitesDialog::answer(std::optional<bool> trusted)
{
    const QTreeWidgetItem* item = m_list->currentItem();
    if (!item)
        return;
    const QString origin = item->data(0, OriginRole).toString();
    if (trusted)
        m_origins.remember(origin, *trusted);
    else
        m_origins.forget(origin);
    fill();
}
