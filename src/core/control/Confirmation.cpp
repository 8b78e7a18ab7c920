#include "control/Confirmation.h"

#include "control/Clock.h"
#include "control/Columns.h"
#include "control/Host.h"
#include "control/ProcessState.h"
#include "control/RuntimeError.h"
#include "diagnostics/DebugLog.h"
#include "documents/Conversions.h"
#include "editing/CellEditor.h"
#include "editing/ResponseType.h"

namespace {
Host& nullHost()
{
    static Host host;
    return host;
}

std::optional<int16_t> toInt16(const QString& text)
{
    if (!Conversions::readsAsNumber(text))
        return std::nullopt;
    const double value = Conversions::toNumber(text);
    if (value < -32768.5 || value >= 32767.5)
        return std::nullopt;
    return int16_t(qRound(value));
}

constexpr int DefaultRowHeight = 300; // twips: 20 pixels
constexpr Qt::Alignment Centred = Qt::AlignCenter;
} // namespace

Confirmation::Confirmation(MessageSink& messages, QObject* parent)
    : QObject(parent), m_messages(messages), m_host(&nullHost()),
      m_lines(LineColumnCount, 2, Colours::Open, DefaultRowHeight),
      m_summary(SummaryColumnCount, 2, Colours::Fixed, DefaultRowHeight),
      m_editor(new CellEditor(*this))
{
    m_editor->setParent(this);
    m_fields[size_t(Field::lblOnLineStatus)] = QStringLiteral("On-Line");
    m_fields[size_t(Field::lblVersion)] = QStringLiteral("WEXAPotwierdzenie 0.0.0.0");
    m_switches[size_t(Switch::ControlEnabled)] = true;
    m_switches[size_t(Switch::btnEdytujVisible)] = true;
    m_switches[size_t(Switch::btnPrzeslijVisible)] = true;
    m_switches[size_t(Switch::btnPrzeslijEnabled)] = true;
    m_txtDataPotw = Clock::today();
    m_txtDataDost = Clock::today();
    m_txtCzasDost = QTime(0, 0);
    try {
        initialize();
    } catch (const RuntimeError& e) {
        reportError(Messages::ModuleErrorIn, QStringLiteral("UserControl_Initialize()"),
                    e.description() + QStringLiteral("\rУверьтесь, что все необходимые компоненты "
                                                     "заинсталированы."));
        setEnabled(false);
    }
}

Confirmation::~Confirmation() = default;

void Confirmation::initialize()
{
    DebugLog::WriteLog(QStringLiteral("UserControl_Initialize"), 4);
    remembered.deliveryDate.clear();
    remembered.deliveryTime.clear();
    selectCboxTyp(ResponseType::Accept);
    selectCboxPrzyczyna(0);
    for (int c = 0; c < LineColumnCount; ++c)
        m_lines.setColumnWidth(c, Columns::LineWidths[c]);
    m_lines.setColumnAlignment(ColName, Centred);
    m_lines.setColumnAlignment(ColUnit, Centred);
    for (int c = 0; c < SummaryColumnCount; ++c) {
        m_summary.setColumnWidth(c, Columns::SummaryWidths[c]);
        m_summary.setColumnAlignment(c, Centred);
    }
    UstawNaglowki();
    m_baseRowHeight = m_lines.rowHeight(1);
    m_editor->setText(QString());
    Conversions::determineDecimalSeparator();
    setField(Field::lblVersion, QStringLiteral("WEXAПодтверждениеЗаказа %1.%2.0.%3")
                                    .arg(WEXA_VERSION_MAJOR)
                                    .arg(WEXA_VERSION_MINOR)
                                    .arg(WEXA_VERSION_REVISION));
}

Answer Confirmation::tell(const QString& text, Message::Icon icon, Message::Buttons buttons)
{
    return m_messages.show({Messages::Title, text, icon, buttons});
}

void Confirmation::reportError(const QString& prefix, const QString& procedure,
                               const QString& description)
{
    m_messages.show({prefix + procedure, description, Message::Icon::Critical});
}

