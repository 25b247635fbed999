#include "ui/space/UserSpaceView.h"

#include "app/LanguageTable.h"
#include "ui/VXEditWnd.h"
#include "ui/VXMenuWnd.h"
#include "ui/VxMessageWnd.h"
#include "ui/space/SpaceDrag.h"
#include "ui/space/SpaceListModel.h"
#include "ui/space/SpaceTreeModel.h"
#include "ui/space/VXDirAddressUI.h"
#include "ui/space/VXDirListUI.h"
#include "ui/space/VXDirTreeUI.h"
#include "ui_UserSpaceView.h"

#include <QCursor>
#include <QIcon>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QSplitter>
#include <QToolButton>
#include <algorithm>

namespace vx {

namespace {

constexpr int kMenuWidth = 100;

const char* const kBackTip = "返回上一级";

} // namespace

CUserSpaceView::CUserSpaceView(CSpaceController& controller, const CLanguageTable* texts, QWidget* parent)
    : QWidget(parent), m_controller(controller), m_pTexts(texts),
      m_form(std::make_unique<Ui::UserSpaceView>())
{
    m_form->setupUi(this);

    m_pTree = m_form->SpaceDirTree;
    m_pList = m_form->SpaceDirList;
    m_pAddress = m_form->vxSpaceAddress;
    m_pTreeModel = new CSpaceTreeModel(controller.Tree(), this);
    m_pListModel = new CSpaceListModel(controller.List(), this);
    m_pTree->SetSpaceModel(m_pTreeModel);
    m_pList->SetSpaceModel(m_pListModel);
    m_pDrag = new CSpaceDrag(this, m_pTree, m_pList, controller, texts);

    m_form->SpaceCreatedirbtn->setText(Text(1022, "新建文件夹"));
    m_form->SpaceRenamebtn->setText(Text(1020, "重命名"));
    m_form->SpaceRefreshbtn->setText(Text(2001, "刷新"));
    m_form->AddFileBtn->setText(Text(2061, "添加文件"));
    m_form->QuitSpaceSearchbtn->hide();
    m_form->SpaceSearchbtn->setIcon(QIcon(QStringLiteral(":/icons/search.png")));
    m_form->SpaceBusy->hide();
    m_form->SpaceSplitter->setStretchFactor(1, 1);
    m_form->SpaceSplitter->setSizes({m_nTreeWidth, 660});
    connect(m_form->SpaceSplitter, &QSplitter::splitterMoved, this, [this] {
        if (!m_bSizing)
            m_nTreeWidth = m_form->SpaceSplitter->sizes().value(0, m_nTreeWidth);
    });
    for (QPushButton* b : {m_form->SpaceSearchbtn, m_form->QuitSpaceSearchbtn, m_form->backtoPrebtn})
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Wire();

    m_controller.SetView(this);
    SpaceChanged(kChangeTree | kChangeList | kChangeAddress | kChangeButtons | kChangeInfo | kChangeSearch);
}

CUserSpaceView::~CUserSpaceView()
{
    m_controller.SetView(nullptr);
}

void CUserSpaceView::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    // On a narrow page the folder content keeps the larger share: the tree gives way down to
    // its minimum before the list, the buttons and the address bar are squeezed.
    // Wide again, it gets back the width it had (or the user gave it).
    const int treeMax =
        std::max(m_form->SpaceDirView->minimumWidth(), m_form->SpaceSplitter->width() * 2 / 5);
    const QList<int> sizes = m_form->SpaceSplitter->sizes();
    const int want = std::min(m_nTreeWidth, treeMax);
    if (sizes.size() == 2 && sizes[0] != want && sizes[0] + sizes[1] > want) {
        m_bSizing = true;
        m_form->SpaceSplitter->setSizes({want, sizes[0] + sizes[1] - want});
        m_bSizing = false;
    }
}

QString CUserSpaceView::Text(int number, const char* fallback) const
{
    const std::string t = m_pTexts ? m_pTexts->GetText(number) : std::string();
    return t.empty() ? QString::fromUtf8(fallback) : QString::fromStdString(t);
}

SpaceItemRef CUserSpaceView::ListRef(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_controller.List().Count())
        return {SpaceSource::List, true, 0};
    const SpaceEntry& e = m_controller.List().Rows()[row].entry;
    return {SpaceSource::ListItem, e.nType == SPACE_FOLDER, e.i64Id};
}

// ---------------------------------------------------------------- the controls' signals

