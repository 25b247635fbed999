#pragma once
// Helpers for window tests (QTest, offscreen): the form-contract check, screenshots into the
// test build folder, clicks on controls by name and answering modal dialogs.
// Header-only; a test program defines VX_SHOT_DIR (its build folder) for the screenshots.

#include "ui/FormContract.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

// Fails the test naming every control of names that window lacks (not just the first).
#define VX_VERIFY_FORM_CONTRACT(window, names)                                                               \
    do {                                                                                                     \
        const QStringList vxMissing_ = vx::MissingControls((window), (names));                               \
        if (!vxMissing_.isEmpty())                                                                           \
            QFAIL(qPrintable(vx::FormContractError((window)->objectName(), vxMissing_)));                    \
    } while (false)

// Saves the widget's look as NAME.png into the test build folder; fails when it cannot.
#define VX_SCREENSHOT(widget, name)                                                                          \
    do {                                                                                                     \
        const QString vxShot_ = vx::test::SaveScreenshot((widget), (name));                                  \
        QVERIFY2(!vxShot_.isEmpty(), "screenshot not saved");                                                \
    } while (false)

namespace vx::test {

// Where screenshots go: VX_SHOT_DIR/screenshots. Returns the file's path, empty on failure.
inline QString SaveScreenshot(QWidget* w, const QString& name)
{
#ifdef VX_SHOT_DIR
    const QString dir = QStringLiteral(VX_SHOT_DIR "/screenshots");
#else
    const QString dir = QDir::currentPath() + QStringLiteral("/screenshots");
#endif
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!w)
        return QString();
    QApplication::processEvents();
    return w->grab().save(path) ? path : QString();
}

// A real mouse click on the named button below root (fails the test when it is missing).
inline bool ClickControl(QWidget* root, const QString& name, Qt::MouseButton button = Qt::LeftButton)
{
    // A menu's entries are actions, named like controls: clicked where the menu shows them.
    if (auto* menu = qobject_cast<QMenu*>(root)) {
        for (QAction* a : menu->actions())
            if (a->objectName() == name) {
                QTest::mouseClick(menu, button, Qt::NoModifier, menu->actionGeometry(a).center());
                return true;
            }
        return false;
    }
    QWidget* w = root ? root->findChild<QWidget*>(name) : nullptr;
    if (!w)
        return false;
    QTest::mouseClick(w, button, Qt::NoModifier, w->rect().center());
    return true;
}

// Types text into w as key presses, one per code point. ASCII goes through QTest's keyboard;
// other characters (Chinese) arrive as key events carrying their text, as a keyboard layout or
// a simple input method delivers them.
inline void TypeText(QWidget* w, const QString& text)
{
    for (char32_t cp : text.toUcs4()) {
        if (cp < 0x80) {
            QTest::keyClick(w, static_cast<char>(cp));
            continue;
        }
        const QString s = QString::fromUcs4(&cp, 1);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, s);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, s);
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
}

// Runs fn with the modal window as soon as one is open (polled from Qt's event loop, which a
// modal exec() keeps running). Gives up after timeoutMs.
inline void WhenModal(std::function<void(QWidget*)> fn, int timeoutMs = 5000)
{
    auto* timer = new QTimer;
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, fn, waited, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        *waited += 10;
        if ((modal && modal->isVisible()) || *waited > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            if (modal)
                fn(modal);
        }
    });
    timer->start(10);
}

} // namespace vx::test
