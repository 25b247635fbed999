// The custom controls as a Designer form uses them: skin attributes set as dynamic properties,
// colour and alignment values, check boxes alone and in a group, the combo with its drop-down
// list and per-item delete icon, the hint edit with its partner, the combo with a hover border
// and the button's disabled border.

#include "Recorder.h"
#include "TestRegistry.h"
#include "common/UiTestUtil.h"
#include "ui/HintEditUI.h"
#include "ui/SkinAttr.h"
#include "ui/VXButtonUI.h"
#include "ui/VXCheckBox.h"
#include "ui/VXComboEx.h"
#include "ui/VXOptionEx.h"
#include "ui/VXSiElementUI.h"
#include "ui/VXsiComboUI.h"
#include "ui/VxsiComWnd.h"
#include "ui_ControlsForm.h"

#include <QTest>

using namespace vx;
using vx::test::CNotifyRecorder;

namespace {

class CControlsWindow : public CNotifyRecorder
{
public:
    CControlsWindow()
    {
        form.setupUi(this);
        resize(340, 215);
    }
    // Shown and active, as a window the user clicks in is (Qt closes pop-ups of inactive apps).
    void ShowActive()
    {
        show();
        activateWindow();
        (void)QTest::qWaitForWindowActive(this);
    }
    template <typename T> T* Get(const char* name) { return findChild<T*>(QString::fromLatin1(name)); }
    Ui::ControlsForm form;
};

// Hovers w: a real mouse move, and the enter event the window system would send with it.
void Hover(QWidget* w, QPoint at)
{
    QTest::mouseMove(w, at);
    QEnterEvent enter(at, w->mapTo(w->window(), at), w->mapToGlobal(at));
    QApplication::sendEvent(w, &enter);
}

} // namespace

class ControlsTest : public QObject
{
    Q_OBJECT

private slots:
    void colourAndAlignmentValues()
    {
        uint32_t c = 7;
        QVERIFY(ParseSkinColor(QStringLiteral("#FF328CDF"), &c));
        QCOMPARE(c, 0xFF328CDFu);
        QVERIFY(ParseSkinColor(QStringLiteral("80FFFFFF"), &c));
        QCOMPARE(c, 0x80FFFFFFu);
        QVERIFY(ParseSkinColor(QStringLiteral("0xff000000"), &c));
        QCOMPARE(c, 0xFF000000u);
        QVERIFY(!ParseSkinColor(QStringLiteral("#GG0000"), &c));
        QVERIFY(!ParseSkinColor(QStringLiteral("#1FF328CDF"), &c)); // more than 32 bits
        QCOMPARE(c, 0xFF000000u);

        QCOMPARE(ApplyAlignment(0x27, QStringLiteral("left")), 0x00u);
        QCOMPARE(ApplyAlignment(0x02, QStringLiteral("center")), 0x01u);
        QCOMPARE(ApplyAlignment(0x05, QStringLiteral("right")), 0x02u);
        QCOMPARE(ApplyAlignment(0x08, QStringLiteral("top")), 0x20u);
        QCOMPARE(ApplyAlignment(0x08, QStringLiteral("vcenter")), 0x25u); // "vcenter" also holds "center"
        QCOMPARE(ApplyAlignment(0x04, QStringLiteral("bottom")), 0x28u);
        QCOMPARE(ApplyAlignment(0, QStringLiteral("left,vcenter")), 0x25u);
        QCOMPARE(SkinImagePath(QStringLiteral("file='check_hot.svg' source='0,0,14,14'")),
                 QStringLiteral(":/icons/check_hot.svg"));
        QCOMPARE(SkinImagePath(QStringLiteral(":/icons/x.png")), QStringLiteral(":/icons/x.png"));
    }

