#include "app/host/JournalDialog.h"

#include "core/rules/FileWriter.h"
#include "core/rules/XmlDocument.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

JournalDialog::JournalDialog(Journal& journal, QWidget* parent)
    : QDialog(parent), m_journal(journal), m_text(new QLineEdit), m_fromOn(new QCheckBox),
      m_from(new QDateEdit(QDate::currentDate().addDays(-7))), m_toOn(new QCheckBox),
      m_to(new QDateEdit(QDate::currentDate())), m_state(new QComboBox), m_table(new QTableView),
      m_count(new QLabel), m_open(nullptr), m_response(nullptr), m_discard(nullptr)
{
    setObjectName(QStringLiteral("JournalDialog"));
    setWindowTitle(QStringLiteral("Журнал заказов и подтверждений"));
    auto* layout = new QVBoxLayout(this);

    auto* filters = new QHBoxLayout;
    m_text->setObjectName(QStringLiteral("search"));
    m_text->setPlaceholderText(
        QStringLiteral("Номер заказа или подтверждения, покупатель, EAN или код товара"));
    m_text->setClearButtonEnabled(true);
    filters->addWidget(m_text, 1);
    m_fromOn->setText(QStringLiteral("с"));
    m_toOn->setText(QStringLiteral("по"));
    for (QDateEdit* date : {m_from, m_to}) {
        date->setCalendarPopup(true);
        date->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        date->setEnabled(false);
    }
    filters->addWidget(m_fromOn);
    filters->addWidget(m_from);
    filters->addWidget(m_toOn);
    filters->addWidget(m_to);
    m_state->setObjectName(QStringLiteral("state"));
    m_state->addItem(QStringLiteral("Все состояния"), -1);
    for (WorkState state : {WorkState::Received, WorkState::InProgress, WorkState::Sent,
                            WorkState::Saved, WorkState::Discarded})
        m_state->addItem(WorkStates::label(state), int(state));
    filters->addWidget(m_state);
    layout->addLayout(filters);

    m_table->setObjectName(QStringLiteral("entries"));
    m_table->setModel(&m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 8);
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_count);

    auto* buttons = new QDialogButtonBox;
    m_open = buttons->addButton(QStringLiteral("Открыть заказ"), QDialogButtonBox::ActionRole);
    m_open->setObjectName(QStringLiteral("openOrder"));
    m_response = buttons->addButton(QStringLiteral("Показать ответ"), QDialogButtonBox::ActionRole);
    m_response->setObjectName(QStringLiteral("showResponse"));
    m_discard = buttons->addButton(QStringLiteral("Отбросить"), QDialogButtonBox::ActionRole);
    m_discard->setObjectName(QStringLiteral("discard"));
    QPushButton* csv =
        buttons->addButton(QStringLiteral("Экспорт в CSV…"), QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole)->setDefault(true);
    for (QPushButton* button : buttons->findChildren<QPushButton*>())
        button->setAutoDefault(false);
    layout->addWidget(buttons);

    m_typing.setSingleShot(true);
    m_typing.setInterval(150);
    connect(&m_typing, &QTimer::timeout, this, &JournalDialog::search);
    connect(m_text, &QLineEdit::textChanged, this, [this] { m_typing.start(); });
    connect(m_state, &QComboBox::currentIndexChanged, this, &JournalDialog::search);
    for (QCheckBox* on : {m_fromOn, m_toOn})
        connect(on, &QCheckBox::toggled, this, [this] {
            m_from->setEnabled(m_fromOn->isChecked());
            m_to->setEnabled(m_toOn->isChecked());
            search();
        });
    for (QDateEdit* date : {m_from, m_to})
        connect(date, &QDateEdit::dateChanged, this, &JournalDialog::search);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_open, &QPushButton::clicked, this, [this] {
        if (const Journal::Entry* e = current()) {
            emit openOrder(e->id);
            accept();
        }
    });
    connect(m_table, &QTableView::doubleClicked, m_open, &QPushButton::click);
    connect(m_response, &QPushButton::clicked, this, &JournalDialog::showResponse);
    connect(m_discard, &QPushButton::clicked, this, [this] {
        if (const Journal::Entry* e = current()) {
            emit discard(e->id);
            search();
        }
    });
    connect(csv, &QPushButton::clicked, this, &JournalDialog::exportCsv);
    search();
    resize(1100, 560);
}