void CUserSpaceView::Wire()
{
    CSpaceController& c = m_controller;
    // The page's buttons.
    connect(m_form->SpaceCreatedirbtn, &QPushButton::clicked, this, [&c] { c.NewFolder(); });
    connect(m_form->SpaceRenamebtn, &QPushButton::clicked, this, [&c] { c.RenameSelected(); });
    connect(m_form->SpaceRefreshbtn, &QPushButton::clicked, this, [&c] { c.Refresh(); });
    connect(m_form->backtoPrebtn, &QPushButton::clicked, this, [&c] { c.BackPreDirList(); });
    connect(m_form->AddFileBtn, &QPushButton::clicked, this, &CUserSpaceView::AddFilesRequested);
    connect(m_form->SpaceSearchbtn, &QPushButton::clicked, this, &CUserSpaceView::StartSearch);
    connect(m_form->QuitSpaceSearchbtn, &QPushButton::clicked, this, [this] {
        m_form->SpaceSearchtext->clear();
        m_controller.EndSearch();
    });
    // The headers' check state is the direction: clear ascending, set descending.
    const std::pair<QToolButton*, int> headers[] = {{m_form->SpaceFileNametbn, CSpaceList::kColumnName},
                                                    {m_form->SpaceUpTimebtn, CSpaceList::kColumnTime},
                                                    {m_form->SpaceFilezidebtn, CSpaceList::kColumnSize}};
    for (const auto& [header, column] : headers)
        connect(header, &QToolButton::clicked, this,
                [&c, column = column](bool checked) { c.SortList(column, checked); });

    // The search box: Enter searches, emptying it ends the search.
    connect(m_form->SpaceSearchtext, &QLineEdit::returnPressed, this, &CUserSpaceView::StartSearch);
    connect(m_form->SpaceSearchtext, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty() && m_controller.List().IsSearch())
            m_controller.EndSearch();
    });

    // The folder tree.
    connect(m_pTree, &CVXDirTreeUI::ItemSelected, this, [&c](qint64 id) { c.OnTreeItemSelect(id); });
    connect(m_pTree, &CVXDirTreeUI::ReClicked, this, [&c](qint64 id) { c.OnTreeReClick(id); });
    connect(m_pTree, &CVXDirTreeUI::LoadRequested, this, [&c](qint64 id) { c.ExpandTreeItem(id, true); });
    connect(m_pTree, &CVXDirTreeUI::ItemExpanded, this,
            [&c](qint64 id, bool expanded) { c.ExpandTreeItem(id, expanded); });
    connect(m_pTree, &CVXDirTreeUI::MenuRequested, this, [this](qint64 id) {
        OpenMenu(m_pTree, {SpaceSource::TreeItem, true, id}, true);
    });
    connect(m_pTree, &CVXDirTreeUI::RenameRequested, this, [&c](qint64 id) {
        c.RequestRename({SpaceSource::TreeItem, true, id});
    });
    connect(m_pTree, &CVXDirTreeUI::DeleteRequested, this, [&c](qint64 id) {
        c.RequestDelete({SpaceSource::TreeItem, true, id});
    });

    // The folder's content.
    connect(m_pList, &CVXDirListUI::SelectionEdited, this,
            [this] { m_controller.SetListSelection(m_pList->SelectedRows()); });
    connect(m_pList, &CVXDirListUI::ItemOpened, this,
            [this](int row) { m_controller.OpenListItem(ListRef(row)); });
    // The Delete key acts on the list's selection.
    connect(m_pList, &CVXDirListUI::DeletePressed, this, [&c] {
        c.RequestDelete({SpaceSource::List, true, 0});
    });
    connect(m_pList, &CVXDirListUI::RenamePressed, this, [&c] { c.RenameSelected(); });
    connect(m_pList, &CVXDirListUI::MenuRequested, this,
            [this](int row) { OpenMenu(m_pList, ListRef(row), row >= 0); });

    connect(m_pAddress, &CVXDirAddressUI::FolderClicked, this, [&c](qint64 id) { c.OnAddressItemClick(id); });
    connect(
        m_pDrag, &CSpaceDrag::MoveRequested, this,
        [&c](const SpaceItemRef& dragged, const SpaceDropTarget& target) { c.MoveItems(dragged, target); });

    // Ctrl+F anywhere on the page goes to the search box.
    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, &CUserSpaceView::FocusSearch);
}

void CUserSpaceView::FocusSearch()
{
    // What is there is selected, so typing replaces it.
    m_form->SpaceSearchtext->setFocus(Qt::ShortcutFocusReason);
    m_form->SpaceSearchtext->selectAll();
}

