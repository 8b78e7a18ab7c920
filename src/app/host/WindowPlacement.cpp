#include "app/host/WindowPlacement.h"

#include "app/host/Preferences.h"

#include "os/Process.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace {

const QString Organisation = QStringLiteral("WEXA");
const QString GeometryKey = QStringLiteral("HostWindow/geometry");
// Where each window open now was placed, by process and window, so that the next one is
// not laid exactly on top of it.
const QString OpenGroup = QStringLiteral("HostWindow/open");
const char* const OpenIdProperty = "wexaPlacementId";
const QPoint NextWindowOffset(32, 32);
const QString MaximizedKey = QStringLiteral("HostWindow/maximized");
// The title bar and borders a window manager adds around the window: the window has no
// frame to measure before it is first shown.
const QMargins AssumedFrame(4, 32, 4, 4);

QScreen* screenOf(const QWidget& window, const QPoint& point)
{
    if (QScreen* screen = QGuiApplication::screenAt(point))
        return screen;
    return window.screen() ? window.screen() : QGuiApplication::primaryScreen();
}

QString processOf(const QString& id)
{
    return id.section(QLatin1Char('-'), 0, 0);
}

bool processGone(const QString& id)
{
    bool number = false;
    const qlonglong pid = processOf(id).toLongLong(&number);
    return !number || !Process::isRunning(pid);
}

// The places of the windows still open.
QList<QPoint> openPlaces(const QSettings& store)
{
    QList<QPoint> places;
    const QString prefix = OpenGroup + QLatin1Char('/');
    for (const QString& key : store.allKeys()) {
        if (key.startsWith(prefix) && !processGone(key.mid(prefix.size())))
            places.append(store.value(key).toPoint());
    }
    return places;
}

// Moved down and right past every open window that stands at the same place.
QRect clearOfOthers(QRect wanted, const QList<QPoint>& places, const QRect& available)
{
    for (int tries = 0; tries < 12; ++tries) {
        const bool taken = std::any_of(places.begin(), places.end(), [&](const QPoint& p) {
            return (p - wanted.topLeft()).manhattanLength() < NextWindowOffset.x() / 2;
        });
        if (!taken)
            break;
        // A window as large as the screen gives up a little of its size instead.
        QRect moved = wanted.translated(NextWindowOffset);
        moved.setRight(std::min(moved.right(), available.right()));
        moved.setBottom(std::min(moved.bottom(), available.bottom()));
        moved = WindowPlacement::fitted(moved, available);
        if (moved.topLeft() == wanted.topLeft())
            break;
        wanted = moved;
    }
    return wanted;
}

} // namespace

namespace WindowPlacement {

QRect fitted(const QRect& wanted, const QRect& available)
{
    QRect rect(wanted.topLeft(), wanted.size().boundedTo(available.size()));
    rect.moveLeft(std::clamp(rect.left(), available.left(), available.right() - rect.width() + 1));
    rect.moveTop(std::clamp(rect.top(), available.top(), available.bottom() - rect.height() + 1));
    return rect;
}

void restore(QWidget& window, QSize defaultSize)
{
    const QSettings store(QSettings::NativeFormat, QSettings::UserScope, Organisation);
    QRect wanted = store.value(GeometryKey).toRect();
    QScreen* screen = screenOf(window, wanted.center());
    if (!screen)
        return;
    const QRect available = screen->availableGeometry().marginsRemoved(AssumedFrame);
    if (!wanted.isValid()) {
        wanted = QRect(QPoint(), defaultSize);
        wanted.moveCenter(available.center());
    }
    window.setGeometry(clearOfOthers(fitted(wanted, available), openPlaces(store), available));
    if (store.value(MaximizedKey).toBool())
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

void remember(const QWidget& window)
{
    Preferences::write(QStringLiteral("место окна"), [&window](QSettings& store) {
        store.setValue(GeometryKey, window.normalGeometry());
        store.setValue(MaximizedKey, window.isMaximized());
    });
    forget(window);
}

void announce(QWidget& window)
{
    static int serial = 0;
    const QString id =
        QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid()).arg(++serial);
    window.setProperty(OpenIdProperty, id);
    Preferences::write(QStringLiteral("место открытого окна"), [&](QSettings& store) {
        store.beginGroup(OpenGroup);
        for (const QString& other : store.childKeys()) {
            if (processGone(other))
                store.remove(other);
        }
        store.setValue(id, window.geometry().topLeft());
    });
}

void forget(const QWidget& window)
{
    const QString key = OpenGroup + QLatin1Char('/') + window.property(OpenIdProperty).toString();
    // A place already free is not freed again: closing the window frees it, and the
    // window asks once more as it goes.
    if (key.endsWith(QLatin1Char('/')) ||
        !QSettings(QSettings::NativeFormat, QSettings::UserScope, Organisation).contains(key))
        return;
    Preferences::write(QStringLiteral("место закрытого окна"),
                       [&key](QSettings& store) { store.remove(key); });
}

} // namespace WindowPlacement
