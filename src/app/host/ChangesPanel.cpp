#include "app/host/ChangesPanel.h"

#include "app/host/Preferences.h"

#include "core/form/Form.h"
#include "core/rules/Conversions.h"

#include <QAction>
#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QSettings>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

using Filter = ChangesModel::Filter;

namespace {

const QString VisibleKey = QStringLiteral("ChangesPanel/visible");
const QColor AttentionText(176, 0, 32);

struct FilterButton {
    Filter filter;
    const char* name;
    QString caption;
};

const QList<FilterButton>& filterButtons()
{
    static const QList<FilterButton> buttons = {
        {Filter::All, "filterAll", QStringLiteral("Все")},
        {Filter::Changed, "filterChanged", QStringLiteral("Изменено")},
        {Filter::Refused, "filterRefused", QStringLiteral("Отказ")},
        {Filter::Attention, "filterAttention", QStringLiteral("Предупреждения")},
    };
    return buttons;
}

// Lines that need the clerk's attention read in red.
class AttentionDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(ChangesModel::AttentionRole).toBool())
            option->palette.setColor(QPalette::Text, AttentionText);
    }
};

// Enter on a line chooses it, as a click does.
class ChangesList : public QTableView {
public:
    using QTableView::QTableView;
    std::function<void(const QModelIndex&)> chosen;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            currentIndex().isValid()) {
            chosen(currentIndex());
            return;
        }
        QTableView::keyPressEvent(event);
    }
};

} // namespace

ChangesPanel::ChangesPanel(Form& form, QWidget* parent)
    : QDockWidget(QStringLiteral("Изменения"), parent), m_form(form), m_model(form),
      m_filters(new QButtonGroup(this)), m_headerWarning(new QLabel), m_empty(new QLabel),
      m_details(new QLabel)
{
    setObjectName(QStringLiteral("changesPanel"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    toggleViewAction()->setText(QStringLiteral("Панель «&Изменения»"));
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    // Two by two, so that the panel stays narrow beside the table.
    auto* filters = new QGridLayout;
    filters->setSpacing(2);
    for (const FilterButton& entry : filterButtons()) {
        auto* button = new QToolButton;
        button->setObjectName(QLatin1String(entry.name));
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        const int at = int(m_filters->buttons().size());
        m_filters->addButton(button, int(entry.filter));
        filters->addWidget(button, at / 2, at % 2);
    }
    m_filters->button(int(Filter::All))->setChecked(true);
    layout->addLayout(filters);

    m_headerWarning->setObjectName(QStringLiteral("deliveryWarning"));
    m_headerWarning->setWordWrap(true);
    m_headerWarning->setStyleSheet(QStringLiteral("color: #b00020;"));
    layout->addWidget(m_headerWarning);

    auto* list = new ChangesList;
    list->chosen = [this](const QModelIndex& index) { choose(index); };
    m_list = list;
    m_list->setObjectName(QStringLiteral("changesList"));
    m_list->setModel(&m_model);
    m_list->setItemDelegate(new AttentionDelegate(m_list));
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics metrics = m_list->fontMetrics();
    const auto width = [&](const char* sample) {
        return metrics.horizontalAdvance(QLatin1String(sample)) + 12;
    };
    m_list->setColumnWidth(ChangesModel::LineNumber, width("0000"));
    m_list->setColumnWidth(ChangesModel::Ean, width("4600000000000"));
    m_list->setColumnWidth(ChangesModel::Ordered, width("0000,000"));
    m_list->setColumnWidth(ChangesModel::Confirmed, width("0000,000"));
    m_list->setColumnWidth(ChangesModel::Difference, width("+0000,000"));
    // Beside the table there is room for the numbers: the EAN and the name are in the
    // line's details below the list.
    m_list->setColumnHidden(ChangesModel::Ean, true);
    m_list->setColumnHidden(ChangesModel::Name, true);
    m_list->setMinimumWidth(200);
    layout->addWidget(m_list, 1);

    m_details->setObjectName(QStringLiteral("lineDetails"));
    m_details->setWordWrap(true);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_details);

    m_empty->setObjectName(QStringLiteral("nothingChanged"));
    m_empty->setText(QStringLiteral("Все строки подтверждены так, как заказаны."));
    m_empty->setWordWrap(true);
    layout->addWidget(m_empty);
    setWidget(content);

    connect(m_filters, &QButtonGroup::idClicked, this,
            [this](int id) { m_model.setFilter(Filter(id)); });
    connect(&m_model, &ChangesModel::countsChanged, this, &ChangesPanel::showCounts);
    connect(&m_model, &ChangesModel::modelReset, this, &ChangesPanel::showCounts);
    connect(m_list, &QTableView::clicked, this, &ChangesPanel::choose);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ChangesPanel::showDetails);
    connect(&m_model, &ChangesModel::modelReset, this, [this] { showDetails({}); });
    showCounts();
}

QAbstractButton* ChangesPanel::filterButton(Filter filter) const
{
    return m_filters->button(int(filter));
}

void ChangesPanel::restoreVisibility()
{
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("WEXA"));
    setVisible(store.value(VisibleKey, true).toBool());
}

void ChangesPanel::rememberVisibility() const
{
    Preferences::write(QStringLiteral("панель изменений"),
                       [this](QSettings& store) { store.setValue(VisibleKey, isVisible()); });
}

void ChangesPanel::showCounts()
{
    const ChangesModel::Counts& counts = m_model.counts();
    for (const FilterButton& entry : filterButtons())
        filterButton(entry.filter)
            ->setText(QStringLiteral("%1: %2").arg(entry.caption).arg(counts.of(entry.filter)));
    const bool early = LineChanges::deliveryBeforeConfirmation(m_form);
    m_headerWarning->setVisible(early);
    if (early)
        m_headerWarning->setText(
            QStringLiteral("Подтверждённый срок поставки %1 раньше даты подтверждения %2.")
                .arg(Conversions::FormatDate(*m_form.txtDataDost()),
                     Conversions::FormatDate(*m_form.txtDataPotw())));
    m_empty->setVisible(m_form.lineCount() > 0 && counts.listed == 0);
}

void ChangesPanel::showDetails(const QModelIndex& current)
{
    const auto text = [&](ChangesModel::Column column) {
        return m_model.index(current.row(), column).data().toString();
    };
    m_details->setText(current.isValid()
                           ? QStringLiteral("№ %1, EAN %2, %3\n%4")
                                 .arg(text(ChangesModel::LineNumber), text(ChangesModel::Ean),
                                      text(ChangesModel::Name), text(ChangesModel::Note))
                           : QString());
}

void ChangesPanel::choose(const QModelIndex& index)
{
    if (const int row = m_model.lineRow(index.row()); row > 0)
        emit lineChosen(row);
}
