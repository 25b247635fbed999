// The bridge between the program's message loop and Qt's, with real worker threads: bursts of
// posts, a modal dialog opened inside a handler while workers keep posting, a target that goes
// away with messages still queued, loop timers, and tearing the bridge down under load.

#include "ui/LoopBridge.h"
#include "TestRegistry.h"
#include "common/UiTestUtil.h"
#include "platform/MessageLoop.h"
#include "ui/VxMessageWnd.h"

#include <QTest>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

using namespace vx;

namespace {

constexpr uint32_t kMsgWork = WM_USER + 100;
constexpr uint32_t kMsgOpenModal = WM_USER + 101;
constexpr uint32_t kMsgOpenModeless = WM_USER + 102;

std::atomic<int> g_livePayloads{0};

// A payload that counts its live copies, so a dropped message must free it.
struct CountedPayload : CMsgPayload
{
    explicit CountedPayload(uint64_t v) : value(v) { ++g_livePayloads; }
    ~CountedPayload() override { --g_livePayloads; }
    uint64_t value;
};

class CTarget : public IMsgHandler
{
public:
    explicit CTarget(CMessageLoop& loop) : m_loop(loop) { id = loop.Register(this); }
    ~CTarget() override { Gone(); }
    void Gone()
    {
        if (id) {
            m_loop.Unregister(id);
            id = 0;
        }
    }
    void OnMessage(uint32_t msg, uint64_t wParam, std::unique_ptr<CMsgPayload> payload) override
    {
        if (!id)
            ++deliveredWhileGone;
        if (msg == WM_TIMER) {
            ++timerTicks;
            return;
        }
        auto* p = dynamic_cast<CountedPayload*>(payload.get());
        if (!p || p->value != wParam)
            ++badPayloads;
        got.push_back(wParam);
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        if (onMessage)
            onMessage(msg);
        --depth;
    }
    // Every worker's numbers arrive complete and in the order each worker posted them.
    bool InOrderPerWorker(int workers, int perWorker, QString* why) const
    {
        std::vector<int64_t> last(workers, -1);
        std::vector<int> count(workers, 0);
        for (uint64_t w : got) {
            const int t = static_cast<int>(w >> 32);
            const int64_t seq = static_cast<int64_t>(w & 0xFFFFFFFF);
            if (t >= workers)
                continue;
            if (seq != last[t] + 1) {
                *why = QStringLiteral("worker %1: %2 after %3").arg(t).arg(seq).arg(last[t]);
                return false;
            }
            last[t] = seq;
            ++count[t];
        }
        for (int t = 0; t < workers; ++t)
            if (count[t] != perWorker) {
                *why = QStringLiteral("worker %1 delivered %2 of %3").arg(t).arg(count[t]).arg(perWorker);
                return false;
            }
        return true;
    }

    MsgTarget id = 0;
    std::vector<uint64_t> got;
    std::function<void(uint32_t)> onMessage;
    int timerTicks = 0;
    int badPayloads = 0;
    int deliveredWhileGone = 0;
    int depth = 0;
    int maxDepth = 0; // above 1: a handler was entered again while it ran

private:
    CMessageLoop& m_loop;
};

void PostFromWorkers(CMessageLoop& loop, std::vector<MsgTarget> targets, int workers, int perWorker,
                     std::vector<std::thread>* threads)
{
    for (int t = 0; t < workers; ++t) {
        threads->emplace_back([&loop, targets, t, perWorker] {
            for (int i = 0; i < perWorker; ++i) {
                const uint64_t w = (static_cast<uint64_t>(t) << 32) | static_cast<uint32_t>(i);
                for (MsgTarget target : targets)
                    loop.PostMsg(target, kMsgWork, w, std::make_unique<CountedPayload>(w));
            }
        });
    }
}

void Join(std::vector<std::thread>* threads)
{
    for (auto& t : *threads)
        t.join();
    threads->clear();
}

} // namespace

class LoopBridgeTest : public QObject
{
    Q_OBJECT

private slots:
    void burstFromWorkersArrivesCompleteInOrderWithOneQueuedCall()
    {
        CMessageLoop loop;
        CQtLoopBridge bridge(loop);
        QCoreApplication::processEvents(); // the bridge's first pump (nothing queued yet)
        const uint64_t before = bridge.QueuedPumpCount();
        CTarget target(loop);
        std::vector<std::thread> threads;
        PostFromWorkers(loop, {target.id}, 4, 2500, &threads);
        Join(&threads);
        // The GUI thread has not run yet: ten thousand posts asked for exactly one pump.
        QCOMPARE(bridge.QueuedPumpCount() - before, uint64_t(1));
        QTRY_COMPARE_WITH_TIMEOUT(target.got.size(), size_t(10000), 20000);
        QString why;
        QVERIFY2(target.InOrderPerWorker(4, 2500, &why), qPrintable(why));
        QCOMPARE(target.badPayloads, 0);
        QCOMPARE(g_livePayloads.load(), 0);
    }

