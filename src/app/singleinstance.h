// SingleInstance: one running MXRView per application folder (under any of its names); a
// second copy asks the first to bring its window forward and ends.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Outcome { First, AnotherRunning };

    explicit SingleInstance(const QString& appFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the start-up lock, waiting while another copy is starting (so two copies started
    // at the same moment are serialised), then either finds a running copy, asks it to raise
    // its window and returns AnotherRunning, or starts listening for later copies.
    Outcome acquire();
    // Ends this copy's start-up: the next copy may look for the window now.
    void releaseStartupLock();

    // The name of the local socket of the copy running on appFolder (symbolic links in the
    // folder's path resolved first).
    static QString serverName(const QString& appFolder);

signals:
    void raiseRequested();

private:
    void onNewConnection();

    QString m_appFolder;
    QLocalServer m_server;
    int m_lockFd = -1; // the flock'ed start-up lock file while the start-up runs
};
