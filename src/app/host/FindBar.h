#pragma once

#include <QWidget>

class Confirmation;
class QLabel;
class QLineEdit;

// Finds a line by its EAN, the buyer's or the supplier's item code or the product's
// name: a part of any, letter case and "ё" against "е" not minded. F3 makes the next
// match's confirmed quantity the current cell, and Enter does so and hands the keys to
// the table; beside the field stands which match it is of how many ("2 из 5"), whether
// the search went round from the top, or that nothing matches.
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
    // Every line that matches, top to bottom.
    static QList<int> matches(const Confirmation& form, const QString& text);
    // The next match's row, 0 when none.
    int findNext();
    QString countText() const;

signals:
    // The bar was closed; the table may take the focus back.
    void closed();
    // Enter found this line: the clerk goes on in the table.
    void chosen(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showFound(bool found);

    Confirmation& m_form;
    QLineEdit* m_field;
    QLabel* m_notFound;
    QLabel* m_count;
};