void Confirmation::setField(Field field, const QString& text)
{
    QString& stored = m_fields[size_t(field)];
    if (stored == text)
        return;
    stored = text;
    emit fieldChanged(field);
}

void Confirmation::set(Switch what, bool on)
{
    bool& stored = m_switches[size_t(what)];
    if (stored == on)
        return;
    stored = on;
    emit switchChanged(what, on);
}

void Confirmation::setTxtDataPotw(std::optional<QDate> date)
{
    if (m_txtDataPotw == date)
        return;
    m_txtDataPotw = date;
    emit datesChanged();
    confirmationDateChanged();
}

void Confirmation::setTxtDataDost(std::optional<QDate> date)
{
    if (m_txtDataDost == date)
        return;
    m_txtDataDost = date;
    emit datesChanged();
}

void Confirmation::setTxtCzasDost(std::optional<QTime> time)
{
    if (m_txtCzasDost == time)
        return;
    m_txtCzasDost = time;
    emit datesChanged();
}

void Confirmation::setTxtDataPotwText(const QString& text)
{
    setTxtDataPotw(Conversions::toDate(text));
}

void Confirmation::setTxtDataDostText(const QString& text)
{
    setTxtDataDost(Conversions::toDate(text));
}

void Confirmation::setTxtCzasDostText(const QString& text)
{
    setTxtCzasDost(Conversions::toTime(text));
}

// Every line takes the new confirmation date as its confirmed delivery date, in the
// user's short date form; the current row ends on the last line.
void Confirmation::confirmationDateChanged()
{
    if (m_lineCount < 1)
        return;
    const QString text = m_txtDataPotw ? Conversions::shortDate(*m_txtDataPotw) : QString();
    RedrawPause pause(m_lines);
    for (int16_t r = 1; r <= m_lineCount; ++r) {
        m_lines.setCurrentRow(r);
        m_lines.setText(r, ColDeliveryDate, text);
    }
}

QStringList Confirmation::cboxTypItems() const
{
    return {QStringLiteral("Изменение"), QStringLiteral("Не акцептирован"),
            QStringLiteral("Полная акцептация")};
}

void Confirmation::selectCboxTyp(int index)
{
    if (index == m_cboxTyp)
        return;
    m_cboxTyp = index;
    emit cboxTypChanged(index);
    ResponseType::typeChange(*this);
}

QStringList Confirmation::cboxPrzyczynaItems() const
{
    return {QStringLiteral("Brak asortymentu"), QStringLiteral("Rezygnacja kupuj№cego"),
            QStringLiteral("Zalegіoњci pіatnicze")};
}

void Confirmation::selectCboxPrzyczyna(int index)
{
    if (index == m_cboxPrzyczyna)
        return;
    m_cboxPrzyczyna = index;
    emit cboxPrzyczynaChanged(index);
}

void Confirmation::setOnLine(const QString& value)
{
    properties.onLine = value;
    m_host->propertyChanged(QStringLiteral("OnLine"));
    applyModeDisplay();
}

void Confirmation::applyModeDisplay()
{
    const bool offLine = isOffLine();
    setField(Field::lblOnLineStatus,
             offLine ? QStringLiteral("Off-Line") : QStringLiteral("On-Line"));
    set(Switch::btnPrzeslijVisible, !offLine);
}

QString Confirmation::debugLevel()
{
    if (!toInt16(properties.debugLevel)) {
        properties.debugLevel = QStringLiteral("0");
        return properties.debugLevel;
    }
    return properties.debugLevel;
}

void Confirmation::setDebugLevel(const QString& value)
{
    properties.debugLevel = value;
    m_host->propertyChanged(QStringLiteral("DebugLevel"));
}

int16_t Confirmation::debugLevelValue() const
{
    return toInt16(properties.debugLevel).value_or(0);
}

QString Confirmation::partnerIln() const
{
    return ProcessState::instance().partnerIln;
}

void Confirmation::setPartnerIln(const QString& iln)
{
    ProcessState::instance().partnerIln = iln;
}

