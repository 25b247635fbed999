// The space page under QTest (offscreen) against the simulator: a deep tree with Chinese names
// (screenshots), dragging with real mouse events onto valid and invalid targets, the address bar
// at a narrow width, renaming in place and deleting, the menus, and the page by keyboard alone.

// Mouse events go through the window, as the platform delivers them: a press grabs the mouse
// for the pressed widget, so the moves of a drag reach it wherever the pointer is.
#define QTEST_QPA_MOUSE_HANDLING

#include "common/SimHarness.h"
#include "common/UiTestUtil.h"
#include "net/Session.h"
#include "net/SpaceApi.h"
#include "space/SpaceController.h"
#include "ui/LoopBridge.h"
#include "ui/UiApplication.h"
#include "ui/VXEditWnd.h"
#include "ui/VXMenuWnd.h"
#include "ui/space/SpaceDrag.h"
#include "ui/space/SpaceTreeModel.h"
#include "ui/space/UserSpaceView.h"
#include "ui/space/VXAddressItemUI.h"
#include "ui/space/VXDirAddressUI.h"
#include "ui/space/VXDirListUI.h"
#include "ui/space/VXDirTreeUI.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <memory>

using namespace vx;
using vx::test::CSimProcess;

namespace {

const QStringList kDeepPath = {QStringLiteral("第一学期 课程资料"), QStringLiteral("第一单元 语文阅读与写作"),
                               QStringLiteral("第二课 古诗词鉴赏"), QStringLiteral("课堂练习与课后作业"),
                               QStringLiteral("期末复习 重点难点汇总")};

} // namespace

class CSpaceViewTest : public QObject
{
    Q_OBJECT

private:
    vx::test::CTempDir m_dir;
    CSimProcess m_sim;
    std::unique_ptr<CAppConfig> m_config;
    std::unique_ptr<CSession> m_session;
    std::unique_ptr<CSpaceApi> m_api;
    std::unique_ptr<CLocalDb> m_db;
    CMessageLoop m_loop;
    std::unique_ptr<CQtLoopBridge> m_bridge;
    std::unique_ptr<CSpaceController> m_ctl;
    std::unique_ptr<CUserSpaceView> m_page;
    int64_t m_root = 0;
    std::vector<int64_t> m_deep;

