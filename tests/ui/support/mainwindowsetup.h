// The main window on a new, empty document whose settings and data file live in a temporary
// folder, with message boxes answered by script: the start of the tests that look at the
// whole window.
#pragma once

#include <QTemporaryDir>

#include <memory>

#include "settings/appsettings.h"
#include "support/scriptedmessages.h"
#include "ui/document/measurementdocument.h"
#include "ui/frame/mainwindow.h"

namespace guitest {

class MainWindowSetup {
public:
    MainWindowSetup()
    {
        settings.SetPaths(MakeAppPaths(dir.path().toStdString(), "/usr/bin/MXRView"));
        settings.LoadSettings();
        doc.SetDataFilePath(dir.filePath("DATA/MXR.DAT").toStdString());
        m_frame = std::make_unique<MainWindow>(&doc);
        m_frame->SetSettings(&settings);
        doc.OnNewDocument();
    }
    MainWindow& frame() { return *m_frame; }

    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    CAppSettings settings;
    MeasurementDocument doc;

private:
    std::unique_ptr<MainWindow> m_frame;
};

} // namespace guitest
