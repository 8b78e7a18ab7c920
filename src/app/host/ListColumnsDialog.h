#pragma once

#include "core/actions/QuantityFill.h"

#include <QDialog>

class QComboBox;

// Asks which columns of a list hold the lines' names and the quantities, when its
// header names neither; the first row is shown so that the clerk can tell them apart.
class ListColumnsDialog : public QDialog {
    Q_OBJECT
public:
    ListColumnsDialog(const QuantityFile& list, QWidget* parent = nullptr);

    QuantityFill::Columns columns() const;

private:
    const QuantityFile& m_list;
    QComboBox* m_key;
    QComboBox* m_kind;
    QComboBox* m_quantity;
};