void CUserSpaceView::OnMenuEntry(CVXMenuWnd::Entry entry, const SpaceItemRef& item, bool onItem)
{
    // A menu acts on the item it was opened on; opened on the list's background, on the list.
    const bool fromTree = item.source == SpaceSource::TreeItem;
    switch (entry) {
    case CVXMenuWnd::Delete:
        m_controller.RequestDelete(fromTree || onItem ? item : SpaceItemRef{SpaceSource::List, true, 0});
        break;
    case CVXMenuWnd::NewFolder:
        m_controller.NewFolder();
        break;
    case CVXMenuWnd::Rename:
        m_controller.RequestRename(item);
        break;
    case CVXMenuWnd::Refresh:
        if (fromTree)
            m_controller.RefreshTree(item.i64Id);
        else
            m_controller.Refresh();
        break;
    default:
        break;
    }
}

void CUserSpaceView::StartSearch()
{
    const QString text = m_form->SpaceSearchtext->text().trimmed();
    if (text.isEmpty())
        return;
    m_form->QuitSpaceSearchbtn->show();
    m_form->SpaceSearchbtn->hide();
    m_controller.Search(text.toStdString());
}

void CUserSpaceView::OpenMenu(QAbstractItemView* owner, const SpaceItemRef& item, bool onItem)
{
    const SpaceEntry* shown = m_controller.Tree().SelectedEntry();
    const bool own = shown && shown->i64OwnId == m_controller.OwnUserId();
    uint32_t flags = CVXMenuWnd::Refresh;
    if (own && !m_controller.List().IsSearch())
        flags |= onItem ? (CVXMenuWnd::Rename | CVXMenuWnd::Delete | CVXMenuWnd::NewFolder)
                        : CVXMenuWnd::NewFolder;
    else if (own && onItem)
        flags |= CVXMenuWnd::Rename | CVXMenuWnd::Delete;
    auto* menu = new CVXMenuWnd(flags, owner, kMenuWidth, m_pTexts);
    menu->setObjectName(QStringLiteral("VXDirListItemMenu"));
    // Acted on after the menu's own event handling is over (a question box may follow).
    connect(
        menu, &CVXMenuWnd::EntryChosen, this,
        [this, item, onItem](CVXMenuWnd::Entry entry) { OnMenuEntry(entry, item, onItem); },
        Qt::QueuedConnection);
    m_pMenu = menu;
    menu->ShowAt(MenuPos(owner));
}

QPoint CUserSpaceView::MenuPos(QAbstractItemView* view)
{
    // At the pointer when it is over the view (a right click), else at the current row (the
    // context-menu key, Shift+F10).
    const QPoint cursor = QCursor::pos();
    if (view->viewport()->rect().contains(view->viewport()->mapFromGlobal(cursor)))
        return cursor;
    const QRect r = view->visualRect(view->currentIndex());
    return view->viewport()->mapToGlobal(r.isValid() ? r.center() : QPoint(0, 0));
}

void CUserSpaceView::StartEdit(const SpaceItemRef& item)
{
    QWidget* owner = nullptr;
    QRect rect;
    QString text;
    if (item.source == SpaceSource::TreeItem) {
        const SpaceTreeItem* t = m_controller.Tree().Find(item.i64Id);
        if (!t)
            return;
        m_pTree->scrollTo(m_pTreeModel->IndexOf(item.i64Id));
        const QRect r = m_pTree->RectOf(item.i64Id);
        owner = m_pTree;
        rect = QRect(m_pTree->viewport()->mapTo(window(), r.topLeft()), r.size()).adjusted(22, 1, -2, -1);
        text = QString::fromStdString(t->entry.strName);
    } else {
        const int row = m_controller.List().Find(item.bFolder, item.i64Id);
        if (row < 0)
            return;
        m_pList->scrollTo(m_pListModel->index(row));
        const QRect r = m_pList->NameRectOf(row);
        owner = m_pList;
        rect = QRect(m_pList->viewport()->mapTo(window(), r.topLeft()), r.size());
        text = QString::fromStdString(m_controller.List().Rows()[row].entry.strName);
    }
    // The edit reports to the item it was started for (its name goes nowhere else).
    CVXEditWnd* edit = CVXEditWnd::Start(owner, rect, text, nullptr, false);
    if (edit)
        connect(
            edit, &CVXEditWnd::Committed, this,
            [this, item](const QString& name) { m_controller.CommitRename(item, name.toStdString()); },
            Qt::QueuedConnection);
}

// ---------------------------------------------------------------- what the controller asks

void CUserSpaceView::ShowMessage(const std::string& text)
{
    m_strLastMessage = QString::fromStdString(text);
    // Shown later and without blocking: results keep arriving while the box is open.
    ShowMessageBoxModeless(this, QStringLiteral("提示"), m_strLastMessage, MB_VX_OK);
}

