#pragma once

#include "control/Grid.h"
#include "control/MessageSink.h"

#include <QDate>
#include <QObject>
#include <QStringList>
#include <QTime>

#include <array>
#include <cstdint>
#include <optional>

class CellEditor;
class Host;

// The order confirmation as the control holds it: the header fields of its surface, the
// line and summary tables, the counters beside them and the values it remembers. The
// widget shows this state and the command line prints it; every rule works on it.
class Confirmation : public QObject {
    Q_OBJECT
public:
    // Text fields and value labels of the surface.
    enum class Field {
        txtNrPotw,
        lblNrZamWart,
        lblDataZamWart,
        lblILNKupWart,
        lblILNSprzedWart,
        lblILNMiejscaDostWart,
        lblNazwaMiejscaDostWart,
        lblAdresMiejscaDostWart,
        txtUwagi,
        lblOnLineStatus,
        lblVersion,
        Count
    };
    // What can be switched on and off: the whole control, buttons, the delivery fields.
    enum class Switch {
        ControlEnabled,
        btnEdytujVisible,
        btnEdytujEnabled,
        btnUsunEnabled,
        btnPrzeslijVisible,
        btnPrzeslijEnabled,
        DeliveryOpen,
        Count
    };

    // Host settings (persisted properties). PartnerILN is process-wide: partnerIln().
    struct Properties {
        QString onLine;
        QString debugLevel;
        QString partnerName;
        QString partnerUrl;
    };
    // The service addresses of an on-line start-up.
    struct Services {
        QString partnersUrl;
        QString uploadUrl;
        QString orderDataUrl;
    };
    struct Parties {
        QString buyerIln;
        QString buyerName;
        QString sellerIln;
        QString sellerName;
    };
    // What the order reader (and a load) keeps for the response and the type change.
    struct Remembered {
        QString deliveryPointName;
        QString deliveryPointAddress;
        QString deliveryPointIln;
        QString deliveryDate;
        QString deliveryTime;
    };

    // The whole confirmation as the user sees it, to be kept and put back exactly: both
    // tables, the counters, the header fields, pickers and combos, the parties, the
    // remembered values and the last number sent. The working mode and the control's
    // enabled state belong to the running window, not to the confirmation.
    struct State {
        Grid::State lines;
        Grid::State summary;
        int16_t lineCount = 0;
        int16_t validLineCount = 0;
        std::array<QString, size_t(Field::Count)> fields;
        std::array<bool, size_t(Switch::Count)> switches{};
        std::optional<QDate> txtDataPotw;
        std::optional<QDate> txtDataDost;
        std::optional<QTime> txtCzasDost;
        int cboxTyp = -1;
        int cboxPrzyczyna = -1;
        Parties parties;
        Remembered remembered;
        QString lastSentNumber;

        bool sameContent(const State& other) const;
    };

    // Creates the control: lists, tables and headers, decimal separator, version label.
    explicit Confirmation(MessageSink& messages, QObject* parent = nullptr);
    ~Confirmation() override;

    MessageSink& messages() { return m_messages; }
    // Shows a message with the "WEXA" title.
    Answer tell(const QString& text, Message::Icon icon,
                Message::Buttons buttons = Message::Buttons::Ok);
    // The error box of a procedure: critical icon, prefix and procedure name as title.
    void reportError(const QString& prefix, const QString& procedure, const QString& description);

    Grid& lines() { return m_lines; }
    const Grid& lines() const { return m_lines; }
    Grid& summary() { return m_summary; }
    const Grid& summary() const { return m_summary; }
    CellEditor& editor() { return *m_editor; }

    int16_t IndexGrdPozycje(int16_t r, int16_t c) const { return m_lines.cellIndex(r, c); }
    int16_t IndexGrdSuma(int16_t r, int16_t c) const { return m_summary.cellIndex(r, c); }

