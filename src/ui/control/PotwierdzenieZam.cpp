#include "ui/control/PotwierdzenieZam.h"

#include "core/actions/CellEditor.h"
#include "core/actions/EditLine.h"
#include "core/actions/LoadResponse.h"
#include "core/actions/RemoveLine.h"
#include "core/actions/SaveResponse.h"
#include "core/actions/Send.h"
#include "core/form/RuntimeError.h"
#include "core/rules/ResponseType.h"
#include "core/rules/ResponseWriter.h"
#include "ui/control/GridView.h"
#include "ui/control/OptionalDateEdit.h"
#include "ui/control/Panel.h"
#include "ui/editing/LineDialog.h"
#include "ui/editing/LineTableView.h"
#include "ui/storage/ChooserDialog.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

using Field = Confirmation::Field;
using Switch = Confirmation::Switch;

namespace {

QLabel* caption(const QString& text)
{
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

} // namespace

PotwierdzenieZam::PotwierdzenieZam(Confirmation& form, QWidget* parent)
    : QWidget(parent), m_form(form)
{
    setObjectName(QStringLiteral("PotwierdzenieZam"));
    setFont(QFont(QStringLiteral("Verdana"), 8));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addWidget(buildHeader());
    layout->addWidget(buildLines(), 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(buildTotals());
    bottom->addWidget(buildRemarks(), 1);
    layout->addLayout(bottom);
    layout->addWidget(buildFooter());

    connect(&form, &Confirmation::fieldChanged, this, &PotwierdzenieZam::refreshField);
    connect(&form, &Confirmation::switchChanged, this, &PotwierdzenieZam::refreshSwitch);
    connect(&form, &Confirmation::datesChanged, this, &PotwierdzenieZam::refreshDates);
    connect(&form, &Confirmation::cboxTypChanged, this, [this](int index) {
        m_updating = true;
        m_cboxTyp->setCurrentIndex(index);
        m_updating = false;
    });
    connect(&form, &Confirmation::cboxPrzyczynaChanged, this, [this](int index) {
        m_updating = true;
        m_cboxPrzyczyna->setCurrentIndex(index);
        m_updating = false;
    });
    connect(&form, &Confirmation::focusRequested, this, &PotwierdzenieZam::focusControl);
    refreshAll();
}

PotwierdzenieZam::~PotwierdzenieZam() = default;

QToolButton* PotwierdzenieZam::button(const QString& name) const
{
    return findChild<QToolButton*>(name);
}

qint16 PotwierdzenieZam::IndexGrdSuma(qint16 r, qint16 c)
{
    return scriptIndex(QStringLiteral("IndexGrdSuma"), m_form.summary(), r, c);
}

qint16 PotwierdzenieZam::IndexGrdPozycje(qint16 r, qint16 c)
{
    return scriptIndex(QStringLiteral("IndexGrdPozycje"), m_form.lines(), r, c);
}

qint16 PotwierdzenieZam::scriptIndex(const QString& method, const Grid& grid, qint16 r, qint16 c)
{
    try {
        return grid.cellIndex(r, c);
    } catch (const RuntimeError& e) {
        emit exception(e.number(), method, e.description());
        return 0;
    }
}

QString PotwierdzenieZam::JednostkiMiaryNazwaToSymbol(const QString& nazwa) const
{
    return ::JednostkiMiaryNazwaToSymbol(nazwa);
}

QLabel* PotwierdzenieZam::valueLabel(Field field, const QString& name)
{
    auto* label = new QLabel;
    label->setObjectName(name);
    // Text set by the program, not a box to type in: flat on the panel, underlined.
    label->setStyleSheet(QStringLiteral("QLabel { border: none; border-bottom: 1px solid "
                                        "palette(mid); padding: 0px 3px; }"));
    label->setMinimumWidth(150);
    label->setMinimumHeight(QLineEdit().sizeHint().height());
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_labels[size_t(field)] = label;
    return label;
}

QWidget* PotwierdzenieZam::buildHeader()
{
    auto* panel = new Panel(QStringLiteral("frmDaneNaglowka"),
                            QStringLiteral("Данные Заголовка Подтверждения Заказа"),
                            QStringLiteral("imgDaneNaglowka"), Icons::Picture::Header);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    panel->content()->addLayout(grid);

    m_txtDataPotw = new OptionalDateEdit(QStringLiteral("yyyy-MM-dd"));
    m_txtDataPotw->setObjectName(QStringLiteral("txtDataPotw"));
    m_txtDataDost = new QDateEdit;
    m_txtDataDost->setObjectName(QStringLiteral("txtDataDost"));
    m_txtDataDost->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_txtDataDost->setCalendarPopup(true);
    m_txtCzasDost = new QTimeEdit;
    m_txtCzasDost->setObjectName(QStringLiteral("txtCzasDost"));
    m_txtCzasDost->setDisplayFormat(QStringLiteral("HH:mm"));
    m_cboxTyp = new QComboBox;
    m_cboxTyp->setObjectName(QStringLiteral("cboxTyp"));
    m_cboxTyp->addItems(m_form.cboxTypItems());
    m_cboxPrzyczyna = new QComboBox;
    m_cboxPrzyczyna->setObjectName(QStringLiteral("cboxPrzyczyna"));
    m_cboxPrzyczyna->addItems(m_form.cboxPrzyczynaItems());
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(m_cboxTyp, 1);
    QToolButton* recalculate =
        Icons::pictureButton(QStringLiteral("btnPrzelicz"), Icons::Picture::Recalculate,
                             QStringLiteral("Пересчитать по типу подтверждения"));
    recalculate->setIconSize(QSize(18, 18));
    typeRow->addWidget(recalculate);

    auto add = [grid](int row, int column, const QString& text, QWidget* field) {
        grid->addWidget(caption(text), row, column);
        grid->addWidget(field, row, column + 1);
    };
    add(0, 0, QStringLiteral("Номер подтверждения:"),
        valueLabel(Field::txtNrPotw, QStringLiteral("txtNrPotw")));
    add(1, 0, QStringLiteral("Дата подтверждения:"), m_txtDataPotw);
    add(2, 0, QStringLiteral("Номер заказа:"),
        valueLabel(Field::lblNrZamWart, QStringLiteral("lblNrZamWart")));
    add(3, 0, QStringLiteral("Дата заказа :"),
        valueLabel(Field::lblDataZamWart, QStringLiteral("lblDataZamWart")));
    add(0, 2, QStringLiteral("Имя Покупателя:"),
        valueLabel(Field::lblILNKupWart, QStringLiteral("lblILNKupWart")));
    add(1, 2, QStringLiteral("Имя Продавца:"),
        valueLabel(Field::lblILNSprzedWart, QStringLiteral("lblILNSprzedWart")));
    add(2, 2, QStringLiteral("ILN места доставки:"),
        valueLabel(Field::lblILNMiejscaDostWart, QStringLiteral("lblILNMiejscaDostWart")));
    add(3, 2, QStringLiteral("Название места доставки :"),
        valueLabel(Field::lblNazwaMiejscaDostWart, QStringLiteral("lblNazwaMiejscaDostWart")));
    add(4, 2, QStringLiteral("Адрес места доставки:"),
        valueLabel(Field::lblAdresMiejscaDostWart, QStringLiteral("lblAdresMiejscaDostWart")));
    add(0, 4, QStringLiteral("Подтверждение срока поставки :"), m_txtDataDost);
    add(1, 4, QStringLiteral("Подтверждение времени поставки :"), m_txtCzasDost);
    grid->addWidget(caption(QStringLiteral("Тип подтверждения:")), 2, 4);
    grid->addLayout(typeRow, 2, 5);
    QLabel* reason = caption(QStringLiteral("Przyczyna braku lub czкњciowej realizacji:"));
    reason->setWordWrap(true);
    grid->addWidget(reason, 3, 4, 2, 1);
    grid->addWidget(m_cboxPrzyczyna, 3, 5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 2);
    grid->setColumnStretch(5, 1);

    connect(m_txtDataPotw, &OptionalDateEdit::dateEdited, this, [this](std::optional<QDate> date) {
        guarded(QStringLiteral("txtDataPotw_Change()"), [&] { m_form.setTxtDataPotw(date); });
    });
    connect(m_txtDataDost, &QDateEdit::dateChanged, this, [this](QDate date) {
        if (!m_updating)
            m_form.setTxtDataDost(date);
    });
    connect(m_txtCzasDost, &QTimeEdit::timeChanged, this, [this](QTime time) {
        if (!m_updating)
            m_form.setTxtCzasDost(time);
    });
    connect(m_cboxTyp, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_updating)
            guarded(QStringLiteral("cboxTyp_Click()"), [&] { m_form.selectCboxTyp(index); });
    });
    connect(m_cboxPrzyczyna, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_updating)
            m_form.selectCboxPrzyczyna(index);
    });
    connect(recalculate, &QToolButton::clicked, this, [this] {
        guarded(QStringLiteral("btnPrzelicz_Click()"),
                [&] { ResponseType::applyType(m_form, int16_t(m_form.cboxTyp())); });
    });
    return panel;
}