void JournalDialog::search()
{
    m_typing.stop();
    Journal::Filter filter;
    filter.text = m_text->text();
    if (m_fromOn->isChecked())
        filter.from = m_from->date();
    if (m_toOn->isChecked())
        filter.to = m_to->date();
    filter.state = WorkStates::fromNumber(m_state->currentData().toInt());
    m_model.setEntries(m_journal.search(filter));
    m_table->resizeColumnsToContents();
    m_count->setText(m_model.rowCount() == filter.limit
                         ? QStringLiteral("Показаны последние %1 записей").arg(filter.limit)
                         : QStringLiteral("Записей: %1").arg(m_model.rowCount()));
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &JournalDialog::updateButtons, Qt::UniqueConnection);
    if (m_model.rowCount() > 0)
        m_table->selectRow(0);
    updateButtons();
}

const Journal::Entry* JournalDialog::current() const
{
    return m_model.entryAt(m_table->currentIndex().row());
}

void JournalDialog::updateButtons()
{
    const Journal::Entry* e = current();
    m_open->setEnabled(e != nullptr);
    m_response->setEnabled(e && !e->responseNumber.isEmpty());
    m_discard->setEnabled(e && !WorkStates::isDone(e->state));
}

QByteArray JournalDialog::currentResponse() const
{
    const Journal::Entry* e = current();
    return e ? m_journal.responseDocument(e->id) : QByteArray();
}

void JournalDialog::showResponse()
{
    const Journal::Entry* e = current();
    if (!e)
        return;
    QDialog viewer(this);
    viewer.setWindowTitle(QStringLiteral("Подтверждение %1 — %2")
                              .arg(e->responseNumber, e->answer == QLatin1String("OK")
                                                          ? QStringLiteral("принято площадкой")
                                                          : e->responseTarget));
    auto* layout = new QVBoxLayout(&viewer);
    // Laid out for reading; the bytes as they went, one switch away.
    const QByteArray sent = currentResponse();
    const XmlDocument parsed = XmlDocument::fromBytes(sent);
    const QString readable =
        parsed.isEmpty() ? QString::fromUtf8(sent) : QString::fromUtf8(parsed.toUtf8());
    auto* text = new QPlainTextEdit(readable);
    text->setObjectName(QStringLiteral("response"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* asSent = new QCheckBox(QStringLiteral("Байт в байт, как отправлено"));
    connect(asSent, &QCheckBox::toggled, text, [text, sent, readable](bool raw) {
        text->setPlainText(raw ? QString::fromUtf8(sent) : readable);
        text->setLineWrapMode(raw ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    });
    layout->addWidget(text);
    layout->addWidget(asSent);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(close, &QDialogButtonBox::rejected, &viewer, &QDialog::reject);
    layout->addWidget(close);
    viewer.resize(900, 600);
    viewer.exec();
}

bool JournalDialog::exportTo(const QString& path, QString& error) const
{
    QList<Journal::Entry> entries;
    for (int row = 0; row < m_model.rowCount(); ++row)
        entries.append(*m_model.entryAt(row));
    return FileWriter::write(path, Journal::csv(entries), &error);
}

void JournalDialog::exportCsv()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт журнала"),
                                     QStringLiteral("Журнал.csv"), QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!exportTo(path, error))
        m_count->setText(QStringLiteral("Файл не записан: ") + error);
    else
        m_count->setText(QStringLiteral("Записано в %1").arg(path));
}
