#include "core/session/Drafts.h"

#include "core/rules/FileWriter.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSettings>

namespace {

constexpr quint32 Magic = 0x57584446; // "WXDF"
// Version 2 added the origin of the page a draft's order came from; version 3 tells where
// the work stands instead of only whether it was done.
constexpr quint16 Version = 3;
constexpr QDataStream::Version StreamVersion = QDataStream::Qt_6_4;
const QString DraftSuffix = QStringLiteral(".draft");
const QString OriginsFile = QStringLiteral("origins.ini");
const QString OriginsGroup = QStringLiteral("files/");
// A draft holds at most a whole order; anything larger is not read.
constexpr qint64 MaxDraftBytes = 64 * 1024 * 1024;

void put(QDataStream& out, const Drafts::Info& info)
{
    out << Magic << Version << quint8(info.state) << info.lastChange << info.userIln
        << info.partnerIln << info.partnerName << info.number << info.buyer << qint32(info.lines)
        << info.origin;
}

bool take(QDataStream& in, Drafts::Info& info)
{
    quint32 magic = 0;
    quint16 version = 0;
    qint32 lines = 0;
    in >> magic >> version;
    if (magic != Magic || version < 1 || version > Version)
        return false;
    if (version >= 3) {
        quint8 state = 0;
        in >> state;
        info.state = WorkStates::fromNumber(state).value_or(WorkState::InProgress);
    } else {
        // Before, a draft told only whether it was sent or saved.
        bool done = false;
        in >> done;
        info.state = done ? WorkState::Saved : WorkState::InProgress;
    }
    in >> info.lastChange >> info.userIln >> info.partnerIln >> info.partnerName >> info.number >>
        info.buyer >> lines;
    info.lines = lines;
    if (version >= 2)
        in >> info.origin;
    return in.status() == QDataStream::Ok;
}

void put(QDataStream& out, const Grid::State& grid)
{
    out << qint32(grid.rows) << grid.cells << grid.backgrounds << grid.widths << grid.heights
        << qint32(grid.row) << qint32(grid.column);
}

void take(QDataStream& in, Grid::State& grid)
{
    qint32 rows = 0, row = 0, column = 0;
    in >> rows >> grid.cells >> grid.backgrounds >> grid.widths >> grid.heights >> row >> column;
    grid.rows = rows, grid.row = row, grid.column = column;
}

template <typename T> void putOptional(QDataStream& out, const std::optional<T>& value)
{
    out << value.has_value() << value.value_or(T());
}

template <typename T> void takeOptional(QDataStream& in, std::optional<T>& value)
{
    bool has = false;
    T read;
    in >> has >> read;
    value = has ? std::optional<T>(read) : std::nullopt;
}

std::optional<QByteArray> readSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxDraftBytes)
        return std::nullopt;
    return file.readAll();
}

} // namespace

QString Drafts::folderName()
{
    return QStringLiteral("Черновики");
}

QString Drafts::folderOf(const QString& workingFolder)
{
    return QDir(workingFolder).filePath(folderName());
}

QString Drafts::newId(const QDateTime& now)
{
    return now.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss-zzz"));
}

QString Drafts::draftPath(const QString& id) const
{
    return QDir(m_folder).filePath(QStringLiteral("Черновик_") + id + DraftSuffix);
}

QString Drafts::orderPath(const QString& id) const
{
    return QDir(m_folder).filePath(QStringLiteral("Заказ_") + id + QStringLiteral(".xml"));
}

QByteArray Drafts::encode(const Info& info, const Confirmation::State& state)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(StreamVersion);
    put(out, info);
    put(out, state.lines);
    put(out, state.summary);
    out << state.lineCount << state.validLineCount;
    for (const QString& field : state.fields)
        out << field;
    for (bool on : state.switches)
        out << on;
    putOptional(out, state.txtDataPotw);
    putOptional(out, state.txtDataDost);
    putOptional(out, state.txtCzasDost);
    out << qint32(state.cboxTyp) << qint32(state.cboxPrzyczyna);
    const auto& p = state.parties;
    out << p.buyerIln << p.buyerName << p.sellerIln << p.sellerName;
    const auto& r = state.remembered;
    out << r.deliveryPointName << r.deliveryPointAddress << r.deliveryPointIln << r.deliveryDate
        << r.deliveryTime << state.lastSentNumber;
    return bytes;
}

std::optional<Drafts::Info> Drafts::decodeInfo(const QByteArray& bytes)
{
    QDataStream in(bytes);
    in.setVersion(StreamVersion);
    Info info;
    if (!take(in, info))
        return std::nullopt;
    return info;
}