QWidget* PotwierdzenieZam::buildLines()
{
    auto* panel = new Panel(QStringLiteral("frmPozycje"), QStringLiteral("Товарные позиции"),
                            QStringLiteral("imgPozycje"), Icons::Picture::Lines);
    auto* row = new QHBoxLayout;
    m_lines = new LineTableView(m_form);
    row->addWidget(m_lines, 1);
    auto* buttons = new QVBoxLayout;
    QToolButton* edit = Icons::pictureButton(QStringLiteral("btnEdytuj"), Icons::Picture::Edit,
                                             QStringLiteral("Изменить текущую позицию"));
    QToolButton* remove = Icons::pictureButton(QStringLiteral("btnUsun"), Icons::Picture::Remove,
                                               QStringLiteral("Удалить текущую позицию"));
    buttons->addWidget(edit);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    row->addLayout(buttons);
    panel->content()->addLayout(row);

    connect(edit, &QToolButton::clicked, this, [this] {
        // One dialog serves every control of the process; it reports to this one now.
        LineDialog& dialog = LineDialog::instance(m_form.messages());
        dialog.setOwner(this);
        btnEdytuj_Click(m_form, dialog);
    });
    connect(remove, &QToolButton::clicked, this, [this] { btnUsun_Click(m_form); });
    return panel;
}