    int16_t lineCount() const { return m_lineCount; }
    void setLineCount(int16_t count) { m_lineCount = count; }
    int16_t validLineCount() const { return m_validLineCount; }
    void setValidLineCount(int16_t count) { m_validLineCount = count; }
    int baseRowHeight() const { return m_baseRowHeight; }

    QString field(Field field) const { return m_fields[size_t(field)]; }
    void setField(Field field, const QString& text);
    bool isOn(Switch what) const { return m_switches[size_t(what)]; }
    void set(Switch what, bool on);
    bool isEnabled() const { return isOn(Switch::ControlEnabled); }
    void setEnabled(bool on) { set(Switch::ControlEnabled, on); }

    // Date and time pickers. The confirmation date may hold no date; changing it copies
    // it into every line.
    std::optional<QDate> txtDataPotw() const { return m_txtDataPotw; }
    void setTxtDataPotw(std::optional<QDate> date);
    std::optional<QDate> txtDataDost() const { return m_txtDataDost; }
    void setTxtDataDost(std::optional<QDate> date);
    std::optional<QTime> txtCzasDost() const { return m_txtCzasDost; }
    void setTxtCzasDost(std::optional<QTime> time);
    // A picker given text converts it, and throws the type-mismatch error when it can't.
    void setTxtDataPotwText(const QString& text);
    void setTxtDataDostText(const QString& text);
    void setTxtCzasDostText(const QString& text);

    // Response type combo; selecting a different entry runs the type change.
    QStringList cboxTypItems() const;
    int cboxTyp() const { return m_cboxTyp; }
    void selectCboxTyp(int index);
    QStringList cboxPrzyczynaItems() const;
    int cboxPrzyczyna() const { return m_cboxPrzyczyna; }
    void selectCboxPrzyczyna(int index);

    Properties properties;
    Services services;
    Parties parties;
    Remembered remembered;
    QString lastSentNumber;

    // PartnerILN, kept process-wide.
    QString partnerIln() const;
    void setPartnerIln(const QString& iln);
    bool isOffLine() const { return properties.onLine == QLatin1String("Off"); }

    Host& host() { return *m_host; }
    void setHost(Host& host) { m_host = &host; }
    // The scriptable OnLine property: setting it tells the host and switches the mode
    // label and the send button.
    QString onLine() const { return properties.onLine; }
    void setOnLine(const QString& value);
    // Shows the working mode: the status label, and the send button only on-line.
    void applyModeDisplay();
    // The scriptable DebugLevel property: a stored value that is no 16-bit integer is
    // replaced by "0" when read.
    QString debugLevel();
    void setDebugLevel(const QString& value);
    // The level the debug log opens at: the stored value as a 16-bit integer, 0 if none.
    int16_t debugLevelValue() const;

    void UstawNaglowki();
    void SetHeader();

    State state() const;
    // Puts a kept state back as it was, without running any of the reactions that a
    // user's change of the same fields runs (no type change, no date copied to lines).
    void restore(const State& state);

    // Asks the surface to give the focus to the control of that name.
    void requestFocus(const QString& control) { emit focusRequested(control); }

signals:
    void fieldChanged(Confirmation::Field field);
    void switchChanged(Confirmation::Switch what, bool on);
    void datesChanged();
    void cboxTypChanged(int index);
    void cboxPrzyczynaChanged(int index);
    void focusRequested(const QString& control);
    // A kept state was put back.
    void restored();

private:
    void initialize();
    void confirmationDateChanged();

    MessageSink& m_messages;
    Host* m_host;
    Grid m_lines;
    Grid m_summary;
    CellEditor* m_editor;
    int16_t m_lineCount = 0;
    int16_t m_validLineCount = 0;
    int m_baseRowHeight = 0;
    std::array<QString, size_t(Field::Count)> m_fields;
    std::array<bool, size_t(Switch::Count)> m_switches{};
    std::optional<QDate> m_txtDataPotw;
    std::optional<QDate> m_txtDataDost;
    std::optional<QTime> m_txtCzasDost;
    int m_cboxTyp = -1;
    int m_cboxPrzyczyna = -1;
};