std::optional<Confirmation::State> Drafts::decodeState(const QByteArray& bytes)
{
    QDataStream in(bytes);
    in.setVersion(StreamVersion);
    Info info;
    if (!take(in, info))
        return std::nullopt;
    Confirmation::State state;
    take(in, state.lines);
    take(in, state.summary);
    in >> state.lineCount >> state.validLineCount;
    for (QString& field : state.fields)
        in >> field;
    for (bool& on : state.switches)
        in >> on;
    takeOptional(in, state.txtDataPotw);
    takeOptional(in, state.txtDataDost);
    takeOptional(in, state.txtCzasDost);
    qint32 type = -1, reason = -1;
    in >> type >> reason;
    state.cboxTyp = type, state.cboxPrzyczyna = reason;
    auto& p = state.parties;
    in >> p.buyerIln >> p.buyerName >> p.sellerIln >> p.sellerName;
    auto& r = state.remembered;
    in >> r.deliveryPointName >> r.deliveryPointAddress >> r.deliveryPointIln >> r.deliveryDate >>
        r.deliveryTime >> state.lastSentNumber;
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    const auto fits = [](const Grid::State& grid, int columns) {
        const qsizetype cells = qsizetype(grid.rows) * columns;
        return grid.rows >= 0 && grid.cells.size() == cells && grid.backgrounds.size() == cells &&
               grid.widths.size() == columns;
    };
    if (!fits(state.lines, state.lines.widths.size()) || state.lines.widths.isEmpty() ||
        !fits(state.summary, state.summary.widths.size()) || state.summary.widths.isEmpty() ||
        state.lineCount < 0 || state.lineCount >= state.lines.rows)
        return std::nullopt;
    return state;
}

bool Drafts::writeFile(const QString& path, const QByteArray& bytes, QString* error) const
{
    if (!QDir().mkpath(m_folder)) {
        if (error)
            *error =
                QStringLiteral("папка «%1» не создана").arg(QDir::toNativeSeparators(m_folder));
        return false;
    }
    return FileWriter::write(path, bytes, error);
}

bool Drafts::write(const Info& info, const Confirmation::State& state, QString* error) const
{
    return writeFile(draftPath(info.id), encode(info, state), error);
}

bool Drafts::writeOrder(const QString& id, const QByteArray& order, QString* error) const
{
    return writeFile(orderPath(id), order, error);
}

std::optional<Drafts::Info> Drafts::readInfo(const QString& id) const
{
    QFile file(draftPath(id));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::optional<Info> info = decodeInfo(file.read(4096));
    if (info)
        info->id = id;
    return info;
}

std::optional<Confirmation::State> Drafts::readState(const QString& id) const
{
    const std::optional<QByteArray> bytes = readSmallFile(draftPath(id));
    return bytes ? decodeState(*bytes) : std::nullopt;
}

QList<Drafts::Info> Drafts::list() const
{
    QList<Info> found;
    const QString prefix = QStringLiteral("Черновик_");
    const QStringList names =
        QDir(m_folder).entryList({prefix + QLatin1Char('*') + DraftSuffix}, QDir::Files);
    for (const QString& name : names) {
        const QString id =
            name.mid(prefix.size(), name.size() - prefix.size() - DraftSuffix.size());
        if (std::optional<Info> info = readInfo(id))
            found.append(*info);
    }
    std::sort(found.begin(), found.end(),
              [](const Info& a, const Info& b) { return a.lastChange > b.lastChange; });
    return found;
}

bool Drafts::recordOrigin(const QString& fileName, const QString& origin) const
{
    if (!QDir().mkpath(m_folder))
        return false;
    QSettings record(QDir(m_folder).filePath(OriginsFile), QSettings::IniFormat);
    record.setValue(OriginsGroup + fileName, origin);
    record.sync();
    return record.status() == QSettings::NoError;
}

QString Drafts::originOf(const QString& fileName) const
{
    const QSettings record(QDir(m_folder).filePath(OriginsFile), QSettings::IniFormat);
    return record.value(OriginsGroup + fileName).toString();
}

int Drafts::prune(const QDateTime& now, int days) const
{
    int removed = 0;
    for (const Info& info : list()) {
        if (!WorkStates::isDone(info.state) || info.lastChange.addDays(days) > now)
            continue;
        QFile::remove(orderPath(info.id));
        if (QFile::remove(draftPath(info.id)))
            ++removed;
    }
    return removed;
}
