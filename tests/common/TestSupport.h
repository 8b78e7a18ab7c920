#pragma once

#include "core/form/ProcessState.h"
#include "core/rules/Conversions.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QString>

// The process state the tests hand to the controls they create, as a program does.
inline ProcessState& testProcess()
{
    static ProcessState process;
    return process;
}

// A fresh process for each test: the user's locale, a pinned "today", no shared state.
inline void freshProcess(const QString& locale = QStringLiteral("ru_RU"),
                         QDate today = QDate(2026, 12, 5))
{
    testProcess() = ProcessState{};
    QLocale::setDefault(QLocale(locale));
    Conversions::determineDecimalSeparator();
    testProcess().pinnedToday = today;
}

// Writes a whole file, making its folder; false when it could not.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QDir().mkpath(QFileInfo(file).path());
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A whole file, or nothing when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