void Confirmation::UstawNaglowki()
{
    try {
        const QStringList& lineLabels = Columns::lineLabels();
        m_lines.setCurrentRow(0);
        for (int c = 0; c < lineLabels.size(); ++c) {
            m_lines.setCurrentColumn(c);
            m_lines.setText(0, int16_t(c), lineLabels[c]);
            m_lines.setCellAlignment(0, c, Centred);
        }
        m_lines.setWordWrap(true);
        const QStringList& summaryLabels = Columns::summaryLabels();
        m_summary.setCurrentRow(0);
        for (int c = 0; c < summaryLabels.size(); ++c) {
            m_summary.setCurrentColumn(c);
            m_summary.setText(0, int16_t(c), summaryLabels[c]);
            m_summary.setCellAlignment(0, c, Centred);
        }
        m_summary.setCurrentRow(1);
        for (int c = 0; c < summaryLabels.size(); ++c) {
            m_summary.setCurrentColumn(c);
            m_summary.setCellAlignment(1, c, Qt::AlignRight | Qt::AlignVCenter);
        }
        m_summary.setCurrentColumn(0);
    } catch (const RuntimeError& e) {
        reportError(Messages::ErrorInTwoBlanks, QStringLiteral("UstawNaglowki()"), e.description());
    }
}

void Confirmation::SetHeader()
{
    try {
        const ProcessState& process = ProcessState::instance();
        setField(Field::lblILNKupWart, process.partner.name);
        setField(Field::lblILNSprzedWart, process.user.name);
        setTxtDataPotw(Clock::today());
        set(Switch::btnUsunEnabled, true);
        set(Switch::btnEdytujEnabled, true);
    } catch (const RuntimeError& e) {
        reportError(Messages::ErrorInColon, QStringLiteral("SetHeader()"), e.description());
    }
}

namespace {
// What a kept state does not carry: the window's mode and whether the control is enabled.
bool belongsToWindow(Confirmation::Field field)
{
    return field == Confirmation::Field::lblOnLineStatus ||
           field == Confirmation::Field::lblVersion;
}
bool belongsToWindow(Confirmation::Switch what)
{
    return what == Confirmation::Switch::ControlEnabled ||
           what == Confirmation::Switch::btnPrzeslijVisible;
}
} // namespace

bool Confirmation::State::sameContent(const State& other) const
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

Confirmation::State Confirmation::state() const
{
    return {m_lines.state(), m_summary.state(), m_lineCount,   m_validLineCount, m_fields,
            m_switches,      m_txtDataPotw,     m_txtDataDost, m_txtCzasDost,    m_cboxTyp,
            m_cboxPrzyczyna, parties,           remembered,    lastSentNumber};
}

void Confirmation::restore(const State& state)
{
    m_lines.restore(state.lines);
    m_summary.restore(state.summary);
    m_lineCount = state.lineCount;
    m_validLineCount = state.validLineCount;
    for (size_t f = 0; f < m_fields.size(); ++f) {
        if (!belongsToWindow(Field(f)))
            setField(Field(f), state.fields[f]);
    }
    for (size_t w = 0; w < m_switches.size(); ++w) {
        if (!belongsToWindow(Switch(w)))
            set(Switch(w), state.switches[w]);
    }
    m_txtDataPotw = state.txtDataPotw;
    m_txtDataDost = state.txtDataDost;
    m_txtCzasDost = state.txtCzasDost;
    emit datesChanged();
    if (m_cboxTyp != state.cboxTyp) {
        m_cboxTyp = state.cboxTyp;
        emit cboxTypChanged(m_cboxTyp);
    }
    if (m_cboxPrzyczyna != state.cboxPrzyczyna) {
        m_cboxPrzyczyna = state.cboxPrzyczyna;
        emit cboxPrzyczynaChanged(m_cboxPrzyczyna);
    }
    parties = state.parties;
    remembered = state.remembered;
    lastSentNumber = state.lastSentNumber;
    emit restored();
}