    void modalDialogInHandlerDefersDeliveryWithoutLossReorderOrDeadTargets()
    {
        CMessageLoop loop;
        CQtLoopBridge bridge(loop);
        CTarget target(loop);
        CTarget doomed(loop); // goes away while its messages wait behind the modal dialog
        int boxResult = -1;
        size_t deliveredWhileModal = 0;
        std::vector<std::thread> threads;

        target.onMessage = [&](uint32_t msg) {
            if (bridge.IsDelivering() && msg == kMsgOpenModal) {
                test::WhenModal([&](QWidget* box) {
                    // Workers post while the box is open; Qt's nested loop keeps pumping events.
                    PostFromWorkers(loop, {target.id, doomed.id}, 4, 1500, &threads);
                    Join(&threads);
                    QTest::qWait(150);
                    deliveredWhileModal = target.got.size();
                    doomed.Gone();
                    test::ClickControl(box, QStringLiteral("okbtn"));
                });
                boxResult = ShowMessageBox(nullptr, QStringLiteral("提示"), QStringLiteral("处理中"), 1);
            }
        };
        // The message that opens the box, then two that must wait for it, in this order.
        loop.PostMsg(target.id, kMsgOpenModal, 0xFFFF00000001ull,
                     std::make_unique<CountedPayload>(0xFFFF00000001ull));
        loop.PostMsg(target.id, kMsgWork, 0xFFFF00000002ull,
                     std::make_unique<CountedPayload>(0xFFFF00000002ull));
        loop.PostMsg(target.id, kMsgWork, 0xFFFF00000003ull,
                     std::make_unique<CountedPayload>(0xFFFF00000003ull));

        QTRY_COMPARE_WITH_TIMEOUT(target.got.size(), size_t(3 + 6000), 30000);
        QCOMPARE(boxResult, int(IDVX_OK));
        // Nothing was delivered while the handler's dialog was open: only the opening message.
        QCOMPARE(deliveredWhileModal, size_t(1));
        QVERIFY(bridge.DeferredCount() > 0);
        QCOMPARE(target.maxDepth, 1);
        QCOMPARE(target.got[0], 0xFFFF00000001ull);
        QCOMPARE(target.got[1], 0xFFFF00000002ull);
        QCOMPARE(target.got[2], 0xFFFF00000003ull);
        QString why;
        QVERIFY2(target.InOrderPerWorker(4, 1500, &why), qPrintable(why));
        QCOMPARE(doomed.deliveredWhileGone, 0);
        QCOMPARE(doomed.got.size(), size_t(0));
        QCOMPARE(target.badPayloads, 0);
        QCOMPARE(g_livePayloads.load(), 0); // the doomed target's payloads were freed, not leaked
    }

    void modelessBoxFromAReportDoesNotHoldBackLaterReports()
    {
        CMessageLoop loop;
        CQtLoopBridge bridge(loop);
        CTarget target(loop);
        QPointer<CVxMessageWnd> box;
        int result = -1;
        target.onMessage = [&](uint32_t msg) {
            if (msg == kMsgOpenModeless)
                box = ShowMessageBoxModeless(nullptr, QStringLiteral("提示"), QStringLiteral("上传失败"), 1,
                                             [&](int r) { result = r; });
        };
        loop.PostMsg(target.id, kMsgOpenModeless, 0, std::make_unique<CountedPayload>(0));
        QTRY_VERIFY(box && box->isVisible());
        std::vector<std::thread> threads;
        PostFromWorkers(loop, {target.id}, 2, 500, &threads);
        Join(&threads);
        QTRY_COMPARE_WITH_TIMEOUT(target.got.size(), size_t(1001), 10000);
        QVERIFY(box && box->isVisible()); // still open: the reports did not wait for it
        test::ClickControl(box, QStringLiteral("okbtn"));
        QCOMPARE(result, int(IDVX_OK));
        QTRY_VERIFY(!box); // deleted on close
    }

    void loopTimersRunOnQtTimerAndStopWhenKilled()
    {
        CMessageLoop loop;
        CQtLoopBridge bridge(loop);
        CTarget target(loop);
        QVERIFY(loop.SetTimer(target.id, 7, 20));
        QTRY_VERIFY_WITH_TIMEOUT(target.timerTicks >= 3, 5000);
        loop.KillTimer(target.id, 7);
        const int ticks = target.timerTicks;
        QTest::qWait(120);
        QCOMPARE(target.timerTicks, ticks);
    }

    void destroyingTheBridgeWhileWorkersPostLosesNothing()
    {
        CMessageLoop loop;
        CTarget target(loop);
        std::vector<std::thread> threads;
        {
            CQtLoopBridge bridge(loop);
            PostFromWorkers(loop, {target.id}, 3, 3000, &threads);
            QTest::qWait(5);
        } // uninstalled while the workers still post: their wake-ups find no bridge
        Join(&threads);
        QCoreApplication::processEvents();
        // What the bridge did not deliver is still queued, in order.
        while (loop.RunOnce(0) > 0) {
        }
        QString why;
        QVERIFY2(target.InOrderPerWorker(3, 3000, &why), qPrintable(why));
        QCOMPARE(g_livePayloads.load(), 0);
    }
};

VX_REGISTER_QTEST(LoopBridgeTest);
#include "LoopBridgeTest.moc"
