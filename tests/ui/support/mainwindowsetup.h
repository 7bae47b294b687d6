// The main window on a new, empty document whose settings and data file live in a temporary
// folder, with message boxes answered by script: the start of the tests that look at the
// whole window.
#pragma once

#include <QTemporaryDir>

#include <memory>

#include "settings/appsettings.h"
#include "support/scriptedmessages.h"
#include "ui/document/mxrviewdoc.h"
#include "ui/frame/mainframe.h"

namespace guitest {

class MainWindowSetup {
public:
    MainWindowSetup()
    {
        settings.SetPaths(MakeAppPaths(dir.path().toStdString(), "/usr/bin/MXRView"));
        settings.LoadSettings();
        doc.SetDataFilePath(dir.filePath("DATA/MXR.DAT").toStdString());
        m_frame = std::make_unique<CMainFrame>(&doc);
        m_frame->SetSettings(&settings);
        doc.OnNewDocument();
    }
    CMainFrame& frame() { return *m_frame; }

    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    CAppSettings settings;
    CMXRViewDoc doc;

private:
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace guitest
