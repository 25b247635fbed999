#pragma once
// Shown when an upload fails for lack of space: language text 2088 and two links to the
// organisation's space pages (buy more, manage). Closing answers 1.

#include "ui/SpaceLinks.h"
#include "ui/VxDialog.h"

#include <memory>

namespace Ui {
class VxSpaceMsgWnd;
}

namespace vx {

class CVxSpaceMsgWnd : public CVxDialog
{
    Q_OBJECT

public:
    // text: language text 2088 as stored ("@n@n" becomes two line breaks).
    CVxSpaceMsgWnd(QWidget* owner, const QString& text, const SpaceLinks& links);
    ~CVxSpaceMsgWnd() override;

private slots:
    void OnPurchase();
    void OnManage();

private:
    std::unique_ptr<Ui::VxSpaceMsgWnd> m_form;
    SpaceLinks m_links;
};

} // namespace vx
