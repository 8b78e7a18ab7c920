#pragma once

#include "core/form/Form.h"

class CellEditor;

// The order-confirmation control: the form together with the reactions its surface runs
// when the user (or a load) changes it. Creating one sets up its lists, tables and
// headers, the decimal separator and the version label.
class Confirmation : public Form {
    Q_OBJECT
public:
    Confirmation(MessageSink& messages, ProcessState& process, QObject* parent = nullptr);
    ~Confirmation() override;

    CellEditor& editor() { return *m_editor; }

    // The confirmation date; changing it copies it into every line.
    void setTxtDataPotw(std::optional<QDate> date);
    // A picker given text converts it, and throws the type-mismatch error when it can't.
    void setTxtDataPotwText(const QString& text);
    void setTxtDataDostText(const QString& text);
    void setTxtCzasDostText(const QString& text);

    // Response type combo; selecting a different entry runs the type change.
    void selectCboxTyp(int index);

    // The scriptable DebugLevel property: a stored value that is no 16-bit integer is
    // replaced by "0" when read.
    QString debugLevel();
    // The level the debug log opens at: the stored value as a 16-bit integer, 0 if none.
    int16_t debugLevelValue() const;

    void UstawNaglowki();
    void SetHeader();

private:
    void initialize();
    void confirmationDateChanged();

    CellEditor* m_editor;
};
