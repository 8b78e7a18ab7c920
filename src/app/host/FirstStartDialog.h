#pragma once

#include "app/cli/Setup.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The first start of a clerk who has no working folder yet: the folder and the supplier's
// location number and name, what the setup command asks. The dialog only collects them;
// the caller prepares the folder and, when that fails, shows why with showError().
class FirstStartDialog : public QDialog {
    Q_OBJECT
public:
    explicit FirstStartDialog(QWidget* parent = nullptr);

    Setup::Preparation preparation() const;
    void showError(const QString& text);

    QLineEdit* folder() const { return m_folder; }
    QLineEdit* iln() const { return m_iln; }
    QLineEdit* name() const { return m_name; }
    QPushButton* okButton() const { return m_ok; }

private:
    void browse();

    QLineEdit* m_folder;
    QLineEdit* m_iln;
    QLineEdit* m_name;
    QLabel* m_error;
    QPushButton* m_ok;
};
