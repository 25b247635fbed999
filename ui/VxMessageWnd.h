#pragma once
// The program's message box. Its type is a bit set: 0x01 "确定" (okbtn), 0x04 "取消"
// (cancelbtn), 0x08 the check box "不再提示" (shownormal), and the default title 0x10 "警告",
// 0x20 "提示", 0x40 "错误" when no caption is given. Results: 1 okbtn, 4 cancelbtn, 2 the
// close button, Escape or the automatic close; 8 is added to 1 and 4 when "不再提示" is
// checked (9, 12). The program uses the types 1, 17 and 21.

#include "ui/VxDialog.h"

#include <QString>
#include <functional>
#include <memory>

namespace Ui {
class VxMessageWnd;
}

namespace vx {

enum : int
{
    MB_VX_OK = 0x01,
    MB_VX_CANCEL = 0x04,
    MB_VX_NOTAGAIN = 0x08,
    MB_VX_WARNING = 0x10,
    MB_VX_INFO = 0x20,
    MB_VX_ERROR = 0x40,
    // Results
    IDVX_OK = 1,
    IDVX_CLOSE = 2,
    IDVX_CANCEL = 4,
    IDVX_NOTAGAIN = 8
};

class CVxMessageWnd : public CVxDialog
{
    Q_OBJECT

public:
    CVxMessageWnd(QWidget* owner, const QString& caption, const QString& text, int type);
    ~CVxMessageWnd() override;

    // The title the box shows for a caption and a type.
    static QString TitleFor(const QString& caption, int type);

private slots:
    void OnOk();
    void OnCancel();

private:
    int NotAgainBonus() const;

    std::unique_ptr<Ui::VxMessageWnd> m_form;
};

// Shows a modal box owned by owner's window, centred, and returns its result. With autoClose
// the box closes itself after 6 seconds with result 2.
int ShowMessageBox(QWidget* owner, const QString& caption, const QString& text, int type,
                   bool autoClose = false);

// Opens the same box without blocking and returns at once; onResult (optional) receives the
// result when the box closes. Used for boxes raised by worker reports, so the reports that
// follow keep being delivered while the box is open. The box deletes itself on close.
CVxMessageWnd* ShowMessageBoxModeless(QWidget* owner, const QString& caption, const QString& text, int type,
                                      std::function<void(int)> onResult = {}, bool autoClose = false);

// Delay of the automatic close (timer 275).
constexpr int kMessageAutoCloseMs = 6000;

} // namespace vx
