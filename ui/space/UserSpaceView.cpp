#include "ui/space/UserSpaceView.h"

#include "app/LanguageTable.h"
#include "app/LogFile.h"
#include "ui/FormContract.h"
#include "ui/VXEditWnd.h"
#include "ui/VXMenuWnd.h"
#include "ui/VxMessageWnd.h"
#include "ui/space/SpaceDrag.h"
#include "ui/space/SpaceListModel.h"
#include "ui/space/SpaceTreeModel.h"
#include "ui/space/VXAddressItemUI.h"
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
#include <QSplitter>
#include <QToolButton>
#include <algorithm>

namespace vx {

namespace {

// Menu entries (CVXMenuWnd flags).
constexpr uint32_t kMenuRename = 0x001;
constexpr uint32_t kMenuDelete = 0x002;
constexpr uint32_t kMenuNewFolder = 0x004;
constexpr uint32_t kMenuRefresh = 0x008;
constexpr int kMenuWidth = 100;

const char* const kBackTip = "返回上一级";

} // namespace

CUserSpaceView::CUserSpaceView(CSpaceController& controller, const CLanguageTable* texts, QWidget* parent)
    : QWidget(parent), m_controller(controller), m_pTexts(texts),
      m_form(std::make_unique<Ui::UserSpaceView>())
{
    m_form->setupUi(this);
    m_missing = MissingControls(this, RequiredControls());
    if (!m_missing.isEmpty())
        Log(g_log, "Error : %s", qPrintable(FormContractError(QStringLiteral("UserSpaceView"), m_missing)));

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
    m_form->SpaceSearchbtn->setIcon(QIcon(QStringLiteral(":/icons/search.svg")));
    m_form->SpaceBusy->hide();
    m_form->SpaceSplitter->setStretchFactor(1, 1);
    m_form->SpaceSplitter->setSizes({m_nTreeWidth, 660});
    connect(m_form->SpaceSplitter, &QSplitter::splitterMoved, this, [this] {
        if (!m_bSizing)
            m_nTreeWidth = m_form->SpaceSplitter->sizes().value(0, m_nTreeWidth);
    });
    for (QPushButton* b : {m_form->SpaceSearchbtn, m_form->QuitSpaceSearchbtn, m_form->backtoPrebtn})
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ConnectButtonClicks(this);
    connect(m_form->SpaceSearchtext, &QLineEdit::returnPressed, this,
            [this] { SendNotify(m_form->SpaceSearchtext, QStringLiteral("return")); });
    connect(m_form->SpaceSearchtext, &QLineEdit::textChanged, this,
            [this] { SendNotify(m_form->SpaceSearchtext, QStringLiteral("textchanged")); });

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

QStringList CUserSpaceView::RequiredControls()
{
    return {QStringLiteral("UserSpaceView"),      QStringLiteral("SpaceDirView"),
            QStringLiteral("SpaceDirTree"),       QStringLiteral("SpaceDirList"),
            QStringLiteral("vxSpaceAddress"),     QStringLiteral("backtoPrebtn"),
            QStringLiteral("SpaceCreatedirbtn"),  QStringLiteral("padCreatedirbtn"),
            QStringLiteral("SpaceRenamebtn"),     QStringLiteral("padrename"),
            QStringLiteral("SpaceRefreshbtn"),    QStringLiteral("AddFileBtn"),
            QStringLiteral("spaceCourseInfo"),    QStringLiteral("SpaceFileNametbn"),
            QStringLiteral("SpaceUpTimebtn"),     QStringLiteral("SpaceFilezidebtn"),
            QStringLiteral("SpaceSearchtext"),    QStringLiteral("SpaceSearchbtn"),
            QStringLiteral("QuitSpaceSearchbtn"), QStringLiteral("SpaceSearchBorder")};
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

// ---------------------------------------------------------------- notifications, in one place

void CUserSpaceView::Notify(TNotifyUI& msg)
{
    QWidget* sender = msg.pSender;
    const QString& type = msg.sType;
    const bool fromTree = sender == m_pTree;
    const bool fromList = sender == m_pList;

    if (type == QLatin1String("click")) {
        OnClick(msg.senderName, sender);
    } else if (type == QLatin1String("itemselect") && fromTree) {
        m_controller.OnTreeItemSelect(msg.wParam);
    } else if (type == QLatin1String("reClick") && fromTree) {
        m_controller.OnTreeReClick(msg.wParam);
    } else if (type == QLatin1String("itemexpand") && fromTree) {
        m_controller.ExpandTreeItem(msg.wParam, msg.lParam != 0);
    } else if (type == QLatin1String("refresh")) {
        if (fromTree && msg.lParam == 1) // the expander of a folder never read
            m_controller.ExpandTreeItem(msg.wParam, true);
        else if (fromTree) // the menu of a tree item
            m_controller.RefreshTree(m_menuRef.i64Id);
        else
            m_controller.Refresh();
    } else if (type == QLatin1String("itemdbclick") && fromList) {
        m_controller.OpenListItem(ListRef(static_cast<int>(msg.wParam)));
    } else if (type == QLatin1String("selectchanged") && fromList) {
        m_controller.SetListSelection(m_pList->SelectedRows());
    } else if (type == QLatin1String("move")) {
        const SpaceItemRef dragged{fromTree ? SpaceSource::TreeItem : SpaceSource::ListItem, true,
                                   msg.wParam};
        const SpaceDropTarget target{msg.strData == QLatin1String("tree") ? SpaceSource::TreeItem
                                                                          : SpaceSource::ListItem,
                                     msg.lParam, true};
        m_controller.MoveItems(dragged, target);
    } else if (type == QLatin1String("delete")) {
        // The Delete key acts on the list's selection; a menu on the item it was opened on.
        const bool menu = !(fromList && msg.lParam == CVXDirListUI::kDeleteKey);
        const SpaceItemRef item =
            menu && (fromTree || m_bMenuOnItem) ? m_menuRef : SpaceItemRef{SpaceSource::List, true, 0};
        m_controller.RequestDelete(item);
    } else if (type == QLatin1String("newfolder")) {
        m_controller.NewFolder();
    } else if (type == QLatin1String("rename")) {
        m_controller.RequestRename(m_menuRef);
    } else if (type == QLatin1String("menu")) {
        if (fromTree)
            OpenMenu(m_pTree, {SpaceSource::TreeItem, true, msg.wParam}, true);
        else if (fromList)
            OpenMenu(m_pList, ListRef(static_cast<int>(msg.wParam)), msg.wParam >= 0);
    } else if (type == QLatin1String("firstpaint")) {
        // The item to edit travels with the notification (lParam: a folder); a later rename
        // started meanwhile cannot take its place.
        StartEdit({fromTree ? SpaceSource::TreeItem : SpaceSource::ListItem, fromTree || msg.lParam != 0,
                   msg.wParam});
    } else if (type == QLatin1String("addressItemclick")) {
        m_controller.OnAddressItemClick(msg.wParam);
    } else if (type == QLatin1String("addressSizechanged")) {
        m_pAddress->LayoutItems();
    } else if (type == QLatin1String("return") && sender == m_form->SpaceSearchtext) {
        StartSearch();
    } else if (type == QLatin1String("textchanged") && sender == m_form->SpaceSearchtext) {
        // Emptying the search edit ends the search.
        if (m_form->SpaceSearchtext->text().isEmpty() && m_controller.List().IsSearch())
            m_controller.EndSearch();
    }
}

void CUserSpaceView::OnClick(const QString& name, QWidget* sender)
{
    if (name == QLatin1String("SpaceCreatedirbtn") || name == QLatin1String("padCreatedirbtn")) {
        m_controller.NewFolder();
    } else if (name == QLatin1String("SpaceRenamebtn") || name == QLatin1String("padrename")) {
        m_controller.RenameSelected();
    } else if (name == QLatin1String("SpaceRefreshbtn")) {
        m_controller.Refresh();
    } else if (name == QLatin1String("backtoPrebtn")) {
        m_controller.BackPreDirList();
    } else if (name == QLatin1String("AddFileBtn")) {
        emit AddFilesRequested();
    } else if (name == QLatin1String("SpaceSearchbtn")) {
        StartSearch();
    } else if (name == QLatin1String("QuitSpaceSearchbtn")) {
        m_form->SpaceSearchtext->clear();
        m_controller.EndSearch();
    } else if (name == QLatin1String("SpaceFileNametbn") || name == QLatin1String("SpaceUpTimebtn") ||
               name == QLatin1String("SpaceFilezidebtn")) {
        // The header's check state is the direction: clear ascending, set descending.
        const int column = name == QLatin1String("SpaceFileNametbn") ? CSpaceList::kColumnName
                           : name == QLatin1String("SpaceUpTimebtn") ? CSpaceList::kColumnTime
                                                                     : CSpaceList::kColumnSize;
        auto* header = qobject_cast<QToolButton*>(sender);
        m_controller.SortList(column, header && header->isChecked());
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

void CUserSpaceView::OpenMenu(QWidget* owner, const SpaceItemRef& item, bool onItem)
{
    m_menuRef = item;
    m_bMenuOnItem = onItem;
    const SpaceEntry* shown = m_controller.Tree().SelectedEntry();
    const bool own = shown && shown->i64OwnId == m_controller.OwnUserId();
    uint32_t flags = kMenuRefresh;
    if (own && !m_controller.List().IsSearch())
        flags |= onItem ? (kMenuRename | kMenuDelete | kMenuNewFolder) : kMenuNewFolder;
    else if (own && onItem)
        flags |= kMenuRename | kMenuDelete;
    auto* menu = new CVXMenuWnd(flags, owner, kMenuWidth, m_pTexts);
    menu->setObjectName(QStringLiteral("VXDirListItemMenu"));
    menu->ShowAt(QCursor::pos());
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
    PostNotify(item.source == SpaceSource::TreeItem ? static_cast<QWidget*>(m_pTree) : m_pList,
               QStringLiteral("firstpaint"), item.i64Id, item.bFolder ? 1 : 0);
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
