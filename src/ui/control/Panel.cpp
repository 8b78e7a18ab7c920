#include "ui/control/Panel.h"

#include "core/form/Columns.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

Panel::Panel(const QString& name, const QString& title, const QString& pictureName,
             Icons::Picture picture, QWidget* parent)
    : QFrame(parent), m_title(new QLabel(title)), m_content(new QVBoxLayout)
{
    setObjectName(name);
    setFrameShape(QFrame::StyledPanel);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* bar = new QFrame;
    bar->setObjectName(name + QStringLiteral("Title"));
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(Colours::FixedCell));
    palette.setColor(QPalette::WindowText, Qt::white);
    bar->setPalette(palette);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(6, 3, 6, 3);
    auto* image = new QLabel;
    image->setObjectName(pictureName);
    image->setPixmap(Icons::icon(picture).pixmap(20, 20));
    barLayout->addWidget(image);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_title->setObjectName(name + QStringLiteral("Caption"));
    barLayout->addWidget(m_title, 1);
    outer->addWidget(bar);

    m_content->setContentsMargins(8, 6, 8, 8);
    outer->addLayout(m_content, 1);
}
