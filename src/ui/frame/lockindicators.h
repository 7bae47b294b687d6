// LockIndicators: the CAP, NUM and SCRL panes of the status bar.
// LockIndicators was CLockIndicators in the Windows program's sources.
#pragma once

#include <QObject>

#include <optional>

class QLabel;
class QStatusBar;

struct LockStates {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The keyboard lock states from the X server's LED mask; nothing when the program does not
// run on X11 (offscreen, Wayland).
std::optional<LockStates> readLockStates();

// Adds the three panes to the status bar and keeps them current: they are read again after
// a lock key is pressed and whenever a window of the program becomes active. A lit pane shows
// its text; an unlit one stays as an empty pane of the same width. Where the states cannot
// be read the three texts are shown greyed.
class LockIndicators : public QObject {
    Q_OBJECT
public:
    explicit LockIndicators(QStatusBar* bar);

    void Update();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_caps;
    QLabel* m_num;
    QLabel* m_scroll;
};
