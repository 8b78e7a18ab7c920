#pragma once

#include <QStandardPaths>
#include <QTest>

// A tool from the system that a test needs. Missing, the test is skipped on a developer's
// machine but fails in CI, where tools/bootstrap installs it.
#define WEXA_REQUIRE_TOOL(name)                                                                    \
    do {                                                                                           \
        if (QStandardPaths::findExecutable(name).isEmpty()) {                                      \
            if (qgetenv("CI") == "true")                                                           \
                QFAIL(qPrintable(QStringLiteral("%1 is not installed").arg(name)));                \
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(name)));                    \
        }                                                                                          \
    } while (false)
