#pragma once

// What the benchmarks of windows share: the engine volume of an image and a main that
// runs them offscreen over images only.

#include "disk/TSourceArgument.h"
#include "disk/TVantrelApi.h"
#include "engine/VantrelLib.h"
#include "periphery/TImageLists.h"

#include <QApplication>

#include <benchmark/benchmark.h>

// The engine id of the first lettered volume of a registered image, -1 if none.
inline int VolumeOfImage(const QString& imagePath)
{
    const TVantrelApi& api = TVantrelApi::Library();
    api.DisksRescan();
    TSourceArgument source;
    QString error;
    return TSourceArgument::Parse(imagePath, source, error) ? source.Resolve(api, error) : -1;
}

inline int RunWindowBenchmarks(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    VantrelSetOptions(VANTREL_OPTION_IMAGES_ONLY);
    QApplication app(argc, argv);
    TImageLists::LoadApplicationImages();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
