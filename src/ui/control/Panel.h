#pragma once

#include "ui/control/Icons.h"

#include <QFrame>

class QLabel;
class QVBoxLayout;

// One of the control's titled panels: a title bar with its picture, then the content.
class Panel : public QFrame {
    Q_OBJECT
public:
    Panel(const QString& name, const QString& title, const QString& pictureName,
          Icons::Picture picture, QWidget* parent = nullptr);

    QLabel* titleLabel() const { return m_title; }
    QVBoxLayout* content() const { return m_content; }

private:
    QLabel* m_title;
    QVBoxLayout* m_content;
};
