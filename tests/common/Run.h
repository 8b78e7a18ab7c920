#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

// What a program left when it ended: the exit code is -1 when it did not start, crashed or
// outlived its deadline.
struct Ran {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    QString all() const { return QString::fromUtf8(out + err); }
    QStringList errLines() const { return QString::fromUtf8(err).split('\n', Qt::SkipEmptyParts); }
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

// One run of a program to its end: by default the editor of this build, in the test's
// environment.
struct Run {
    QString program = QStringLiteral(WEXA_BIN_DIR "/wexa-confirm");
    QStringList arguments{};
    int deadline = 30000; // in milliseconds
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString folder{};         // the working folder, the test's own when empty
    QString outputFile{};     // takes the standard output instead of `out`
    QByteArray input{};       // the standard input, closed after it
    bool serveEvents = false; // the test's events go on meanwhile, so that a site it plays answers

    // As on a server: no screen to open a window on.
    Run& withoutDisplay()
    {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        return *this;
    }
    Run& set(const QString& name, const QString& value)
    {
        environment.insert(name, value);
        return *this;
    }

    Ran operator()() const
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder);
        if (!outputFile.isEmpty())
            process.setStandardOutputFile(outputFile);
        process.start(program, arguments);
        Ran ran;
        if (!process.waitForStarted(deadline))
            return ran;
        process.write(input);
        process.closeWriteChannel();
        QElapsedTimer waited;
        waited.start();
        while (process.state() != QProcess::NotRunning && !waited.hasExpired(deadline)) {
            if (serveEvents)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            process.waitForFinished(serveEvents ? 5 : qMax(1, int(deadline - waited.elapsed())));
        }
        const bool ended = process.state() == QProcess::NotRunning;
        if (!ended) {
            process.kill();
            process.waitForFinished();
        }
        ran.out = process.readAllStandardOutput();
        ran.err = process.readAllStandardError();
        if (ended && process.exitStatus() == QProcess::NormalExit)
            ran.exitCode = process.exitCode();
        return ran;
    }
};
