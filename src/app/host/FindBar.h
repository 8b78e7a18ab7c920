#pragma once

#include <QWidget>

class Confirmation;
class QLabel;
class QLineEdit;

// Finds a line by its EAN, the buyer's or the supplier's item code or the product's
// name: a part of any, letter case and "ё" against "е" not minded. Enter or F3 makes the
// next match's confirmed quantity the current cell; no match is said beside the field.
class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(Confirmation& form, QWidget* parent = nullptr);

    QLineEdit* field() const { return m_field; }
    // Shows the bar with the field ready for typing.
    void open();
    // The next line after the current one that matches, from the top again after the
    // last; 0 when none does.
    static int nextMatch(const Confirmation& form, const QString& text, int after);
    void findNext();

signals:
    // The bar was closed; the table may take the focus back.
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showFound(bool found);

    Confirmation& m_form;
    QLineEdit* m_field;
    QLabel* m_notFound;
};
