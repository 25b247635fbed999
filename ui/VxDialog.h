#pragma once
// Base of the program's own dialogs (message box, space windows, course detail, settings): a
// frameless QDialog built from a Designer form, dragged by its caption, closed with result 2 by
// Escape, the window's close and the automatic close (timer 275). Subclasses connect their
// form's controls to their own slots.

#include <QDialog>
#include <QPoint>
#include <QTimer>

namespace vx {

class CVxDialog : public QDialog
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

    // Centres the dialog over its owner's window (or the screen).
    void CenterOverOwner();

public slots:
    // Closes with result 2, as the caption's close button does.
    void CloseWithoutAnswer() { done(kResultClose); }

protected:
    // The caption area: dragging there moves the window.
    void SetCaptionHeight(int captionHeight) { m_nCaptionHeight = captionHeight; }

    void done(int result) override; // also stops timer 275
    void reject() override;         // Escape and the window's close → result 2
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QTimer m_autoClose;
    int m_nCaptionHeight = 0;
    bool m_bDragging = false;
    QPoint m_dragOffset;
};

} // namespace vx