QWidget* PotwierdzenieZam::buildTotals()
{
    auto* panel = new Panel(QStringLiteral("frmPodsumowanie"), QStringLiteral("Итоги"),
                            QStringLiteral("Image1"), Icons::Picture::Totals);
    m_summary = new GridView(m_form.summary());
    m_summary->setObjectName(QStringLiteral("grdSuma"));
    m_summary->setFocusPolicy(Qt::NoFocus);
    m_summary->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_summary->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    int width = 2 * m_summary->frameWidth();
    for (int c = 0; c < m_form.summary().columns(); ++c)
        width += m_summary->columnWidth(c);
    m_summary->setFixedSize(width, m_summary->horizontalHeader()->height() +
                                       m_summary->rowHeight(1) + 2 * m_summary->frameWidth());
    auto* txtEdycjaSuma = new QLineEdit(m_summary->viewport());
    txtEdycjaSuma->setObjectName(QStringLiteral("txtEdycjaSuma"));
    txtEdycjaSuma->hide();
    panel->content()->addWidget(m_summary);
    panel->content()->addStretch(1);
    return panel;
}

QWidget* PotwierdzenieZam::buildRemarks()
{
    auto* panel = new Panel(QStringLiteral("frmUwagi"), QStringLiteral("Замечания"),
                            QStringLiteral("imgUwagi"), Icons::Picture::Remarks);
    m_txtUwagi = new QPlainTextEdit;
    m_txtUwagi->setObjectName(QStringLiteral("txtUwagi"));
    m_txtUwagi->setMaximumHeight(90);
    panel->content()->addWidget(m_txtUwagi);
    connect(m_txtUwagi, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_updating)
            m_form.setField(Field::txtUwagi, m_txtUwagi->toPlainText());
    });
    return panel;
}

