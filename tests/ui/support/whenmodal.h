// Acting on a modal window from inside its own event loop, for the ui tests.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace guitest {

// Runs `during` on the modal window of type T once its event loop runs. The test fails when no
// such window opened (unless `seen` is given: it then only says whether one did). A window left
// open is closed so that the test cannot hang; that fails the test too unless `leftOpenIsFine`.
template <class T>
void whenModal(std::function<void(T&)> during, bool* seen = nullptr, bool leftOpenIsFine = false)
{
    QTimer::singleShot(0, [during, seen, leftOpenIsFine] {
        auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
        if (seen)
            *seen = w != nullptr;
        if (!w) {
            if (!seen)
                ADD_FAILURE() << "no modal " << T::staticMetaObject.className();
            return;
        }
        during(*w);
        if (w->isVisible()) {
            if (!leftOpenIsFine)
                ADD_FAILURE() << "the window is still open";
            w->reject();
        }
    });
}

} // namespace guitest
