#pragma once

#include "core/form/Grid.h"
#include "core/form/MessageSink.h"

#include <QDate>
#include <QObject>
#include <QStringList>
#include <QTime>

#include <array>
#include <cstdint>
#include <optional>

class Host;
struct ProcessState;

// What the order confirmation holds: the header fields of its surface, the line and
// summary tables, the counters beside them and the values it remembers. The widget shows
// this state and the command line prints it; every rule reads and writes it, and only the
// control's own reactions (in Confirmation) run on top of its setters.
class Form : public QObject {
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

    // Everything beside the two tables.
    struct Values {
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
    };

    // The whole confirmation as the user sees it, to be kept and put back exactly: both
    // tables and every value. The working mode and the control's enabled state belong to
    // the running window, not to the confirmation.
    struct State : Values {
        Grid::State lines;
        Grid::State summary;

        bool sameContent(const State& other) const;
    };

    Form(MessageSink& messages, ProcessState& process, QObject* parent = nullptr);
    ~Form() override;

    MessageSink& messages() { return m_messages; }
    // The state every control of this process shares.
    ProcessState& process() { return m_process; }
    const ProcessState& process() const { return m_process; }
    // Shows a message with the "WEXA" title.
    Answer tell(const QString& text, Message::Icon icon,
                Message::Buttons buttons = Message::Buttons::Ok);
    // The error box of a procedure: critical icon, prefix and procedure name as title.
    void reportError(const QString& prefix, const QString& procedure, const QString& description);

    Grid& lines() { return m_lines; }
    const Grid& lines() const { return m_lines; }
    Grid& summary() { return m_summary; }
    const Grid& summary() const { return m_summary; }

    int16_t IndexGrdPozycje(int16_t r, int16_t c) const { return m_lines.cellIndex(r, c); }
    int16_t IndexGrdSuma(int16_t r, int16_t c) const { return m_summary.cellIndex(r, c); }

    int16_t lineCount() const { return m_values.lineCount; }
    void setLineCount(int16_t count) { m_values.lineCount = count; }
    int16_t validLineCount() const { return m_values.validLineCount; }
    void setValidLineCount(int16_t count) { m_values.validLineCount = count; }
    int baseRowHeight() const { return m_baseRowHeight; }

    QString field(Field field) const { return m_values.fields[size_t(field)]; }
    void setField(Field field, const QString& text);
    bool isOn(Switch what) const { return m_values.switches[size_t(what)]; }
    void set(Switch what, bool on);
    bool isEnabled() const { return isOn(Switch::ControlEnabled); }
    void setEnabled(bool on) { set(Switch::ControlEnabled, on); }

    // Date and time pickers; the confirmation date may hold no date. The confirmation
    // date and the response type are set through Confirmation, which runs their
    // reactions.
    std::optional<QDate> txtDataPotw() const { return m_values.txtDataPotw; }
    std::optional<QDate> txtDataDost() const { return m_values.txtDataDost; }
    void setTxtDataDost(std::optional<QDate> date);
    std::optional<QTime> txtCzasDost() const { return m_values.txtCzasDost; }
    void setTxtCzasDost(std::optional<QTime> time);

    QStringList cboxTypItems() const;
    int cboxTyp() const { return m_values.cboxTyp; }
    QStringList cboxPrzyczynaItems() const;
    int cboxPrzyczyna() const { return m_values.cboxPrzyczyna; }
    void selectCboxPrzyczyna(int index);

    const Properties& properties() const { return m_properties; }
    // The host's settings as read at start-up.
    void setProperties(const Properties& properties) { m_properties = properties; }
    const Services& services() const { return m_services; }
    void setServices(const Services& services) { m_services = services; }
    const Parties& parties() const { return m_values.parties; }
    void setParties(const Parties& parties) { m_values.parties = parties; }
    const Remembered& remembered() const { return m_values.remembered; }
    void remember(const Remembered& remembered) { m_values.remembered = remembered; }
    // The number of the last confirmation the server accepted.
    QString lastSentNumber() const { return m_values.lastSentNumber; }
    void recordSent(const QString& number) { m_values.lastSentNumber = number; }

    // PartnerILN, kept process-wide.
    QString partnerIln() const;
    void setPartnerIln(const QString& iln);
    bool isOffLine() const { return m_properties.onLine == QLatin1String("Off"); }

    Host& host() { return *m_host; }
    void setHost(Host& host) { m_host = &host; }
    // The scriptable OnLine property: setting it tells the host and switches the mode
    // label and the send button.
    QString onLine() const { return m_properties.onLine; }
    void setOnLine(const QString& value);
    // Shows the working mode: the status label, and the send button only on-line.
    void applyModeDisplay();
    // The scriptable DebugLevel property as stored.
    void setDebugLevel(const QString& value);

    State state() const;
    // Puts a kept state back as it was, without running any of the reactions that a
    // user's change of the same fields runs (no type change, no date copied to lines).
    void restore(const State& state);

    // Asks the surface to give the focus to the control of that name.
    void requestFocus(const QString& control) { emit focusRequested(control); }

signals:
    void fieldChanged(Form::Field field);
    void switchChanged(Form::Switch what, bool on);
    void datesChanged();
    void cboxTypChanged(int index);
    void cboxPrzyczynaChanged(int index);
    void focusRequested(const QString& control);
    // A kept state was put back.
    void restored();

protected:
    // Plain stores, for the reactions in Confirmation to build on.
    bool storeTxtDataPotw(std::optional<QDate> date);
    bool storeCboxTyp(int index);
    Properties& storedProperties() { return m_properties; }
    void setBaseRowHeight(int height) { m_baseRowHeight = height; }

private:
    MessageSink& m_messages;
    ProcessState& m_process;
    Host* m_host;
    Grid m_lines;
    Grid m_summary;
    int m_baseRowHeight = 0;
    Values m_values;
    Properties m_properties;
    Services m_services;
};
