#pragma once

#include "core/session/Drafts.h"

#include <QDialog>

class QPushButton;
class QTreeWidget;

// Lists the drafts of the working folder, the unsent ones first, and returns the one the
// user chose to restore. The draft the window is writing now is shown but not offered.
class DraftsDialog : public QDialog {
    Q_OBJECT
public:
    DraftsDialog(const QList<Drafts::Info>& drafts, const QString& currentId,
                 QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }
    // The draft chosen when the dialog was accepted.
    QString chosenId() const;
    void setDrafts(const QList<Drafts::Info>& drafts, const QString& currentId);

signals:
    // The clerk asks to give up a draft's work; the window asks and does it.
    void discard(const QString& id);

private:
    void updateButtons();

    QTreeWidget* m_list;
    QPushButton* m_restore;
    QPushButton* m_discard;
};
