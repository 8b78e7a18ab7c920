#pragma once

#include <QDate>
#include <QWidget>

#include <optional>

class QCheckBox;
class QDateEdit;

// A date picker that can also hold no date: the box before the date switches it on and
// off.
class OptionalDateEdit : public QWidget {
    Q_OBJECT
public:
    explicit OptionalDateEdit(const QString& displayFormat, QWidget* parent = nullptr);

    std::optional<QDate> date() const;
    void setDate(std::optional<QDate> date);
    QDateEdit* editor() const { return m_edit; }
    QCheckBox* switchBox() const { return m_switch; }

signals:
    // Only for the user's changes.
    void dateEdited(std::optional<QDate> date);

private:
    QCheckBox* m_switch;
    QDateEdit* m_edit;
    bool m_updating = false;
};
