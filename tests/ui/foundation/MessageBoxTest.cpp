// The message box: which buttons and title each type shows, the result of every way to close
// it (real clicks and keys), "不再提示" adding 8, and the automatic close after 6 seconds.

#include "TestRegistry.h"
#include "common/UiTestUtil.h"
#include "ui/VxMessageWnd.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

using namespace vx;

namespace {

// Opens a modal box of type, lets answer act on it once it is up, returns the box's result.
int Run(int type, const std::function<void(QWidget*)>& answer,
        const QString& caption = QStringLiteral("提示"), bool autoClose = false)
{
    test::WhenModal(answer);
    return ShowMessageBox(nullptr, caption, QStringLiteral("确定要删除选中的 3 个文件吗？删除后无法恢复。"),
                          type, autoClose);
}

QString TitleOf(QWidget* box)
{
    auto* l = box->findChild<QLabel*>(QStringLiteral("title"));
    return l ? l->text() : QString();
}

bool Has(QWidget* box, const char* name)
{
    QWidget* w = box->findChild<QWidget*>(QString::fromLatin1(name));
    return w && w->isVisible();
}

} // namespace

class MessageBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void typesShowTheirButtonsAndTitles()
    {
        struct Case
        {
            int type;
            QString caption;
            QString title;
            bool ok, cancel, check;
            const char* shot;
        } cases[] = {
            {1, QStringLiteral("提示"), QStringLiteral("提示"), true, false, false, "msgbox-type1"},
            {17, QString(), QStringLiteral("警告"), true, false, false, "msgbox-type17"},
            {21, QString(), QStringLiteral("警告"), true, true, false, "msgbox-type21"},
            {0x40 | 1, QString(), QStringLiteral("错误"), true, false, false, "msgbox-error"},
            {0x0D, QStringLiteral("Vexora"), QStringLiteral("Vexora"), true, true, true, "msgbox-notagain"},
        };
        for (const Case& c : cases) {
            bool checked = false;
            const int r = Run(
                c.type,
                [&](QWidget* box) {
                    checked = TitleOf(box) == c.title && Has(box, "okbtn") == c.ok &&
                              Has(box, "cancelbtn") == c.cancel && Has(box, "shownormal") == c.check &&
                              box->windowTitle() == QLatin1String("Vexora");
                    test::SaveScreenshot(box, QString::fromLatin1(c.shot));
                    test::ClickControl(box, QStringLiteral("closebtn"));
                },
                c.caption);
            QVERIFY2(checked, c.shot);
            QCOMPARE(r, int(IDVX_CLOSE));
        }
    }

    void eachWayOfClosingGivesItsResult()
    {
        QCOMPARE(Run(21, [](QWidget* b) { test::ClickControl(b, QStringLiteral("cancelbtn")); }),
                 int(IDVX_CANCEL));
        QCOMPARE(Run(21, [](QWidget* b) { test::ClickControl(b, QStringLiteral("okbtn")); }), int(IDVX_OK));
        QCOMPARE(Run(17, [](QWidget* b) { test::ClickControl(b, QStringLiteral("closebtn")); }),
                 int(IDVX_CLOSE));
        QCOMPARE(Run(1, [](QWidget* b) { QTest::keyClick(b, Qt::Key_Escape); }), int(IDVX_CLOSE));
        // Enter answers the default button.
        QCOMPARE(Run(21, [](QWidget* b) { QTest::keyClick(b, Qt::Key_Return); }), int(IDVX_OK));
    }

    void notAgainAddsEightToOkAndCancelButNotToClose()
    {
        auto checkThen = [](const char* button) {
            return [button](QWidget* b) {
                test::ClickControl(b, QStringLiteral("shownormal"));
                test::ClickControl(b, QString::fromLatin1(button));
            };
        };
        QCOMPARE(Run(0x09, checkThen("okbtn")), 9);
        QCOMPARE(Run(0x0D, checkThen("cancelbtn")), 12);
        QCOMPARE(Run(0x0D, checkThen("closebtn")), int(IDVX_CLOSE));
        // Checked twice is unchecked again.
        QCOMPARE(Run(0x09,
                     [](QWidget* b) {
                         test::ClickControl(b, QStringLiteral("shownormal"));
                         test::ClickControl(b, QStringLiteral("shownormal"));
                         test::ClickControl(b, QStringLiteral("okbtn"));
                     }),
                 int(IDVX_OK));
    }

    void keyboardAloneAnswersTheBox()
    {
        // Focus starts on "确定"; Tab walks 确定 → 取消 → 不再提示 → close; Space presses.
        QStringList order;
        const int r = Run(0x0D, [&](QWidget* b) {
            auto key = [b](Qt::Key k) { QTest::keyClick(b->focusWidget(), k); };
            for (int i = 0; i < 4; ++i) {
                order << b->focusWidget()->objectName();
                key(Qt::Key_Tab);
            }
            key(Qt::Key_Tab); // round again to 取消
            key(Qt::Key_Tab);
            key(Qt::Key_Space); // 不再提示
            key(Qt::Key_Backtab);
            key(Qt::Key_Space); // 取消
        });
        QCOMPARE(order, QStringList({QStringLiteral("okbtn"), QStringLiteral("cancelbtn"),
                                     QStringLiteral("shownormal"), QStringLiteral("closebtn")}));
        QCOMPARE(r, IDVX_CANCEL + IDVX_NOTAGAIN);
        // The icon-only close button has a name a screen reader can say.
        QString name;
        Run(1, [&](QWidget* b) {
            name = b->findChild<QWidget*>(QStringLiteral("closebtn"))->accessibleName();
            QTest::keyClick(b, Qt::Key_Escape);
        });
        QCOMPARE(name, QStringLiteral("关闭"));
    }

    void unansweredBoxClosesItselfAfterSixSeconds()
    {
        bool armed = false;
        QElapsedTimer t;
        t.start();
        const int r = Run(
            17, [&](QWidget* b) { armed = static_cast<CVxMessageWnd*>(b)->AutoCloseActive(); }, QString(),
            true);
        const qint64 ms = t.elapsed();
        QVERIFY(armed);
        QCOMPARE(r, int(IDVX_CLOSE));
        QVERIFY2(ms >= kMessageAutoCloseMs - 50 && ms < kMessageAutoCloseMs + 3000,
                 qPrintable(QString::number(ms)));
    }

    void answeredBoxStopsItsAutomaticClose()
    {
        const int r = Run(
            21, [](QWidget* b) { test::ClickControl(b, QStringLiteral("cancelbtn")); }, QString(), true);
        QCOMPARE(r, int(IDVX_CANCEL));
    }
};

VX_REGISTER_QTEST(MessageBoxTest);
#include "MessageBoxTest.moc"
