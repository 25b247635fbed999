#pragma once
// Base of the program's skinned dialogs (message box, space windows, course detail): a
// frameless QDialog built from a Designer form, dragged by its caption, with its controls
// found by name, every button's "click" routed to Notify, and timer 275 (automatic close with
// result 2). Subclasses handle their notifications in OnNotify.

#include "ui/Notify.h"

#include <QDialog>
#include <QPoint>
#include <QStringList>
#include <QTimer>

namespace vx {

class CVxDialog : public QDialog, public INotifyUI
{
    Q_OBJECT

public:
    // Result of closebtn, Escape and the automatic close.
    static constexpr int kResultClose = 2;
    static constexpr int kAutoCloseTimerId = 275;

    explicit CVxDialog(QWidget* owner, Qt::WindowFlags flags = Qt::Dialog);
    ~CVxDialog() override;

    // Closes the dialog with result 2 after ms milliseconds (timer 275).
    void StartAutoClose(int ms);
    bool AutoCloseActive() const { return m_autoClose.isActive(); }
    // Form controls the code needs but the form lacks (empty when the form is complete).
    const QStringList& MissingNames() const { return m_missing; }

    void Notify(TNotifyUI& msg) final;

    // Centres the dialog over its owner's window (or the screen).
    void CenterOverOwner();

protected:
    // Call after setupUi: checks the form contract (logging every missing name once), routes
    // button clicks and names the caption area (dragging there moves the window).
    void BindForm(const char* windowName, const QStringList& requiredControls, int captionHeight);
    // The caption area alone, for a window whose controls are connected to it directly.
    void SetCaptionHeight(int captionHeight) { m_nCaptionHeight = captionHeight; }
    template <typename T> T* Control(const char* name) const
    {
        return findChild<T*>(QString::fromLatin1(name));
    }
    // The notifications of BindForm's windows; a window wired directly has none to handle.
    virtual void OnNotify(TNotifyUI&) {}

    void done(int result) override; // also stops timer 275
    void reject() override;         // Escape and the window's close → result 2
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QTimer m_autoClose;
    QStringList m_missing;
    int m_nCaptionHeight = 0;
    bool m_bDragging = false;
    QPoint m_dragOffset;
};

} // namespace vx
