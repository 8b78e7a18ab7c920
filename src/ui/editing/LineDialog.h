#pragma once

#include "core/actions/EditLine.h"

#include <QDialog>

class OptionalDateEdit;
class QComboBox;
class QLabel;
class QLineEdit;

// The dialog in which one line is edited. There is one per process, created on first use
// and afterwards only hidden and shown again; its checks are the core's.
class LineDialog : public QDialog, public LineDialogPort {
    Q_OBJECT
public:
    // The dialog reports its checks to the control that asked for it last.
    static LineDialog& instance(MessageSink& messages);

    // The control the dialog is shown over.
    void setOwner(QWidget* owner);
    int16_t run(LineDialogFields& fields) override;
    int16_t dialogResult() const { return m_result; }

    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit LineDialog(MessageSink& messages);
    void fill(const LineDialogFields& fields);
    LineDialogFields collect() const;
    void confirm();

    MessageSink* m_messages;
    LineDialogFields m_shown;
    int16_t m_result = 0;
    bool m_unitTyped = false; // the unit box holds what the user typed, not a chosen entry
    QLabel* m_title;
    QLabel* m_name;
    QLabel* m_ean;
    QLabel* m_ordered;
    QComboBox* m_unit;
    QLineEdit* m_price;
    QLineEdit* m_discount;
    QLineEdit* m_confirmed;
    OptionalDateEdit* m_date;
};