    void formAttributesReachTheControls()
    {
        CControlsWindow w;
        VX_VERIFY_FORM_CONTRACT(
            &w, QStringList({QStringLiteral("optA"), QStringLiteral("optB"), QStringLiteral("optC"),
                             QStringLiteral("autoStart"), QStringLiteral("AccountCombo"),
                             QStringLiteral("usernameEdit"), QStringLiteral("serverCombo"),
                             QStringLiteral("loginBtn"), QStringLiteral("plainBtn")}));
        QVERIFY(w.Get<CVXCheckBox>("optA")->IsSelected());
        QCOMPARE(w.Get<CVXCheckBox>("optA")->GetGroup(), QStringLiteral("tabs"));
        QCOMPARE(w.Get<CVXCheckBox>("autoStart")->TextColor(), 0xFF333333u);
        QCOMPARE(w.Get<CVXCheckBox>("autoStart")->StatusImage(), QStringLiteral(":/icons/check_normal.svg"));
        QCOMPARE(w.Get<CVXOptionEx>("optC")->GetClass(), QStringLiteral("VXOptionEx"));
        QVERIFY(w.Get<CVXOptionEx>("optC")->GetInterface(QStringLiteral("VXOptionUI")));
        QVERIFY(!w.Get<CVXOptionEx>("optC")->GetInterface(QStringLiteral("VXButton")));
        auto* combo = w.Get<CVXsiComboUI>("AccountCombo");
        QVERIFY(combo->ShowsDeleteIcon());
        QCOMPARE(combo->DropBoxSize(), QSize(200, 150));
        QCOMPARE(combo->ItemTextStyle(), 0x24u);
        QCOMPARE(combo->HotItemBkColor(), 0xFFE1ECF7u);
        QCOMPARE(w.Get<CHintEditUI>("usernameEdit")->HintText(), QStringLiteral("请输入账号"));
        QCOMPARE(w.Get<CVXComboEx>("serverCombo")->HotBorderColor(), 0xFF328CDFu);
        QCOMPARE(w.Get<CVXButtonUI>("loginBtn")->DisabledBorderColor(), 0xFFCCCCCCu);
        // The form's own properties are not mistaken for skin attributes.
        QCOMPARE(w.Get<CVXButtonUI>("loginBtn")->text(), QStringLiteral("登录"));
        w.show();
        VX_SCREENSHOT(&w, "controls-form");
    }

    void checkBoxesAloneToggleAndInAGroupSelectOne()
    {
        CControlsWindow w;
        w.show();
        test::ClickControl(&w, QStringLiteral("optB"));
        QVERIFY(w.Get<CVXCheckBox>("optB")->IsSelected());
        QVERIFY(!w.Get<CVXCheckBox>("optA")->IsSelected());
        QVERIFY(!w.Get<CVXCheckBox>("optC")->IsSelected());
        // Only the newly selected box reports the change; the others fall silent.
        QCOMPARE(w.Log(), QStringList({QStringLiteral("click:optB"), QStringLiteral("selectchanged:optB")}));
        w.messages.clear();
        test::ClickControl(&w, QStringLiteral("optB")); // a selected group member stays selected
        QVERIFY(w.Get<CVXCheckBox>("optB")->IsSelected());
        QCOMPARE(w.Log(), QStringList({QStringLiteral("click:optB")}));
        w.messages.clear();
        test::ClickControl(&w, QStringLiteral("optC"));
        QVERIFY(!w.Get<CVXCheckBox>("optB")->IsSelected());
        QCOMPARE(w.Log(), QStringList({QStringLiteral("click:optC"), QStringLiteral("selectchanged:optC")}));

        w.messages.clear();
        auto* box = w.Get<CVXCheckBox>("autoStart");
        test::ClickControl(&w, QStringLiteral("autoStart"));
        QVERIFY(box->IsSelected());
        QCOMPARE(box->StatusImage(), QStringLiteral(":/icons/check_checked.svg"));
        test::ClickControl(&w, QStringLiteral("autoStart"));
        QVERIFY(!box->IsSelected());
        QCOMPARE(w.Count(QStringLiteral("selectchanged")), 2);
        QCOMPARE(w.Count(QStringLiteral("click")), 2);
        box->setEnabled(false);
        test::ClickControl(&w, QStringLiteral("autoStart"));
        QVERIFY(!box->IsSelected());
    }

