#include "core/form/Form.h"

#include "core/form/Columns.h"
#include "core/form/Host.h"
#include "core/form/ProcessState.h"

namespace {
Host& nullHost()
{
    static Host host;
    return host;
}

constexpr int DefaultRowHeight = 300; // twips: 20 pixels

// What a kept state does not carry: the window's mode and whether the control is enabled.
bool belongsToWindow(Form::Field field)
{
    return field == Form::Field::lblOnLineStatus || field == Form::Field::lblVersion;
}
bool belongsToWindow(Form::Switch what)
{
    return what == Form::Switch::ControlEnabled || what == Form::Switch::btnPrzeslijVisible;
}
} // namespace

Form::Form(MessageSink& messages, ProcessState& process, QObject* parent)
    : QObject(parent), m_messages(messages), m_process(process), m_host(&nullHost()),
      m_lines(LineColumnCount, 2, Colours::Open, DefaultRowHeight),
      m_summary(SummaryColumnCount, 2, Colours::Fixed, DefaultRowHeight)
{
    m_values.fields[size_t(Field::lblOnLineStatus)] = QStringLiteral("On-Line");
    m_values.fields[size_t(Field::lblVersion)] = QStringLiteral("WEXAPotwierdzenie 0.0.0.0");
    m_values.switches[size_t(Switch::ControlEnabled)] = true;
    m_values.switches[size_t(Switch::btnEdytujVisible)] = true;
    m_values.switches[size_t(Switch::btnPrzeslijVisible)] = true;
    m_values.switches[size_t(Switch::btnPrzeslijEnabled)] = true;
    m_values.txtDataPotw = m_process.today();
    m_values.txtDataDost = m_process.today();
    m_values.txtCzasDost = QTime(0, 0);
}

Form::~Form() = default;

Answer Form::tell(const QString& text, Message::Icon icon, Message::Buttons buttons)
{
    return m_messages.show({Messages::Title, text, icon, buttons});
}

void Form::reportError(const QString& prefix, const QString& procedure, const QString& description)
{
    m_messages.show({prefix + procedure, description, Message::Icon::Critical});
}

void Form::setField(Field field, const QString& text)
{
    QString& stored = m_values.fields[size_t(field)];
    if (stored == text)
        return;
    stored = text;
    emit fieldChanged(field);
}

void Form::set(Switch what, bool on)
{
    bool& stored = m_values.switches[size_t(what)];
    if (stored == on)
        return;
    stored = on;
    emit switchChanged(what, on);
}

bool Form::storeTxtDataPotw(std::optional<QDate> date)
{
    if (m_values.txtDataPotw == date)
        return false;
    m_values.txtDataPotw = date;
    emit datesChanged();
    return true;
}

void Form::setTxtDataDost(std::optional<QDate> date)
{
    if (m_values.txtDataDost == date)
        return;
    m_values.txtDataDost = date;
    emit datesChanged();
}

void Form::setTxtCzasDost(std::optional<QTime> time)
{
    if (m_values.txtCzasDost == time)
        return;
    m_values.txtCzasDost = time;
    emit datesChanged();
}

QStringList Form::cboxTypItems() const
{
    return {QStringLiteral("Изменение"), QStringLiteral("Не акцептирован"),
            QStringLiteral("Полная акцептация")};
}

bool Form::storeCboxTyp(int index)
{
    if (index == m_values.cboxTyp)
        return false;
    m_values.cboxTyp = index;
    emit cboxTypChanged(index);
    return true;
}

QStringList Form::cboxPrzyczynaItems() const
{
    return {QStringLiteral("Brak asortymentu"), QStringLiteral("Rezygnacja kupuj№cego"),
            QStringLiteral("Zalegіoњci pіatnicze")};
}

void Form::selectCboxPrzyczyna(int index)
{
    if (index == m_values.cboxPrzyczyna)
        return;
    m_values.cboxPrzyczyna = index;
    emit cboxPrzyczynaChanged(index);
}

void Form::setOnLine(const QString& value)
{
    m_properties.onLine = value;
    m_host->propertyChanged(QStringLiteral("OnLine"));
    applyModeDisplay();
}

void Form::applyModeDisplay()
{
    const bool offLine = isOffLine();
    setField(Field::lblOnLineStatus,
             offLine ? QStringLiteral("Off-Line") : QStringLiteral("On-Line"));
    set(Switch::btnPrzeslijVisible, !offLine);
}

void Form::setDebugLevel(const QString& value)
{
    m_properties.debugLevel = value;
    m_host->propertyChanged(QStringLiteral("DebugLevel"));
}

QString Form::partnerIln() const
{
    return m_process.partnerIln;
}

void Form::setPartnerIln(const QString& iln)
{
    m_process.partnerIln = iln;
}

bool Form::State::sameContent(const State& other) const
{
    for (size_t f = 0; f < fields.size(); ++f) {
        if (!belongsToWindow(Field(f)) && fields[f] != other.fields[f])
            return false;
    }
    for (size_t w = 0; w < switches.size(); ++w) {
        if (!belongsToWindow(Switch(w)) && switches[w] != other.switches[w])
            return false;
    }
    return lineCount == other.lineCount && validLineCount == other.validLineCount &&
           txtDataPotw == other.txtDataPotw && txtDataDost == other.txtDataDost &&
           txtCzasDost == other.txtCzasDost && cboxTyp == other.cboxTyp &&
           cboxPrzyczyna == other.cboxPrzyczyna && parties.buyerIln == other.parties.buyerIln &&
           parties.buyerName == other.parties.buyerName &&
           parties.sellerIln == other.parties.sellerIln &&
           parties.sellerName == other.parties.sellerName &&
           remembered.deliveryPointName == other.remembered.deliveryPointName &&
           remembered.deliveryPointAddress == other.remembered.deliveryPointAddress &&
           remembered.deliveryPointIln == other.remembered.deliveryPointIln &&
           remembered.deliveryDate == other.remembered.deliveryDate &&
           remembered.deliveryTime == other.remembered.deliveryTime &&
           lastSentNumber == other.lastSentNumber && lines.sameContent(other.lines) &&
           summary.sameContent(other.summary);
}

Form::State Form::state() const
{
    return {m_values, m_lines.state(), m_summary.state()};
}

void Form::restore(const State& state)
{
    m_lines.restore(state.lines);
    m_summary.restore(state.summary);
    m_values.lineCount = state.lineCount;
    m_values.validLineCount = state.validLineCount;
    for (size_t f = 0; f < m_values.fields.size(); ++f) {
        if (!belongsToWindow(Field(f)))
            setField(Field(f), state.fields[f]);
    }
    for (size_t w = 0; w < m_values.switches.size(); ++w) {
        if (!belongsToWindow(Switch(w)))
            set(Switch(w), state.switches[w]);
    }
    m_values.txtDataPotw = state.txtDataPotw;
    m_values.txtDataDost = state.txtDataDost;
    m_values.txtCzasDost = state.txtCzasDost;
    emit datesChanged();
    storeCboxTyp(state.cboxTyp);
    if (m_values.cboxPrzyczyna != state.cboxPrzyczyna) {
        m_values.cboxPrzyczyna = state.cboxPrzyczyna;
        emit cboxPrzyczynaChanged(m_values.cboxPrzyczyna);
    }
    m_values.parties = state.parties;
    m_values.remembered = state.remembered;
    m_values.lastSentNumber = state.lastSentNumber;
    emit restored();
}
