#pragma once
// The used/total space panel at the main window's lower left corner: "已用%dG,共%dG", a bar
// with the used share (see SpacePercent) and the two space page links. It is a frameless
// tool window, slightly translucent (opacity 216 of 255) where the platform supports it.

#include "ui/SpaceLinks.h"
#include "ui/VxDialog.h"

#include <cstdint>
#include <memory>

namespace Ui {
class VxSpaceInfoWnd;
}

namespace vx {

class CVxSpaceInfoWnd : public CVxDialog
{
    Q_OBJECT

public:
    CVxSpaceInfoWnd(QWidget* owner, const SpaceLinks& links);
    ~CVxSpaceInfoWnd() override;

    // Used and total space in gigabytes.
    void SetSpace(int64_t usedGb, int64_t totalGb);
    int Percent() const;
    QString Text() const;

private slots:
    void OnPurchase();
    void OnManage();

private:
    std::unique_ptr<Ui::VxSpaceInfoWnd> m_form;
    SpaceLinks m_links;
};

} // namespace vx