    void comboSelectsClampsAndClears()
    {
        CControlsWindow w;
        auto* combo = w.Get<CVXsiComboUI>("AccountCombo");
        for (int i = 0; i < 10; ++i)
            combo->Add(new CVXSiElementUI(QStringLiteral("teacher%1@example.org").arg(i)));
        QVERIFY(combo->SelectItem(99));
        QCOMPARE(combo->GetCurSel(), 9);
        QCOMPARE(combo->GetText(), QStringLiteral("teacher9@example.org"));
        QCOMPARE(w.messages.back().sType, QStringLiteral("itemselect"));
        QCOMPARE(w.messages.back().wParam, int64_t(9));
        QCOMPARE(w.messages.back().lParam, int64_t(-1));
        const size_t before = w.messages.size();
        QVERIFY(!combo->SelectItem(-1));
        QCOMPARE(combo->GetCurSel(), -1);
        QCOMPARE(w.messages.size(), before); // clearing reports nothing
        QVERIFY(combo->GetText().isEmpty());

        combo->SelectItem(5);
        combo->RemoveAt(2); // the items after it move up one place
        QCOMPARE(combo->GetCurSel(), 4);
        QCOMPARE(static_cast<CVXSiElementUI*>(combo->GetItemAt(2))->GetIndex(), 2);
        QCOMPARE(combo->GetText(), QStringLiteral("teacher5@example.org"));
        combo->RemoveAt(4); // the current one: selection cleared silently
        QCOMPARE(combo->GetCurSel(), -1);
        QCOMPARE(combo->GetCount(), 8);
        combo->RemoveAll();
        QCOMPARE(combo->GetCount(), 0);
        QVERIFY(!combo->SelectItem(0));
    }

