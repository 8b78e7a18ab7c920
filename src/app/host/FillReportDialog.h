#pragma once

#include <QDialog>

class QPlainTextEdit;

// What a fill from a list did, to read and to copy.
class FillReportDialog : public QDialog {
    Q_OBJECT
public:
    FillReportDialog(const QString& report, QWidget* parent = nullptr);

    QPlainTextEdit* text() const { return m_text; }

private:
    QPlainTextEdit* m_text;
};
