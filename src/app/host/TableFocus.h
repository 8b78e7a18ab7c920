#pragma once

#include <QObject>
#include <QPointer>

class Form;
class QWidget;

// Where the clerk's keys go once something that took them away is over: an action of the
// control that disabled it, a message box, a dialog of the window. When he was working in
// the line table they go back to its current cell, unless the control itself asked for
// another field meanwhile (the header check asks for the confirmation date); otherwise
// the focus is left where it is.
class TableFocus : public QObject {
    Q_OBJECT
public:
    TableFocus(Form& form, QWidget& table, QObject* parent = nullptr);

    // For a scope that takes the keys away: notes where they were and gives them back.
    class Away {
    public:
        explicit Away(TableFocus& focus) : m_focus(focus) { m_focus.leaving(); }
        ~Away() { m_focus.back(); }
        Away(const Away&) = delete;
        Away& operator=(const Away&) = delete;

    private:
        TableFocus& m_focus;
    };

    void leaving();
    void back();
    // Gives the table the focus and its window the keyboard.
    void toTable();

private:
    bool inTable(const QWidget* widget) const;

    QPointer<QWidget> m_table;
    int m_depth = 0;
    bool m_wasInTable = false;
    bool m_lastInTable = false;
    bool m_asked = false;
    bool m_busy = false;
};