    void dropDownHeightAndItemClicks()
    {
        CControlsWindow w;
        w.ShowActive();
        auto* combo = w.Get<CVXsiComboUI>("AccountCombo");
        for (int i = 0; i < 3; ++i)
            combo->Add(new CVXSiElementUI(QStringLiteral("账号%1").arg(i)));
        test::ClickControl(&w, QStringLiteral("AccountCombo"));
        QVERIFY(combo->DropDown());
        QCOMPARE(w.Log().last(), QStringLiteral("dropdown:AccountCombo"));
        QCOMPARE(combo->DropDown()->height(), 3 * 31 + 4);
        auto* item = static_cast<CVXSiElementUI*>(combo->GetItemAt(1));
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(20, 15));
        QCOMPARE(combo->GetCurSel(), 1);
        QVERIFY(w.Log().contains(QStringLiteral("itemclick:")));
        QCOMPARE(w.messages.back().sType, QStringLiteral("itemselect"));
        QTRY_VERIFY(!combo->DropDown()); // selecting closes the list
    }

    void longListIsCappedAndEscapeRestoresTheItem()
    {
        CControlsWindow w;
        w.ShowActive();
        auto* combo = w.Get<CVXsiComboUI>("AccountCombo");
        for (int i = 0; i < 10; ++i)
            combo->Add(new CVXSiElementUI(QStringLiteral("账号%1").arg(i)));
        combo->SelectItem(1);
        combo->Activate();
        QCOMPARE(combo->DropDown()->height(), 150); // 10 × 31 + 4 exceeds the drop-box height
        VX_SCREENSHOT(combo->DropDown(), "combo-dropdown");
        // Escape puts back the item that was current when the list opened.
        QTest::keyClick(combo->DropDown(), Qt::Key_Down);
        QCOMPARE(combo->GetCurSel(), 2);
        QVERIFY2(combo->DropDown(), "stepping through the list keeps it open");
        QTest::keyClick(combo->DropDown(), Qt::Key_Escape);
        QTRY_VERIFY(!combo->DropDown());
        QCOMPARE(combo->GetCurSel(), 1);
    }

    void deleteIconPostsTheItemIndexAndDoesNotSelect()
    {
        CControlsWindow w;
        w.ShowActive();
        auto* combo = w.Get<CVXsiComboUI>("AccountCombo");
        for (int i = 0; i < 5; ++i)
            combo->Add(new CVXSiElementUI(QStringLiteral("老师%1").arg(i)));
        combo->SelectItem(0);
        combo->Activate();
        auto* item = static_cast<CVXSiElementUI*>(combo->GetItemAt(3));
        Hover(item, QPoint(10, 10));
        QVERIFY(item->IsHot());
        VX_SCREENSHOT(combo->DropDown(), "combo-delete-icon");
        QVERIFY(item->DeleteIconShown());
        w.messages.clear();
        QTest::mousePress(item, Qt::LeftButton, Qt::NoModifier, item->DeleteIconRect().center());
        QCOMPARE(w.Log(), QStringList({QStringLiteral("itemclick:")})); // the deletion is posted
        QTRY_COMPARE(w.Count(QStringLiteral("deletecomboitem")), 1);
        QCOMPARE(w.messages.back().wParam, int64_t(3));
        QCOMPARE(w.messages.back().senderName, QStringLiteral("AccountCombo"));
        QCOMPARE(combo->GetCurSel(), 0);
        QTRY_VERIFY(!combo->DropDown());
    }

    void hintEditShowsHintOnlyWhenEmptyAndUnfocusedAndLightsItsPartner()
    {
        CControlsWindow w;
        w.ShowActive();
        auto* edit = w.Get<CHintEditUI>("usernameEdit");
        auto* combo = w.Get<CVXsiComboUI>("AccountCombo");
        edit->SetExpandControl(combo);
        w.Get<CVXButtonUI>("plainBtn")->setFocus();
        QVERIFY(edit->ShowsHint());
        QVERIFY(!combo->IsPartnerHot());
        edit->setFocus();
        QVERIFY(!edit->ShowsHint());
        QVERIFY(combo->IsPartnerHot());
        QCOMPARE(combo->CurrentBorderColor(), 0xFF328CDFu);
        test::TypeText(edit, QStringLiteral("demo"));
        w.Get<CVXButtonUI>("plainBtn")->setFocus();
        QVERIFY(!edit->ShowsHint()); // has text
        QVERIFY(!combo->IsPartnerHot());
        QCOMPARE(combo->CurrentBorderColor(), 0xFFC6C7D2u);
        edit->clear();
        QVERIFY(edit->ShowsHint());
    }

    void comboExAndButtonBorders()
    {
        CControlsWindow w;
        w.show();
        auto* cx = w.Get<CVXComboEx>("serverCombo");
        cx->addItems({QStringLiteral("文件服务器 1"), QStringLiteral("文件服务器 2")});
        QCOMPARE(cx->ArrowColor(), 0xFFCCCCCCu);
        Hover(cx, QPoint(5, 5));
        QVERIFY(cx->IsHot());
        QCOMPARE(cx->CurrentBorderColor(), 0xFF328CDFu);
        QCOMPARE(cx->ArrowColor(), 0xFFAAAAAAu);

        auto* login = w.Get<CVXButtonUI>("loginBtn");
        auto* plain = w.Get<CVXButtonUI>("plainBtn");
        QVERIFY(login->DrawsBorder());
        login->setEnabled(false);
        plain->setEnabled(false);
        QVERIFY(login->DrawsBorder());  // the disabled border colour
        QVERIFY(!plain->DrawsBorder()); // no disabled border colour: no border at all
        VX_SCREENSHOT(&w, "controls-disabled");
    }
};

VX_REGISTER_QTEST(ControlsTest);
#include "ControlsTest.moc"