QWidget* PotwierdzenieZam::buildFooter()
{
    auto* footer = new QWidget;
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(0, 0, 0, 0);
    auto* status = new QLabel;
    status->setObjectName(QStringLiteral("lblOnLineStatus"));
    QFont bold = status->font();
    bold.setBold(true);
    status->setFont(bold);
    m_labels[size_t(Field::lblOnLineStatus)] = status;
    auto* version = new QLabel;
    version->setObjectName(QStringLiteral("lblVersion"));
    version->setEnabled(false);
    m_labels[size_t(Field::lblVersion)] = version;
    row->addWidget(status);
    row->addSpacing(12);
    row->addWidget(version);
    row->addStretch(1);
    QToolButton* load = Icons::pictureButton(QStringLiteral("btnWczytaj"), Icons::Picture::Load,
                                             QStringLiteral("Загрузить подтверждение из файла"));
    QToolButton* save = Icons::pictureButton(QStringLiteral("btnZapisz"), Icons::Picture::Save,
                                             QStringLiteral("Записать подтверждение в файл"));
    QToolButton* send = Icons::pictureButton(QStringLiteral("btnPrzeslij"), Icons::Picture::Send,
                                             QStringLiteral("Отправить подтверждение на сервер"));
    row->addWidget(load);
    row->addWidget(save);
    row->addWidget(send);
    connect(load, &QToolButton::clicked, this, [this] {
        ChooserDialog& chooser = ChooserDialog::instance();
        chooser.setOwner(this);
        chooser.setProcess(m_form.process());
        btnWczytaj_Click(m_form, chooser);
    });
    connect(save, &QToolButton::clicked, this, [this] {
        ChooserDialog& chooser = ChooserDialog::instance();
        chooser.setOwner(this);
        chooser.setProcess(m_form.process());
        btnZapisz_Click(m_form, chooser);
    });
    connect(send, &QToolButton::clicked, this, [this] { btnPrzeslij_Click(m_form); });
    return footer;
}

void PotwierdzenieZam::refreshField(Field field)
{
    const QString text = m_form.field(field);
    if (field == Field::txtUwagi) {
        QString shown = text;
        shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        if (m_txtUwagi->toPlainText() != shown) {
            m_updating = true;
            m_txtUwagi->setPlainText(shown);
            m_updating = false;
        }
        return;
    }
    if (QLabel* label = m_labels[size_t(field)])
        label->setText(text);
}

void PotwierdzenieZam::refreshSwitch(Switch what, bool on)
{
    switch (what) {
    case Switch::ControlEnabled:
        setEnabled(on);
        break;
    case Switch::btnEdytujVisible:
        button(QStringLiteral("btnEdytuj"))->setVisible(on);
        break;
    case Switch::btnEdytujEnabled:
        button(QStringLiteral("btnEdytuj"))->setEnabled(on);
        break;
    case Switch::btnUsunEnabled:
        button(QStringLiteral("btnUsun"))->setEnabled(on);
        break;
    case Switch::btnPrzeslijVisible:
        button(QStringLiteral("btnPrzeslij"))->setVisible(on);
        break;
    case Switch::btnPrzeslijEnabled:
        button(QStringLiteral("btnPrzeslij"))->setEnabled(on);
        break;
    case Switch::DeliveryOpen:
        m_txtDataDost->setEnabled(on);
        m_txtCzasDost->setEnabled(on);
        break;
    case Switch::Count:
        break;
    }
}

void PotwierdzenieZam::refreshDates()
{
    m_updating = true;
    m_txtDataPotw->setDate(m_form.txtDataPotw());
    if (m_form.txtDataDost())
        m_txtDataDost->setDate(*m_form.txtDataDost());
    if (m_form.txtCzasDost())
        m_txtCzasDost->setTime(*m_form.txtCzasDost());
    m_updating = false;
}

void PotwierdzenieZam::refreshAll()
{
    for (int f = 0; f < int(Field::Count); ++f)
        refreshField(Field(f));
    for (int s = 0; s < int(Switch::Count); ++s)
        refreshSwitch(Switch(s), m_form.isOn(Switch(s)));
    refreshDates();
    m_updating = true;
    m_cboxTyp->setCurrentIndex(m_form.cboxTyp());
    m_cboxPrzyczyna->setCurrentIndex(m_form.cboxPrzyczyna());
    m_updating = false;
}

void PotwierdzenieZam::focusControl(const QString& name)
{
    if (QWidget* widget = findChild<QWidget*>(name))
        widget->setFocus(Qt::OtherFocusReason);
}

void PotwierdzenieZam::guarded(const QString& handler, const std::function<void()>& action)
{
    try {
        action();
    } catch (const RuntimeError& e) {
        m_form.reportError(Messages::ErrorIn, handler, e.description());
    }
}
