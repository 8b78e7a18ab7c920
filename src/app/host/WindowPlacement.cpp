#include "app/host/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace {

const QString Organisation = QStringLiteral("WEXA");
const QString GeometryKey = QStringLiteral("HostWindow/geometry");
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
    window.setGeometry(fitted(wanted, available));
    if (store.value(MaximizedKey).toBool())
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

void remember(const QWidget& window)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, Organisation);
    store.setValue(GeometryKey, window.normalGeometry());
    store.setValue(MaximizedKey, window.isMaximized());
    store.sync();
}

} // namespace WindowPlacement
