#include "app/host/FillReportDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

FillReportDialog::FillReportDialog(const QString& report, QWidget* parent)
    : QDialog(parent), m_text(new QPlainTextEdit(report))
{
    setObjectName(QStringLiteral("FillReportDialog"));
    setWindowTitle(QStringLiteral("Заполнение из файла"));
    auto* layout = new QVBoxLayout(this);
    m_text->setReadOnly(true);
    m_text->setObjectName(QStringLiteral("report"));
    layout->addWidget(m_text, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QPushButton* copy =
        buttons->addButton(QStringLiteral("Копировать"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("copyReport"));
    layout->addWidget(buttons);
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(m_text->toPlainText()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(640, 420);
}
