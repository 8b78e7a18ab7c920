#pragma once

#include "app/host/JournalModel.h"

#include <QDialog>
#include <QTimer>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// Файл → Журнал…: the journal's entries, newest first, found by a number, the buyer, an EAN
// or item code of a line, a date range and a state. An entry's order opens as a new
// confirmation and its draft can be given up (both by the window); its response is shown
// exactly as it was sent; the entries listed go to a CSV file.
class JournalDialog : public QDialog {
    Q_OBJECT
public:
    JournalDialog(Journal& journal, QWidget* parent = nullptr);

    QLineEdit* searchField() const { return m_text; }
    QComboBox* stateBox() const { return m_state; }
    QTableView* table() const { return m_table; }
    const JournalModel& model() const { return m_model; }
    // Runs the search now rather than after the pause for typing.
    void search();
    // The entry of the current row, or nothing.
    const Journal::Entry* current() const;
    // The response of the current entry as sent, for the viewer.
    QByteArray currentResponse() const;
    // Writes the listed entries as CSV; false, with the reason, when the file was not
    // written.
    bool exportTo(const QString& path, QString& error) const;

signals:
    void openOrder(qint64 entry);
    void discard(qint64 entry);

private:
    void showResponse();
    void exportCsv();
    void updateButtons();

    Journal& m_journal;
    JournalModel m_model;
    QLineEdit* m_text;
    QCheckBox* m_fromOn;
    QDateEdit* m_from;
    QCheckBox* m_toOn;
    QDateEdit* m_to;
    QComboBox* m_state;
    QTableView* m_table;
    QLabel* m_count;
    QPushButton* m_open;
    QPushButton* m_response;
    QPushButton* m_discard;
    QTimer m_typing;
};
