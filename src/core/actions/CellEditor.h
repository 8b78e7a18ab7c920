#pragma once

#include <QObject>
#include <QString>

class Confirmation;

// The line table's cell editor: a text box laid over the confirmed-quantity cell. It
// checks the value when the user leaves it or presses Enter, Up or Down, and hands an
// accepted value back to the cell when the table takes the focus again.
class CellEditor : public QObject {
    Q_OBJECT
public:
    enum class Opened { Nothing, RowHeightToggled, Editor };

    explicit CellEditor(Confirmation& form);

    QString text() const { return m_text; }
    // The user's typing; a changed text has to pass the value check again.
    void setText(const QString& text);
    bool isVisible() const { return m_visible; }
    int row() const { return m_row; }

    // Double-click or Enter on the line table, acting on its current cell.
    Opened open();
    // A number typed onto the current confirmed quantity opens the editor holding what was
    // typed; the same rules as open() apply, and no other cell reacts.
    bool openTyping(const QString& typed);
    void pressEnter();
    void pressDown();
    void pressUp();
    void pressEscape();
    // The focus leaves the editor for another control.
    void leave();
    // The table takes the focus, its current cell is left, or a line button runs first.
    void commit();

signals:
    void visibleChanged(bool visible);
    void textChanged(const QString& text);
    // The editor hands the focus back to the line table.
    void focusToTable();

private:
    Opened open(const QString* typed);
    bool checkValue();
    void confirmAndMove(int step);
    void show(bool visible);

    Confirmation& m_form;
    QString m_text;
    bool m_visible = false;
    bool m_checked = false;
    int m_row = 0;
    int m_column = 0;
};
