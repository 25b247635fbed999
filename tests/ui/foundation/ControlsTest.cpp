// The custom controls as a Designer form uses them: skin attributes set as dynamic properties,
// colour and alignment values, check boxes alone and in a group, the hint edit with its partner,
// the combo with a hover border and the button's disabled border.

#include "Recorder.h"
#include "TestRegistry.h"
#include "common/UiTestUtil.h"
#include "ui/HintEditUI.h"
#include "ui/VXButtonUI.h"
#include "ui/VXCheckBox.h"
#include "ui/VXComboEx.h"
#include "ui/VXOptionEx.h"
#include "ui/VXsiComboUI.h"
#include "ui_ControlsForm.h"

#include <QAccessible>
#include <QTest>

using namespace vx;

namespace {

class CControlsWindow : public QWidget
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

// Logs "click:name" and "selectchanged:name" as a box or option reports them.
template <typename T> void RecordSelection(T* b, QStringList* log)
{
    QObject::connect(b, &T::activated, b, [b, log] { *log << QStringLiteral("click:") + b->objectName(); });
    QObject::connect(b, &T::selectChanged, b,
                     [b, log] { *log << QStringLiteral("selectchanged:") + b->objectName(); });
}

} // namespace

class ControlsTest : public QObject
{
    Q_OBJECT

private slots:
    void formAttributesReachTheControls()
    {
        CControlsWindow w;
        QVERIFY(w.Get<CVXCheckBox>("optA")->IsSelected());
        QCOMPARE(w.Get<CVXCheckBox>("optA")->GetGroup(), QStringLiteral("tabs"));
        QCOMPARE(w.Get<CVXOptionEx>("optC")->GetGroup(), QStringLiteral("tabs"));
        auto* combo = w.Get<CVXsiComboUI>("AccountCombo");
        QVERIFY(combo->ShowsDeleteIcon());
        QCOMPARE(combo->DropBoxSize(), QSize(200, 150));
        QCOMPARE(w.Get<CHintEditUI>("usernameEdit")->HintText(), QStringLiteral("请输入账号"));
        QCOMPARE(w.Get<CVXButtonUI>("loginBtn")->text(), QStringLiteral("登录"));
        w.show();
        VX_SCREENSHOT(&w, "controls-form");
    }

    void checkBoxesAloneToggleAndInAGroupSelectOne()
    {
        CControlsWindow w;
        QStringList log;
        RecordSelection(w.Get<CVXCheckBox>("optA"), &log);
        RecordSelection(w.Get<CVXCheckBox>("optB"), &log);
        RecordSelection(w.Get<CVXOptionEx>("optC"), &log);
        RecordSelection(w.Get<CVXCheckBox>("autoStart"), &log);
        w.show();
        test::ClickControl(&w, QStringLiteral("optB"));
        QVERIFY(w.Get<CVXCheckBox>("optB")->IsSelected());
        QVERIFY(!w.Get<CVXCheckBox>("optA")->IsSelected());
        QVERIFY(!w.Get<CVXOptionEx>("optC")->IsSelected());
        // The click comes before the change; only the newly selected box reports it.
        QCOMPARE(log, QStringList({QStringLiteral("click:optB"), QStringLiteral("selectchanged:optB")}));
        log.clear();
        test::ClickControl(&w, QStringLiteral("optB")); // a selected group member stays selected
        QVERIFY(w.Get<CVXCheckBox>("optB")->IsSelected());
        QCOMPARE(log, QStringList({QStringLiteral("click:optB")}));
        log.clear();
        test::ClickControl(&w, QStringLiteral("optC"));
        QVERIFY(!w.Get<CVXCheckBox>("optB")->IsSelected());
        QCOMPARE(log, QStringList({QStringLiteral("click:optC"), QStringLiteral("selectchanged:optC")}));

        log.clear();
        auto* box = w.Get<CVXCheckBox>("autoStart");
        test::ClickControl(&w, QStringLiteral("autoStart"));
        QVERIFY(box->IsSelected());
        test::ClickControl(&w, QStringLiteral("autoStart"));
        QVERIFY(!box->IsSelected());
        QCOMPARE(log.filter(QStringLiteral("selectchanged")).size(), 2);
        QCOMPARE(log.filter(QStringLiteral("click")).size(), 2);
        box->setEnabled(false);
        test::ClickControl(&w, QStringLiteral("autoStart"));
        QVERIFY(!box->IsSelected());

        // Code: SetCheck reports like a click, SetInitialCheck does not; a group's selected
        // member can be unselected by code, silently.
        log.clear();
        box->setEnabled(true);
        box->SetCheck(true);
        QCOMPARE(log, QStringList({QStringLiteral("selectchanged:autoStart")}));
        log.clear();
        box->SetInitialCheck(false);
        w.Get<CVXCheckBox>("optA")->SetInitialCheck(true);
        QVERIFY(!w.Get<CVXOptionEx>("optC")->IsSelected());
        w.Get<CVXCheckBox>("optA")->SetCheck(false);
        QVERIFY(!w.Get<CVXCheckBox>("optA")->IsSelected());
        QVERIFY(log.isEmpty());
        // A group named in code (as windows without a form group do) is exclusive too.
        auto* extra = new CVXOptionEx(&w);
        extra->SetGroup(QStringLiteral("tabs"));
        extra->SetCheck(true);
        w.Get<CVXCheckBox>("optB")->SetCheck(true);
        QVERIFY(!extra->IsSelected());
    }

