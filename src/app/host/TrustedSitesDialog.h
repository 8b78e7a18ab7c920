#pragma once

#include <QDialog>

#include <optional>

class QPushButton;
class QTreeWidget;
class TrustedOrigins;

// The sites whose links may open the editor: the administrator's, which only the
// administrator changes, and the clerk's own answers, which can be turned round or
// forgotten (a forgotten site is asked about again at its next link).
class TrustedSitesDialog : public QDialog {
    Q_OBJECT
public:
    explicit TrustedSitesDialog(TrustedOrigins& origins, QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }

private:
    void fill();
    // The clerk's answer for the current site: allowed, refused or, with nothing, forgotten.
    void answer(std::optional<bool> trusted);

    TrustedOrigins& m_origins;
    QTreeWidget* m_list;
    QPushButton* m_allow;
    QPushButton* m_refuse;
    QPushButton* m_forget;
};
