// DemoMode: MXRView --demo[=DIR]: a throw-away application folder with a sample store, and the
// tester emulator on a pseudo-terminal that the selected port is mapped to.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class EmulatorPtySender;
class QMainWindow;
class QTemporaryDir;

class DemoMode {
public:
    DemoMode();
    // Stops the emulator and removes a temporary folder (a folder named with --demo=DIR stays).
    ~DemoMode();
    DemoMode(const DemoMode&) = delete;
    DemoMode& operator=(const DemoMode&) = delete;

    // True when the arguments ask for demo mode ("--demo" or "--demo=DIR").
    static bool Requested(const QStringList& arguments);

    // Creates the folder, starts the emulator and prepares the folder for it. False with a
    // message when any of it fails; nothing is left running then.
    bool Start(const QStringList& arguments, QString& error);

    // The folder demo mode runs in.
    QString Folder() const { return m_folder; }
    // The arguments for the start-up: --demo and any --home replaced by --home <folder>, so
    // the user's own application folder is neither read nor written.
    QStringList Arguments(const QStringList& arguments) const;

    // Marks the main window as a demonstration: title and a permanent status bar text.
    void Decorate(QMainWindow* window) const;

private:
    std::unique_ptr<QTemporaryDir> m_temporary;
    std::unique_ptr<EmulatorPtySender> m_emulator;
    QString m_folder;
};