    // Every queued request applied and the page redrawn.
    bool Settle()
    {
        // Posted events (a delete message, a redraw) may queue more requests: idle twice in a row.
        for (int round = 0; round < 100; ++round) {
            if (!QTest::qWaitFor([this] { return !m_ctl->IsBusy(); }, 30000))
                return false;
            QTest::qWait(60);
            if (!m_ctl->IsBusy())
                return true;
        }
        return false;
    }
    int64_t MakeDir(int64_t parent, const QString& name)
    {
        int64_t id = 0;
        std::string err;
        if (!m_api->RequestForCreateDirectroy(parent, name.toStdString(), &id, &err))
            qWarning("creating %s failed: %s", qPrintable(name), err.c_str());
        return id;
    }
    bool UploadPdf(int64_t dir, const std::string& name)
    {
        const std::string path = m_dir.File(name);
        vx::test::WriteFile(path, "%PDF-1.4\n% " + name + "\n%%EOF\n");
        vx::test::RunResult r = vx::test::RunProgram(
            "vexora",
            {"--config", m_config->ConfigPath(), "upload", "--dir", std::to_string(dir), "--server",
             "127.0.0.1:" + std::to_string(m_sim.FilePorts()[0]), path},
            {"VEXORA_USER=demo", "VEXORA_PASSWORD=demo123", "VEXORA_DATA_DIR=" + m_dir.Path() + "cli"});
        return r.exitCode == 0;
    }
    std::vector<SpaceEntry> ServerList(int64_t dir)
    {
        std::vector<SpaceEntry> out;
        std::string err;
        m_api->RequestForDirList(dir, true, &out, &err);
        return out;
    }
    static bool Holds(const std::vector<SpaceEntry>& v, const std::string& name)
    {
        return std::any_of(v.begin(), v.end(), [&](const SpaceEntry& e) { return e.strName == name; });
    }
    int Row(const QString& name) const
    {
        const auto& rows = m_ctl->List().Rows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].entry.strName == name.toStdString())
                return static_cast<int>(i);
        return -1;
    }
    QPoint RowCenter(const QString& name) const
    {
        CVXDirListUI* list = m_page->List();
        return list->visualRect(list->model()->index(Row(name), 0)).center();
    }
    // Presses Delete in w and answers the question box with the button named; returns the
    // question once everything it started is done.
    QString DeleteByKey(QWidget* w, const char* button)
    {
        QString question;
        vx::test::WhenModal([&question, button](QWidget* box) {
            question = box->findChild<QLabel*>(QStringLiteral("infor"))->text();
            vx::test::ClickControl(box, QString::fromLatin1(button));
        });
        QTest::keyClick(w, Qt::Key_Delete);
        return Settle() ? question : QStringLiteral("(still busy)");
    }
    // The rename edit the page opened.
    CVXEditWnd* WaitForEdit()
    {
        CVXEditWnd* edit = nullptr;
        return QTest::qWaitFor([&] { return (edit = m_page->findChild<CVXEditWnd*>()) != nullptr; }, 5000)
                   ? edit
                   : nullptr;
    }
    // Moves the list's current row to the named one with Home and Down, as a user would.
    bool SelectByKeys(const QString& name)
    {
        CVXDirListUI* list = m_page->List();
        const int want = Row(name);
        if (want < 0)
            return false;
        QTest::keyClick(list, Qt::Key_Home);
        for (int i = 0; i < want; ++i)
            QTest::keyClick(list, Qt::Key_Down);
        return Settle() && list->currentIndex().row() == want &&
               list->SelectedRows() == std::vector<int>{want};
    }
    bool ShowFolder(int64_t id)
    {
        m_ctl->OnTreeItemSelect(id);
        return Settle() && m_ctl->List().DirId() == id;
    }
    // A drag with real mouse events: press on from (in fromWidget), move in steps over to
    // (in toWidget), release there. Returns the ghost's text just before the release.
    QString Drag(QWidget* fromWidget, QPoint from, QWidget* toWidget, QPoint to, bool release = true)
    {
        QTest::mousePress(fromWidget, Qt::LeftButton, Qt::NoModifier, from);
        const QPoint start = fromWidget->mapTo(m_page.get(), from);
        const QPoint end = toWidget->mapTo(m_page.get(), to);
        for (int i = 1; i <= 8; ++i) {
            const QPoint p = start + (end - start) * i / 8;
            QTest::mouseMove(m_page.get(), p);
        }
        const QString ghost =
            m_page->Drag()->Ghost()->isVisible() ? m_page->Drag()->Ghost()->text() : QString();
        if (release)
            QTest::mouseRelease(toWidget, Qt::LeftButton, Qt::NoModifier, to);
        return ghost;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_sim.Start());
        m_config = std::make_unique<CAppConfig>(m_sim.WriteConfig(m_dir.Path()));
        m_config->Language().Load(vx::test::BinDir() + "Language/SimpleChinese");
        m_session = std::make_unique<CSession>(*m_config);
        QVERIFY(m_session->Login({"demo", "demo123", false, false}) && m_session->PermissionGranted());
        m_api = std::make_unique<CSpaceApi>(*m_config);
        m_db = std::make_unique<CLocalDb>(m_dir.File("cache.db"));
        m_bridge = std::make_unique<CQtLoopBridge>(m_loop);
        m_ctl = std::make_unique<CSpaceController>(*m_config, *m_db, m_loop, nullptr);
        m_page = std::make_unique<CUserSpaceView>(*m_ctl, &m_config->Language());
        m_page->resize(1100, 600);
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));

        m_ctl->LoadTree();
        QVERIFY(Settle());
        m_root = m_ctl->Tree().RootIdOf(m_config->m_i64UserId);
        QVERIFY(m_root > 0);
        int64_t parent = m_root;
        for (const QString& name : kDeepPath) {
            parent = MakeDir(parent, name);
            m_deep.push_back(parent);
        }
        QVERIFY(UploadPdf(m_deep[1], "阅读材料.pdf"));
        QVERIFY(UploadPdf(m_deep[4], "复习提纲.pdf"));
        QVERIFY(MakeDir(m_root, QStringLiteral("Archive")) > 0);
        QVERIFY(MakeDir(m_root, QStringLiteral("Week 2")) > 0);
        QVERIFY(UploadPdf(m_root, "notes.pdf"));
        QVERIFY(UploadPdf(m_root, "other.pdf"));
    }

    void cleanupTestCase()
    {
        m_page.reset();
        m_ctl.reset();
        m_bridge.reset();
    }

    void deepTreeScreenshots()
    {
        QVERIFY(ShowFolder(m_root)); // the folders made since the start join the tree
        for (int64_t id : m_deep)
            QVERIFY(ShowFolder(id));
        QCOMPARE(m_ctl->Tree().Ancestry(m_deep.back()).size(), m_deep.size() + 1);
        CVXDirTreeUI* tree = m_page->Tree();
        // Every level is expanded down to the shown folder, which is selected and visible.
        QCOMPARE(tree->SelectedId(), m_deep.back());
        QVERIFY(tree->viewport()->rect().intersects(tree->RectOf(m_deep.back())));
        CVXDirAddressUI* address = m_page->Address();
        QCOMPARE(address->Items().back()->FolderName(), kDeepPath.back());
        QVERIFY(address->Items().back()->isVisible());
        const QString info = m_page->findChild<QLabel*>(QStringLiteral("spaceCourseInfo"))->text();
        QCOMPARE(info, QString::fromStdString(m_ctl->CourseInfoText()));
        QVERIFY(info.startsWith(
            QString::fromStdString("1" + m_config->GetText(2078) + "   0" + m_config->GetText(2079))));
        // One set of page buttons: the create and rename buttons appear once.
        int createButtons = 0;
        for (QAbstractButton* b : m_page->findChildren<QAbstractButton*>())
            createButtons += b->isVisible() && b->text() == QStringLiteral("新建文件夹") ? 1 : 0;
        QCOMPARE(createButtons, 1);
        VX_SCREENSHOT(m_page.get(), QStringLiteral("space_deep_tree"));

        // The same page with the folder that holds a file and a subfolder.
        QVERIFY(ShowFolder(m_deep[1]));
        VX_SCREENSHOT(m_page.get(), QStringLiteral("space_folder_with_file"));
    }

    void addressBarOverflowsAtANarrowWidth()
    {
        QVERIFY(ShowFolder(m_deep.back()));
        m_page->resize(560, 420);
        QTest::qWait(50);
        CVXDirAddressUI* address = m_page->Address();
        QVERIFY2(address->FirstShown() > 0, "the leading folders are hidden");
        QVERIFY(address->Overflow()->isVisible());
        QVERIFY(!address->Items().front()->isVisible());
        QVERIFY(address->Items().back()->isVisible());
        int used = 0;
        for (CVXAddressItemUI* item : address->Items())
            if (item->isVisible())
                used += item->width();
        QVERIFY(used <= address->width() - 35 || address->FirstShown() == address->Items().size() - 1);
        auto* back = m_page->findChild<QPushButton*>(QStringLiteral("backtoPrebtn"));
        QVERIFY(back->isEnabled());
        QCOMPARE(back->toolTip(), QStringLiteral("返回上一级"));
        VX_SCREENSHOT(m_page.get(), QStringLiteral("space_address_narrow"));

        // Back, with a real click: the parent is shown and selected.
        QTest::mouseClick(back, Qt::LeftButton);
        QVERIFY(Settle());
        QCOMPARE(m_ctl->List().DirId(), m_deep[m_deep.size() - 2]);
        QCOMPARE(m_page->Tree()->SelectedId(), m_deep[m_deep.size() - 2]);

        // Wide again, with a shorter path: everything fits, nothing hidden. At the root, back is off.
        m_page->resize(1100, 600);
        QVERIFY(ShowFolder(m_deep[1]));
        QCOMPARE(address->FirstShown(), 0);
        QVERIFY(!address->Overflow()->isVisible());
        QVERIFY(ShowFolder(m_root));
        QVERIFY(!back->isEnabled());
        QVERIFY(back->toolTip().isEmpty());
    }

    void dragAndDropWithTheMouse()
    {
        QVERIFY(ShowFolder(m_root));
        CVXDirListUI* list = m_page->List();
        CVXDirTreeUI* tree = m_page->Tree();

        // A file onto a file: no target, nothing sent.
        QString ghost =
            Drag(list->viewport(), RowCenter("notes.pdf"), list->viewport(), RowCenter("other.pdf"));
        QCOMPARE(ghost, QStringLiteral("notes.pdf"));
        QVERIFY(Settle());
        QVERIFY(Holds(ServerList(m_root), "notes.pdf"));

        // Leaving the page cancels: the ghost goes and the release does nothing.
        Drag(list->viewport(), RowCenter("Week 2"), list->viewport(), RowCenter("Archive"), false);
        QVERIFY(m_page->Drag()->Ghost()->isVisible());
        QTest::mouseMove(m_page.get(), QPoint(m_page->width() + 40, 10));
        QVERIFY(!m_page->Drag()->Ghost()->isVisible());
        QTest::mouseRelease(m_page.get(), Qt::LeftButton, Qt::NoModifier, QPoint(m_page->width() - 2, 10));
        QVERIFY(Settle());
        QVERIFY(Holds(ServerList(m_root), "Week 2"));

        // A folder of the list onto another folder of the list: moved.
        ghost = Drag(list->viewport(), RowCenter("Week 2"), list->viewport(), RowCenter("Archive"));
        QCOMPARE(ghost, m_page->Drag()->MoveText(QStringLiteral("Archive")));
        QVERIFY(Settle());
        const int64_t archive = m_ctl->List().Rows()[Row("Archive")].entry.i64Id;
        QVERIFY(Holds(ServerList(archive), "Week 2"));
        QCOMPARE(Row("Week 2"), -1);

        // A tree folder onto its own subfolder: refused; onto another folder: moved.
        m_ctl->ExpandTreeItem(archive, true);
        QVERIFY(Settle());
        const int64_t week2 = m_ctl->Tree().ChildrenOf(archive).front();
        QVERIFY(tree->viewport()->rect().contains(tree->RectOf(week2).center()));
        ghost = Drag(tree->viewport(), tree->RectOf(archive).center(), tree->viewport(),
                     tree->RectOf(week2).center());
        QCOMPARE(ghost, QStringLiteral("Archive"));
        QVERIFY(Settle());
        QVERIFY(Holds(ServerList(m_root), "Archive"));
        QVERIFY(Holds(ServerList(archive), "Week 2"));

        ghost = Drag(tree->viewport(), tree->RectOf(week2).center(), tree->viewport(),
                     tree->RectOf(m_deep[0]).center());
        QCOMPARE(ghost, m_page->Drag()->MoveText(kDeepPath[0]));
        QVERIFY(Settle());
        QVERIFY(Holds(ServerList(m_deep[0]), "Week 2"));
        QCOMPARE(m_ctl->Tree().Find(week2)->i64ParentItem, m_deep[0]);
        VX_SCREENSHOT(m_page.get(), QStringLiteral("space_after_moves"));
    }

    void renameInPlaceAndDelete()
    {
        QVERIFY(ShowFolder(m_root));
        // A new folder opens its name editor over its row; typing a name and Enter renames it.
        QTest::mouseClick(m_page->findChild<QPushButton*>(QStringLiteral("SpaceCreatedirbtn")),
                          Qt::LeftButton);
        QVERIFY(Settle());
        CVXEditWnd* edit = WaitForEdit();
        QVERIFY(edit);
        QCOMPARE(edit->text(), QStringLiteral("新建文件夹"));
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("home?work"));
        QCOMPARE(edit->text(), QStringLiteral("homework")); // the forbidden character never lands
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(Settle());
        QVERIFY(Holds(ServerList(m_root), "homework"));
        QVERIFY(Row(QStringLiteral("homework")) >= 0);

        // Delete key on the selected empty folder, confirmed in the box: gone everywhere.
        CVXDirListUI* list = m_page->List();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          RowCenter(QStringLiteral("homework")));
        const QString question = DeleteByKey(list, "okbtn");
        QVERIFY(question.endsWith(QStringLiteral("homework")));
        QVERIFY(!Holds(ServerList(m_root), "homework"));
        QCOMPARE(Row(QStringLiteral("homework")), -1);
    }

    void sortHeadersKeepEachFoldersOrder()
    {
        QVERIFY(ShowFolder(m_root));
        auto* name = m_page->findChild<QToolButton*>(QStringLiteral("SpaceFileNametbn"));
        QTest::mouseClick(name, Qt::LeftButton); // checked: descending
        QTest::qWait(30);
        QVERIFY(name->isChecked());
        auto names = [this] {
            QStringList out;
            for (const SpaceListRow& r : m_ctl->List().Rows())
                out << QString::fromStdString(r.entry.strName);
            return out;
        };
        const QStringList sorted = names();
        QCOMPARE(sorted.first(), QStringLiteral("第一学期 课程资料"));
        QCOMPARE(sorted.last(), QStringLiteral("notes.pdf"));
        QVERIFY(ShowFolder(m_deep[1]));
        QVERIFY(!name->isChecked());
        QVERIFY(ShowFolder(m_root));
        QVERIFY(name->isChecked());
        QCOMPARE(names(), sorted);
        QTest::mouseClick(name, Qt::LeftButton); // ascending again
        QVERIFY(Settle());
        QCOMPARE(names().first(), QStringLiteral("Archive"));
    }

    void menusActOnTheirItemAndTheDeleteKeyOnTheSelection()
    {
        QVERIFY(ShowFolder(m_root));
        CVXDirListUI* list = m_page->List();
        // A right click on a row opens the menu of that row; closing it without a choice
        // leaves nothing behind for the Delete key.
        QTest::mouseClick(list->viewport(), Qt::RightButton, Qt::NoModifier,
                          RowCenter(QStringLiteral("Archive")));
        CVXMenuWnd* menu = nullptr;
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if ((menu = qobject_cast<CVXMenuWnd*>(w)) && w->isVisible())
                        return true;
                return false;
            },
            3000));
        QCOMPARE(menu->Entries(), (QStringList{"rename", "delete", "newfolder", "refresh"}));
        menu->close();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          RowCenter(QStringLiteral("Lessons")));
        const QString question = DeleteByKey(list, "cancelbtn");
        QVERIFY2(question.endsWith(QStringLiteral("Lessons")), qPrintable(question));
        QVERIFY(Holds(ServerList(m_root), "Lessons"));
        QVERIFY(Holds(ServerList(m_root), "Archive"));
    }

    void doubleClickOpensTheFolderInTheTree()
    {
        QVERIFY(ShowFolder(m_deep[0]));
        CVXDirListUI* list = m_page->List();
        CVXDirTreeUI* tree = m_page->Tree();
        tree->collapse(tree->SpaceModel()->IndexOf(m_deep[0]));
        QVERIFY(Settle());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, RowCenter(kDeepPath[1]));
        QVERIFY(Settle());
        QCOMPARE(m_ctl->List().DirId(), m_deep[1]);
        QCOMPARE(tree->SelectedId(), m_deep[1]);
        QVERIFY(tree->isExpanded(tree->SpaceModel()->IndexOf(m_deep[0])));
        QVERIFY(tree->viewport()->rect().intersects(tree->RectOf(m_deep[1])));
    }

    void changesKeepExpansionSelectionAndScrollPosition()
    {
        // A folder with more rows than the list shows at once.
        const int64_t many = MakeDir(m_root, QStringLiteral("学生作业 批量"));
        for (int i = 1; i <= 40; ++i)
            QVERIFY(MakeDir(many, QStringLiteral("作业 %1").arg(i, 2, 10, QLatin1Char('0'))) > 0);
        QVERIFY(ShowFolder(m_root));
        QVERIFY(ShowFolder(many));
        CVXDirTreeUI* tree = m_page->Tree();
        CVXDirListUI* list = m_page->List();
        const std::vector<int64_t> open = {m_root, m_deep[0], m_deep[1], m_deep[2]};
        auto allOpen = [&] {
            for (int64_t id : open)
                if (!tree->isExpanded(tree->SpaceModel()->IndexOf(id)))
                    return false;
            return true;
        };
        QVERIFY(allOpen());
        QScrollBar* bar = list->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0); // the range follows the rows once the layout has run
        bar->setValue(bar->maximum());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          RowCenter(QStringLiteral("作业 35")));
        QVERIFY(Settle());
        const int scrolled = bar->value();
        const int64_t id35 = m_ctl->List().Rows()[Row(QStringLiteral("作业 35"))].entry.i64Id;

        // Rename: the row keeps its place, its selection and the list its scroll position.
        m_ctl->CommitRename({SpaceSource::ListItem, true, id35}, "作业 35 已批改");
        QVERIFY(Settle());
        QCOMPARE(bar->value(), scrolled);
        QCOMPARE(list->SelectedRows(), std::vector<int>{Row(QStringLiteral("作业 35 已批改"))});
        QVERIFY(allOpen());
        QCOMPARE(tree->SelectedId(), many);

        // Move the shown folder in the tree: the tree keeps what was open and its selection.
        m_ctl->MoveItems({SpaceSource::TreeItem, true, many}, {SpaceSource::TreeItem, m_deep[0], true});
        QVERIFY(Settle());
        QCOMPARE(m_ctl->Tree().Find(many)->i64ParentItem, m_deep[0]);
        QVERIFY(allOpen());
        QCOMPARE(tree->SelectedId(), many);
        QCOMPARE(bar->value(), scrolled);

        // Delete the last row, confirmed: the rows above stay where they were.
        const int64_t id40 = m_ctl->List().Rows()[Row(QStringLiteral("作业 40"))].entry.i64Id;
        vx::test::WhenModal([](QWidget* box) { vx::test::ClickControl(box, QStringLiteral("okbtn")); });
        m_ctl->DeleteItems({SpaceSource::ListItem, true, id40});
        QVERIFY(Settle());
        QCOMPARE(Row(QStringLiteral("作业 40")), -1);
        QVERIFY(bar->value() >= scrolled - list->sizeHintForRow(0));
        QVERIFY(allOpen());

        // New folder: selected, its editor over it; Escape keeps the name. Nothing collapses.
        QTest::mouseClick(m_page->findChild<QPushButton*>(QStringLiteral("SpaceCreatedirbtn")),
                          Qt::LeftButton);
        QVERIFY(Settle());
        CVXEditWnd* edit = WaitForEdit();
        QVERIFY(edit);
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(Settle());
        QCOMPARE(list->SelectedRows(), std::vector<int>{Row(QStringLiteral("新建文件夹"))});
        QVERIFY(allOpen());
        QCOMPARE(tree->SelectedId(), many);
        VX_SCREENSHOT(m_page.get(), QStringLiteral("space_after_changes"));
    }

    void aNameTypedForOneFolderGoesToItWhileANewFolderArrives()
    {
        // The editors end when they lose the focus, which only an active window hands around
        // (an earlier case may have left another window active).
        m_page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
        const int64_t shown = MakeDir(m_root, QStringLiteral("改名测试"));
        QVERIFY(MakeDir(shown, QStringLiteral("第三周")) > 0);
        QVERIFY(ShowFolder(shown));
        // The server is slow: the new folder arrives while the user renames another one (slow
        // enough that the typing is done first, however busy the machine).
        QVERIFY(m_sim.SetFault("delay", "4000"));
        QTest::mouseClick(m_page->findChild<QPushButton*>(QStringLiteral("SpaceCreatedirbtn")),
                          Qt::LeftButton);
        CVXDirListUI* list = m_page->List();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          RowCenter(QStringLiteral("第三周")));
        QTest::mouseClick(m_page->findChild<QPushButton*>(QStringLiteral("SpaceRenamebtn")), Qt::LeftButton);
        CVXEditWnd* edit = WaitForEdit();
        QVERIFY(edit);
        QCOMPARE(edit->text(), QStringLiteral("第三周"));
        edit->selectAll();
        vx::test::TypeText(edit, QStringLiteral("第三周 作业"));
        // The new folder's editor opens over its row and takes the focus: the first edit ends.
        CVXEditWnd* second = nullptr;
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (CVXEditWnd* e : m_page->findChildren<CVXEditWnd*>())
                    if (e->isVisible() && e->text() == QStringLiteral("新建文件夹"))
                        second = e;
                return second != nullptr;
            },
            20000));
        QTest::keyClick(second, Qt::Key_Escape);
        QVERIFY(m_sim.SetFault("delay", "0"));
        QVERIFY(Settle());
        const std::vector<SpaceEntry> names = ServerList(shown);
        QVERIFY(Holds(names, "第三周 作业"));
        QVERIFY(Holds(names, "新建文件夹"));
        QVERIFY(Row(QStringLiteral("第三周 作业")) >= 0);
        QVERIFY(Row(QStringLiteral("新建文件夹")) >= 0);
    }

    // Keyboard alone: arrows, Enter, F2, Delete, Ctrl+A, the menu keys and Ctrl+F.
    void theListByKeyboardSelectsOpensRenamesAndDeletes()
    {
        m_page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
        QVERIFY(MakeDir(m_root, QStringLiteral("键盘文件夹")) > 0);
        QVERIFY(ShowFolder(m_root));
        CVXDirListUI* list = m_page->List();
        list->setFocus();
        QTRY_VERIFY(list->hasFocus());

        // Ctrl+A selects every row; the controller follows, and rename needs exactly one.
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(Settle());
        const size_t rows = m_ctl->List().Count();
        QVERIFY(rows > 2);
        QCOMPARE(list->SelectedRows().size(), rows);
        for (const SpaceListRow& r : m_ctl->List().Rows())
            QVERIFY(r.bSelected);
        QVERIFY(!m_page->findChild<QPushButton*>(QStringLiteral("SpaceRenamebtn"))->isEnabled());

        // Arrows move the selection to one row.
        QVERIFY(SelectByKeys(QStringLiteral("键盘文件夹")));
        QCOMPARE(list->SelectedRows(), std::vector<int>{Row(QStringLiteral("键盘文件夹"))});

        // F2 opens the name editor over it; typing and Enter rename it on the server.
        QTest::keyClick(list, Qt::Key_F2);
        CVXEditWnd* edit = WaitForEdit();
        QVERIFY(edit);
        QCOMPARE(edit->text(), QStringLiteral("键盘文件夹"));
        edit->selectAll();
        vx::test::TypeText(edit, QStringLiteral("键盘改名"));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(Settle());
        QVERIFY(Holds(ServerList(m_root), "键盘改名"));
        QVERIFY(!Holds(ServerList(m_root), "键盘文件夹"));

        // Enter opens the selected folder (and selects it in the tree).
        list->setFocus();
        QVERIFY(SelectByKeys(QStringLiteral("键盘改名")));
        const int64_t renamed = m_ctl->List().Rows()[Row(QStringLiteral("键盘改名"))].entry.i64Id;
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(Settle());
        QCOMPARE(m_ctl->List().DirId(), renamed);
        QCOMPARE(m_page->Tree()->SelectedId(), renamed);

        // Back at the root: Delete asks about the selected folder, and OK deletes it.
        QVERIFY(ShowFolder(m_root));
        list->setFocus();
        QVERIFY(SelectByKeys(QStringLiteral("键盘改名")));
        const QString question = DeleteByKey(list, "okbtn");
        QVERIFY2(question.endsWith(QStringLiteral("键盘改名")), qPrintable(question));
        QVERIFY(!Holds(ServerList(m_root), "键盘改名"));
    }

    void menuKeysOpenTheMenuOfTheCurrentItemAndItsEntriesWorkByKeys()
    {
        m_page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
        QVERIFY(ShowFolder(m_root));
        CVXDirListUI* list = m_page->List();
        list->setFocus();
        QVERIFY(SelectByKeys(QStringLiteral("Archive")));

        // Shift+F10 opens the row's menu; Down and Enter choose its first entry, rename.
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        QPointer<CVXMenuWnd> menu = m_page->PopupMenu();
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->Entries(), (QStringList{"rename", "delete", "newfolder", "refresh"}));
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
        CVXEditWnd* edit = WaitForEdit();
        QVERIFY(edit);
        QCOMPARE(edit->text(), QStringLiteral("Archive"));
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(Settle());
        QVERIFY(Holds(ServerList(m_root), "Archive"));
        QTRY_VERIFY(!menu);

        // The context-menu key, as the platform delivers it: the menu of the current row;
        // Escape closes it without acting.
        list->setFocus();
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5), list->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(list, &key);
        menu = m_page->PopupMenu();
        QVERIFY(menu);
        QCOMPARE(menu->Entries(), (QStringList{"rename", "delete", "newfolder", "refresh"}));
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu);
        QVERIFY(!m_page->findChild<CVXEditWnd*>());

        // The tree: F2 renames its current folder, Delete asks about it, Shift+F10 opens its menu.
        CVXDirTreeUI* tree = m_page->Tree();
        m_page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
        tree->setFocus();
        QTRY_VERIFY(tree->hasFocus());
        const int64_t archive = m_ctl->List().Rows()[Row(QStringLiteral("Archive"))].entry.i64Id;
        m_ctl->SelectTreeItem(archive);
        QVERIFY(Settle());
        QCOMPARE(tree->SelectedId(), archive);
        QTest::keyClick(tree, Qt::Key_F2);
        QVERIFY((edit = WaitForEdit()) != nullptr);
        QCOMPARE(edit->text(), QStringLiteral("Archive"));
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(Settle());
        tree->setFocus();
        const QString question = DeleteByKey(tree, "cancelbtn");
        QVERIFY2(question.endsWith(QStringLiteral("Archive")), qPrintable(question));
        QVERIFY(Holds(ServerList(m_root), "Archive"));
        QTest::keyClick(tree, Qt::Key_F10, Qt::ShiftModifier);
        menu = m_page->PopupMenu();
        QVERIFY(menu);
        QVERIFY(menu->Entries().contains(QStringLiteral("refresh")));
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu);

        // Arrows in the tree show the folder they land on.
        tree->setFocus();
        const int64_t before = tree->SelectedId();
        QTest::keyClick(tree, Qt::Key_Up);
        QVERIFY(Settle());
        QVERIFY(tree->SelectedId() != before);
        QCOMPARE(m_ctl->List().DirId(), tree->SelectedId());
    }

    void ctrlFGoesToTheSearchBoxAndEmptyingItEndsTheSearch()
    {
        m_page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
        QVERIFY(ShowFolder(m_root));
        m_page->List()->setFocus();
        QTest::keyClick(m_page->List(), Qt::Key_F, Qt::ControlModifier);
        QLineEdit* search = m_page->SearchEdit();
        QTRY_VERIFY(search->hasFocus());
        QCOMPARE(search->accessibleName(), QStringLiteral("搜索"));
        vx::test::TypeText(search, QStringLiteral("notes"));
        QTest::keyClick(search, Qt::Key_Return);
        QVERIFY(Settle());
        QVERIFY(m_ctl->List().IsSearch());
        QVERIFY(Row(QStringLiteral("notes.pdf")) >= 0);
        QVERIFY(m_page->findChild<QPushButton*>(QStringLiteral("QuitSpaceSearchbtn"))->isVisible());
        // Ctrl+F again selects what is there, so typing replaces it; emptying ends the search.
        m_page->List()->setFocus();
        QTest::keyClick(m_page->List(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(search->hasFocus());
        QCOMPARE(search->selectedText(), QStringLiteral("notes"));
        QTest::keyClick(search, Qt::Key_Backspace);
        QVERIFY(Settle());
        QVERIFY(!m_ctl->List().IsSearch());
        QCOMPARE(m_ctl->List().DirId(), m_root);
        QVERIFY(m_page->findChild<QPushButton*>(QStringLiteral("SpaceSearchbtn"))->isVisible());
    }

    void everyControlHasAnAccessibleName()
    {
        // Its own name, or the text a button shows.
        for (QWidget* w : m_page->findChildren<QWidget*>()) {
            auto* button = qobject_cast<QAbstractButton*>(w);
            if (!w->isVisible() ||
                (!button && !qobject_cast<QAbstractItemView*>(w) && !qobject_cast<QLineEdit*>(w)))
                continue;
            const QString name =
                w->accessibleName().isEmpty() && button ? button->text() : w->accessibleName();
            QVERIFY2(!name.trimmed().isEmpty(),
                     qPrintable(w->objectName() + QLatin1Char(' ') + w->metaObject()->className()));
        }
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    vx::ApplyStyleSheet(app);
    CSpaceViewTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "SpaceViewTest.moc"
