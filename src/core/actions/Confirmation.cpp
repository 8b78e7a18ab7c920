#include "core/actions/Confirmation.h"

#include "core/actions/CellEditor.h"
#include "core/actions/ChangeType.h"
#include "core/form/Columns.h"
#include "core/form/ProcessState.h"
#include "core/form/RuntimeError.h"
#include "core/rules/Conversions.h"
#include "core/rules/DebugLog.h"
#include "core/rules/ResponseType.h"

#include <cmath>

namespace {
std::optional<int16_t> toInt16(const QString& text)
{
    if (!Conversions::readsAsNumber(text))
        return std::nullopt;
    // Halves go to the even neighbour, as the 16-bit conversion of the settings does:
    // -32768.5 is still -32768, 32767.5 would be 32768.
    const double value = Conversions::toNumber(text);
    if (value < -32768.5 || value >= 32767.5)
        return std::nullopt;
    return int16_t(std::nearbyint(value));
}

constexpr Qt::Alignment Centred = Qt::AlignCenter;
} // namespace

Confirmation::Confirmation(MessageSink& messages, ProcessState& process, QObject* parent)
    : Form(messages, process, parent), m_editor(new CellEditor(*this))
{
    m_editor->setParent(this);
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
    DebugLog::WriteLog(process(), QStringLiteral("UserControl_Initialize"), 4);
    Remembered kept = remembered();
    kept.deliveryDate.clear();
    kept.deliveryTime.clear();
    remember(kept);
    selectCboxTyp(ResponseType::Accept);
    selectCboxPrzyczyna(0);
    for (int c = 0; c < LineColumnCount; ++c)
        lines().setColumnWidth(c, Columns::LineWidths[c]);
    lines().setColumnAlignment(ColName, Centred);
    lines().setColumnAlignment(ColUnit, Centred);
    for (int c = 0; c < SummaryColumnCount; ++c) {
        summary().setColumnWidth(c, Columns::SummaryWidths[c]);
        summary().setColumnAlignment(c, Centred);
    }
    UstawNaglowki();
    setBaseRowHeight(lines().rowHeight(1));
    m_editor->setText(QString());
    Conversions::determineDecimalSeparator();
    // The control's own version, which pages and support read in its label; the programs
    // and packages around it carry the repository's (BuildVersion).
    constexpr int Major = 1, Minor = 0, Revision = 218;
    setField(
        Field::lblVersion,
        QStringLiteral("WEXAПодтверждениеЗаказа %1.%2.0.%3").arg(Major).arg(Minor).arg(Revision));
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

void Confirmation::setTxtDataPotw(std::optional<QDate> date)
{
    if (storeTxtDataPotw(date))
        confirmationDateChanged();
}

// Every line takes the new confirmation date as its confirmed delivery date, in the
// user's short date form; the current row ends on the last line.
void Confirmation::confirmationDateChanged()
{
    if (lineCount() < 1)
        return;
    const QString text = txtDataPotw() ? Conversions::shortDate(*txtDataPotw()) : QString();
    RedrawPause pause(lines());
    for (int16_t r = 1; r <= lineCount(); ++r) {
        lines().setCurrentRow(r);
        lines().setText(r, ColDeliveryDate, text);
    }
}

void Confirmation::selectCboxTyp(int index)
{
    if (storeCboxTyp(index))
        ChangeType::typeChange(*this);
}

QString Confirmation::debugLevel()
{
    if (!toInt16(properties().debugLevel)) {
        storedProperties().debugLevel = QStringLiteral("0");
        return properties().debugLevel;
    }
    return properties().debugLevel;
}

int16_t Confirmation::debugLevelValue() const
{
    return toInt16(properties().debugLevel).value_or(0);
}

void Confirmation::UstawNaglowki()
{
    try {
        const QStringList& lineLabels = Columns::lineLabels();
        lines().setCurrentRow(0);
        for (int c = 0; c < lineLabels.size(); ++c) {
            lines().setCurrentColumn(c);
            lines().setText(0, int16_t(c), lineLabels[c]);
            lines().setCellAlignment(0, c, Centred);
        }
        lines().setWordWrap(true);
        const QStringList& summaryLabels = Columns::summaryLabels();
        summary().setCurrentRow(0);
        for (int c = 0; c < summaryLabels.size(); ++c) {
            summary().setCurrentColumn(c);
            summary().setText(0, int16_t(c), summaryLabels[c]);
            summary().setCellAlignment(0, c, Centred);
        }
        summary().setCurrentRow(1);
        for (int c = 0; c < summaryLabels.size(); ++c) {
            summary().setCurrentColumn(c);
            summary().setCellAlignment(1, c, Qt::AlignRight | Qt::AlignVCenter);
        }
        summary().setCurrentColumn(0);
    } catch (const RuntimeError& e) {
        reportError(Messages::ErrorInTwoBlanks, QStringLiteral("UstawNaglowki()"), e.description());
    }
}

void Confirmation::SetHeader()
{
    try {
        setField(Field::lblILNKupWart, process().partner.name);
        setField(Field::lblILNSprzedWart, process().user.name);
        setTxtDataPotw(process().today());
        set(Switch::btnUsunEnabled, true);
        set(Switch::btnEdytujEnabled, true);
    } catch (const RuntimeError& e) {
        reportError(Messages::ErrorInColon, QStringLiteral("SetHeader()"), e.description());
    }
}
