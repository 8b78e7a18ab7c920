#include "app/host/FirstStartDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

FirstStartDialog::FirstStartDialog(QWidget* parent)
    : QDialog(parent),
      m_folder(
          new QLineEdit(QDir::toNativeSeparators(QDir::home().filePath(QStringLiteral("WEXA"))))),
      m_iln(new QLineEdit), m_name(new QLineEdit), m_error(new QLabel), m_ok(nullptr)
{
    setObjectName(QStringLiteral("FirstStartDialog"));
    setWindowTitle(QStringLiteral("Первый запуск — WEXA"));
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(QStringLiteral(
        "Редактор запущен впервые. Укажите рабочую папку, в которой будут храниться "
        "файлы подтверждений, и данные вашей организации-поставщика. Изменить их потом "
        "можно командой wexa-confirm setup."));
    note->setWordWrap(true);
    layout->addWidget(note);

    auto* form = new QFormLayout;
    auto* folderRow = new QHBoxLayout;
    m_folder->setObjectName(QStringLiteral("workingFolder"));
    auto* browse = new QPushButton(QStringLiteral("Обзор…"));
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);
    form->addRow(QStringLiteral("Рабочая папка:"), folderRow);
    m_iln->setObjectName(QStringLiteral("userIln"));
    m_iln->setPlaceholderText(QStringLiteral("13 цифр"));
    form->addRow(QStringLiteral("ILN (GLN) поставщика:"), m_iln);
    m_name->setObjectName(QStringLiteral("userName"));
    form->addRow(QStringLiteral("Название поставщика:"), m_name);
    layout->addLayout(form);

    m_error->setObjectName(QStringLiteral("error"));
    m_error->setWordWrap(true);
    m_error->setTextFormat(Qt::PlainText);
    m_error->setStyleSheet(QStringLiteral("color: #b00020"));
    m_error->hide();
    layout->addWidget(m_error);

    auto* buttons = new QDialogButtonBox;
    m_ok = buttons->addButton(QStringLiteral("Продолжить"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("ok"));
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, &FirstStartDialog::browse);
    const auto complete = [this] {
        m_ok->setEnabled(!m_folder->text().trimmed().isEmpty() &&
                         !m_iln->text().trimmed().isEmpty() && !m_name->text().trimmed().isEmpty());
    };
    for (QLineEdit* field : {m_folder, m_iln, m_name})
        connect(field, &QLineEdit::textChanged, this, complete);
    complete();
    m_iln->setFocus();
    resize(560, sizeHint().height());
}

Setup::Preparation FirstStartDialog::preparation() const
{
    Setup::Preparation preparation;
    preparation.folder = m_folder->text().trimmed();
    preparation.user.iln = m_iln->text().trimmed();
    preparation.user.name = m_name->text().trimmed();
    return preparation;
}

void FirstStartDialog::showError(const QString& text)
{
    m_error->setText(text);
    m_error->show();
}

void FirstStartDialog::browse()
{
    const QString chosen =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Рабочая папка"), m_folder->text());
    if (!chosen.isEmpty())
        m_folder->setText(QDir::toNativeSeparators(chosen));
}