bool CUserSpaceView::Confirm(const std::string& text)
{
    return ShowMessageBox(this, QStringLiteral("提示"), QString::fromStdString(text),
                          MB_VX_OK | MB_VX_CANCEL | MB_VX_WARNING) == IDVX_OK;
}

void CUserSpaceView::SpaceChanged(unsigned changes)
{
    // Applied once per pass of the event loop, never inside the view's own event handling
    // (a click that selects a folder must not see its model reset under it).
    m_uPending |= changes;
    if (m_bApplyQueued)
        return;
    m_bApplyQueued = true;
    QMetaObject::invokeMethod(
        this, [this] { ApplyPending(); }, Qt::QueuedConnection);
}

void CUserSpaceView::BeginRename(const SpaceItemRef& item)
{
    // After the pending redraw, so the new row exists and has its place.
    SpaceChanged(0);
    // The item to edit travels with the call; a later rename started meanwhile cannot take its
    // place.
    QWidget* owner = item.source == SpaceSource::TreeItem ? static_cast<QWidget*>(m_pTree) : m_pList;
    QMetaObject::invokeMethod(
        owner,
        [this, item] {
            const bool tree = item.source == SpaceSource::TreeItem;
            StartEdit(
                {tree ? SpaceSource::TreeItem : SpaceSource::ListItem, tree || item.bFolder, item.i64Id});
        },
        Qt::QueuedConnection);
}

void CUserSpaceView::SetBusy(bool busy)
{
    m_form->SpaceBusy->setVisible(busy);
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void CUserSpaceView::ApplyPending()
{
    const unsigned changes = m_uPending;
    m_uPending = 0;
    m_bApplyQueued = false;
    if (changes & kChangeTree)
        m_pTree->SyncFrom(m_controller.Tree());
    if (changes & kChangeList) {
        m_pList->SyncFrom(m_controller.List());
        // The headers show the order the folder is in (checked: descending).
        const CSpaceList& list = m_controller.List();
        m_form->SpaceFileNametbn->setChecked(list.SortColumn() == CSpaceList::kColumnName &&
                                             list.SortDescending());
        m_form->SpaceUpTimebtn->setChecked(list.SortColumn() == CSpaceList::kColumnTime &&
                                           list.SortDescending());
        m_form->SpaceFilezidebtn->setChecked(list.SortColumn() == CSpaceList::kColumnSize &&
                                             list.SortDescending());
    } else if (changes & kChangeSelection)
        m_pList->SyncSelection(m_controller.List());
    if (changes & (kChangeAddress | kChangeTree)) {
        std::vector<std::pair<int64_t, QString>> path;
        for (const SpaceEntry& e : m_controller.Address().Folders())
            path.emplace_back(e.i64Id, QString::fromStdString(e.strName));
        m_pAddress->SetPath(path);
        const bool back = m_controller.Address().BackEnabled();
        m_form->backtoPrebtn->setEnabled(back);
        m_form->backtoPrebtn->setToolTip(back ? QString::fromUtf8(kBackTip) : QString());
    }
    m_form->spaceCourseInfo->setText(QString::fromStdString(m_controller.CourseInfoText()));
    const bool search = m_controller.List().IsSearch();
    const QString banner = QString::fromStdString(m_controller.SearchBanner());
    if (banner != m_strBanner) {
        m_strBanner = banner;
        emit SearchBannerChanged(banner);
    }
    m_form->QuitSpaceSearchbtn->setVisible(search);
    m_form->SpaceSearchbtn->setVisible(!search);
    ApplyButtons();
}

void CUserSpaceView::ApplyButtons()
{
    const SpaceButtons& b = m_controller.Buttons();
    auto apply = [](QWidget* w, const SpaceButtonState& s) {
        w->setVisible(s.bVisible);
        w->setEnabled(s.bEnabled);
    };
    apply(m_form->SpaceRenamebtn, b.rename);
    apply(m_form->SpaceCreatedirbtn, b.createDir);
    // The pads frame the create and rename buttons, so a hidden button takes its gap with it.
    apply(m_form->padCreatedirbtn, b.padCreate);
    apply(m_form->padrename, b.padRename);
    apply(m_form->AddFileBtn, b.addFile);
    apply(m_form->SpaceRefreshbtn, b.refresh);
}

QLineEdit* CUserSpaceView::SearchEdit() const
{
    return m_form->SpaceSearchtext;
}

QFrame* CUserSpaceView::SearchBorder() const
{
    return m_form->SpaceSearchBorder;
}

QPushButton* CUserSpaceView::SearchButton() const
{
    return m_form->SpaceSearchbtn;
}

void CUserSpaceView::ClearSearchText()
{
    QSignalBlocker block(m_form->SpaceSearchtext);
    m_form->SpaceSearchtext->clear();
}

} // namespace vx
