// LockIndicators: lock states read through the X connection Qt already holds.
#include "ui/frame/lockindicators.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>

#include <cstdlib>
#include <xcb/xcb.h>

std::optional<LockStates> readLockStates()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return std::nullopt;
    xcb_connection_t* c = x11->connection();
    xcb_get_keyboard_control_reply_t* reply =
        xcb_get_keyboard_control_reply(c, xcb_get_keyboard_control(c), nullptr);
    if (!reply)
        return std::nullopt;
    // The core protocol's LED mask: with the standard keyboard description LED 1 is Caps
    // Lock, LED 2 Num Lock and LED 3 Scroll Lock.
    const uint32_t mask = reply->led_mask;
    std::free(reply);
    return LockStates{(mask & 1u) != 0, (mask & 2u) != 0, (mask & 4u) != 0};
}

LockIndicators::LockIndicators(QStatusBar* bar) : QObject(bar)
{
    const auto pane = [bar](const char* text) {
        auto* label = new QLabel(QString::fromLatin1(text), bar);
        label->setObjectName(QStringLiteral("indicator") + QString::fromLatin1(text));
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(label->text()) + 12);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        bar->addPermanentWidget(label);
        return label;
    };
    m_caps = pane("CAP");
    m_num = pane("NUM");
    m_scroll = pane("SCRL");
    qApp->installEventFilter(this);
    Update();
}

void LockIndicators::Update()
{
    const std::optional<LockStates> states = readLockStates();
    const auto show = [&](QLabel* label, const char* text, bool lit) {
        if (!states) {
            label->setText(QString::fromLatin1(text));
            label->setEnabled(false);
        } else {
            label->setText(lit ? QString::fromLatin1(text) : QString());
            label->setEnabled(true);
        }
    };
    show(m_caps, "CAP", states && states->caps);
    show(m_num, "NUM", states && states->num);
    show(m_scroll, "SCRL", states && states->scroll);
}

bool LockIndicators::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock)
            Update();
    } else if (event->type() == QEvent::ApplicationActivate) {
        Update();
    }
    return QObject::eventFilter(watched, event);
}
