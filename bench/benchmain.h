// The main() of the benchmarks that need Qt: the offscreen platform, C numbers, then every
// benchmark of the program. Widget benchmarks also take the program's font substitutions and
// keep the offscreen platform's warning about each shown window out of the table.
#pragma once

#include <benchmark/benchmark.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

#ifdef MXR_BENCH_WIDGETS
#include <QApplication>

#include "ui/common/uitext.h"
#else
#include <QGuiApplication>
#endif

inline int RunQtBenchmarks(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
#ifdef MXR_BENCH_WIDGETS
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtWarningMsg || !text.contains(QStringLiteral("propagateSizeHints")))
            fprintf(stderr, "%s\n", qPrintable(text));
    });
    QApplication app(argc, argv);
    ui::installFontSubstitutions();
    ui::keepCNumericLocale();
#else
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
#endif
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
