#pragma once

#include "core/session/ChangesModel.h"

#include <QDockWidget>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QTableView;

// The dock beside the table that lists every line differing from the order or deserving
// a second look, with filters and their counts. A click or Enter on a line asks for that
// line's quantity cell; the panel itself never changes the confirmation.
class ChangesPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit ChangesPanel(Form& form, QWidget* parent = nullptr);

    ChangesModel& model() { return m_model; }
    QTableView* list() const { return m_list; }
    QAbstractButton* filterButton(ChangesModel::Filter filter) const;
    // Shown or hidden as the clerk left it; shown the first time.
    void restoreVisibility();
    // Kept for the next window; the window asks while it is still on screen.
    void rememberVisibility() const;

signals:
    // The clerk chose the line in that row of the line table.
    void lineChosen(int row);

private:
    void showCounts();
    void choose(const QModelIndex& index);
    void showDetails(const QModelIndex& current);

    Form& m_form;
    ChangesModel m_model;
    QButtonGroup* m_filters;
    QLabel* m_headerWarning;
    QLabel* m_empty;
    QLabel* m_details;
    QTableView* m_list;
};
