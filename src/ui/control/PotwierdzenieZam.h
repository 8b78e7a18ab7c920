#pragma once

#include "core/actions/Confirmation.h"
#include "ui/control/Icons.h"

#include <QWidget>

#include <array>
#include <functional>

class GridView;
class LineTableView;
class OptionalDateEdit;
class QComboBox;
class QDateEdit;
class QLabel;
class QPlainTextEdit;
class QTimeEdit;
class QToolButton;

// The order-confirmation control on screen: four titled panels (header, lines, totals,
// remarks), the status and version labels and the picture buttons, all bound to the
// confirmation it shows. It holds no data of its own.
class PotwierdzenieZam : public QWidget {
    Q_OBJECT
    // The members a hosting page's script uses.
    Q_PROPERTY(QString OnLine READ OnLine WRITE setOnLine)
    Q_PROPERTY(QString DebugLevel READ DebugLevel WRITE setDebugLevel)
public:
    explicit PotwierdzenieZam(Confirmation& form, QWidget* parent = nullptr);
    ~PotwierdzenieZam() override;

    Confirmation& form() const { return m_form; }
    LineTableView* linesView() const { return m_lines; }
    GridView* summaryView() const { return m_summary; }
    QToolButton* button(const QString& name) const;

    QString OnLine() const { return m_form.onLine(); }
    void setOnLine(const QString& value) { m_form.setOnLine(value); }
    QString DebugLevel() const { return m_form.debugLevel(); }
    void setDebugLevel(const QString& value) { m_form.setDebugLevel(value); }
    // An index that leaves the 16-bit range is the overflow error: the call gives 0 and
    // the script is told through exception(), since nothing may be thrown through a call
    // the meta-object made.
    Q_INVOKABLE qint16 IndexGrdSuma(qint16 r, qint16 c);
    Q_INVOKABLE qint16 IndexGrdPozycje(qint16 r, qint16 c);
    Q_INVOKABLE QString JednostkiMiaryNazwaToSymbol(const QString& nazwa) const;

signals:
    // A scriptable call failed with this run-time error.
    void exception(int code, const QString& source, const QString& description);

private:
    QWidget* buildHeader();
    QWidget* buildLines();
    QWidget* buildTotals();
    QWidget* buildRemarks();
    QWidget* buildFooter();
    QLabel* valueLabel(Confirmation::Field field, const QString& name);

    void refreshField(Confirmation::Field field);
    void refreshSwitch(Confirmation::Switch what, bool on);
    void refreshDates();
    void refreshAll();
    void focusControl(const QString& name);
    qint16 scriptIndex(const QString& method, const Grid& grid, qint16 r, qint16 c);
    // Runs one of the user's actions; an error it raises is reported in the control's
    // error box titled after the handler.
    void guarded(const QString& handler, const std::function<void()>& action);

    Confirmation& m_form;
    std::array<QLabel*, size_t(Confirmation::Field::Count)> m_labels{};
    OptionalDateEdit* m_txtDataPotw = nullptr;
    QDateEdit* m_txtDataDost = nullptr;
    QTimeEdit* m_txtCzasDost = nullptr;
    QComboBox* m_cboxTyp = nullptr;
    QComboBox* m_cboxPrzyczyna = nullptr;
    QPlainTextEdit* m_txtUwagi = nullptr;
    LineTableView* m_lines = nullptr;
    GridView* m_summary = nullptr;
    bool m_updating = false;
};