    void checkBoxesAndOptionsWorkByKeyboard()
    {
        CControlsWindow w;
        QStringList log;
        RecordSelection(w.Get<CVXCheckBox>("autoStart"), &log);
        RecordSelection(w.Get<CVXOptionEx>("optC"), &log);
        w.ShowActive();
        auto* box = w.Get<CVXCheckBox>("autoStart");
        box->setFocus(Qt::TabFocusReason);
        QTest::keyClick(box, Qt::Key_Space);
        QVERIFY(box->IsSelected());
        auto* opt = w.Get<CVXOptionEx>("optC");
        opt->setFocus(Qt::TabFocusReason);
        QTest::keyClick(opt, Qt::Key_Space);
        QVERIFY(opt->IsSelected());
        QVERIFY(!w.Get<CVXCheckBox>("optA")->IsSelected());
        QCOMPARE(log,
                 QStringList({QStringLiteral("click:autoStart"), QStringLiteral("selectchanged:autoStart"),
                              QStringLiteral("click:optC"), QStringLiteral("selectchanged:optC")}));
        // Screen readers get the text as the name.
        QCOMPARE(QAccessible::queryAccessibleInterface(opt)->text(QAccessible::Name),
                 QStringLiteral("我的空间"));
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
        test::TypeText(edit, QStringLiteral("demo"));
        w.Get<CVXButtonUI>("plainBtn")->setFocus();
        QVERIFY(!edit->ShowsHint()); // has text
        QVERIFY(!combo->IsPartnerHot());
        edit->clear();
        QVERIFY(edit->ShowsHint());
    }

    void comboExAndButtonBorders()
    {
        CControlsWindow w;
        w.show();
        auto* cx = w.Get<CVXComboEx>("serverCombo");
        cx->addItems({QStringLiteral("文件服务器 1"), QStringLiteral("文件服务器 2")});
        // The border as drawn from the stylesheet: grey, blue while the combo has the focus.
        auto edge = [cx] { return cx->grab().toImage().pixelColor(0, cx->height() / 2).name(); };
        QCOMPARE(edge(), QStringLiteral("#c6c7d2"));
        w.ShowActive();
        cx->setFocus();
        QTRY_COMPARE(edge(), QStringLiteral("#328cdf"));

        w.Get<CVXButtonUI>("loginBtn")->setEnabled(false);
        w.Get<CVXButtonUI>("plainBtn")->setEnabled(false);
        VX_SCREENSHOT(&w, "controls-disabled");
    }
};

VX_REGISTER_QTEST(ControlsTest);
#include "ControlsTest.moc"
