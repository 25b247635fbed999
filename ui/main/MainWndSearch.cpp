// The main window's search boxes, one per page: their focus look, starting and ending a search,
// and the no-result banner laid over the page's list. The space page searches through its
// controller and tells the window when its banner changes.

#include "space/SpaceController.h"
#include "ui/HintEditUI.h"
#include "ui/lists/ConverDoneListUI.h"
#include "ui/lists/LCListView.h"
#include "ui/main/MainWnd.h"
#include "ui/space/UserSpaceView.h"
#include "ui/space/VXDirListUI.h"
#include "ui_MainWnd.h"

#include <QFrame>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>

namespace vx {

int CMainWnd::SearchPageOf(const QString& name) const
{
    if (name.startsWith(QLatin1String("Proce")) || name.startsWith(QLatin1String("QuitProce")))
        return kSearchCourse;
    if (name.startsWith(QLatin1String("done")) || name.startsWith(QLatin1String("Quitdone")))
        return kSearchDone;
    return kSearchSpace;
}

CHintEditUI* CMainWnd::SearchEdit(int page) const
{
    return page == kSearchCourse ? m_form->ProceSearchEdit
           : page == kSearchDone ? m_form->doneSearchEdit
                                 : nullptr;
}

void CMainWnd::SetSearchFocusLook(QLineEdit* edit, bool focused)
{
    QFrame* border = nullptr;
    QPushButton* btn = nullptr;
    if (edit == m_form->ProceSearchEdit) {
        border = m_form->ProcesSearchBorder;
        btn = m_form->ProcesearchBtn;
    } else if (edit == m_form->doneSearchEdit) {
        border = m_form->doneSearchBorder;
        btn = m_form->doneSearchBtn;
    } else if (edit == m_pSpaceView->SearchEdit()) {
        border = m_pSpaceView->SearchBorder();
        btn = m_pSpaceView->SearchButton();
    } else {
        return;
    }
    border->setStyleSheet(
        QStringLiteral("#%1 { border: 1px solid %2; border-radius: 3px; background: white; }")
            .arg(border->objectName(), focused ? QStringLiteral("#328CDF") : QStringLiteral("#DDDDDD")));
    btn->setIcon(
        QIcon(focused ? QStringLiteral(":/icons/search_focus.svg") : QStringLiteral(":/icons/search.svg")));
}

void CMainWnd::SearchUi(bool start, int page, bool clear)
{
    if (page == kSearchSpace) {
        if (!start) {
            if (clear)
                m_pSpaceView->ClearSearchText();
            m_pSpace->EndSearch();
            m_form->SpacesearchKey->clear();
            if (m_nSearchPage == page) {
                m_form->searchErrTab->hide();
                m_nSearchPage = kSearchNone;
            }
        }
        return;
    }
    CHintEditUI* edit = SearchEdit(page);
    QPushButton* searchBtn = page == kSearchCourse ? m_form->ProcesearchBtn : m_form->doneSearchBtn;
    QPushButton* quitBtn = page == kSearchCourse ? m_form->QuitProcesearchBtn : m_form->QuitdoneSearchBtn;
    if (!edit)
        return;
    if (start) {
        if (edit->text().trimmed().isEmpty())
            return; // Enter in an empty box changes nothing
        quitBtn->show();
        searchBtn->hide();
        m_loop.PostMsg(m_target, WM_SEARCH, static_cast<uint64_t>(page));
        return;
    }
    if (page == kSearchCourse)
        m_pCourseProcessList->List()->SetSearching(false);
    else
        m_pConverDoneList->List()->SetSearching(false);
    if (clear) {
        QSignalBlocker block(edit);
        edit->clear();
    }
    quitBtn->hide();
    searchBtn->show();
    (page == kSearchCourse ? m_form->ProcesearchKey : m_form->DonesearchKey)->clear();
    m_form->searchErrTab->hide();
    if (m_nSearchPage == page)
        m_nSearchPage = kSearchNone;
}

void CMainWnd::OnSearchMessage(int page)
{
    m_nSearchPage = page;
    m_form->searchErrTab->hide();
    if (page == kSearchSpace)
        return; // the space page searches with its own box
    CHintEditUI* edit = SearchEdit(page);
    if (!edit)
        return;
    const QString key = edit->text().trimmed();
    if (key.isEmpty()) {
        SearchUi(false, page, true);
        return;
    }
    bool found;
    if (page == kSearchCourse) {
        m_pCourseProcessList->List()->SetSearching(true);
        found = m_pCourseProcessList->Search(key);
    } else {
        m_pConverDoneList->List()->SetSearching(true);
        found = m_pConverDoneList->Search(key);
    }
    ShowSearchBanner(key, found);
}

void CMainWnd::OnSpaceSearchBanner(const QString& key)
{
    if (key.isEmpty()) {
        m_form->SpacesearchKey->clear();
        if (m_nSearchPage == kSearchSpace) {
            m_form->searchErrTab->hide();
            m_nSearchPage = kSearchNone;
        }
        return;
    }
    m_nSearchPage = kSearchSpace;
    ShowSearchBanner(key, false);
}

QRect CMainWnd::SearchBannerRect() const
{
    // Over the list of the page, below its header, up to the window's border.
    QAbstractScrollArea* list = m_pSpaceView->List();
    if (m_nSearchPage == kSearchCourse)
        list = m_pCourseProcessList;
    else if (m_nSearchPage == kSearchDone)
        list = m_pConverDoneList;
    const QWidget* view = list->viewport();
    const QPoint topLeft = view->mapTo(this, QPoint(0, 0));
    const QRect inner = rect().adjusted(kResizeBorder, kResizeBorder, -kResizeBorder, -kResizeBorder);
    return QRect(topLeft, QPoint(inner.right(), inner.bottom()));
}

void CMainWnd::ShowSearchBanner(const QString& key, bool found)
{
    QStackedWidget* banner = m_form->searchErrTab;
    const int page = m_nSearchPage == kSearchDone ? 1 : m_nSearchPage == kSearchSpace ? 2 : 0;
    QLabel* label = page == 0   ? m_form->ProcesearchKey
                    : page == 1 ? m_form->DonesearchKey
                                : m_form->SpacesearchKey;
    if (found) {
        label->clear();
        banner->hide();
        return;
    }
    banner->setGeometry(SearchBannerRect());
    label->setText(QStringLiteral("“%1”").arg(key));
    const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
    label->setMaximumWidth(banner->width() < textWidth + 270 ? std::max(10, banner->width() - 60)
                                                             : textWidth + 8);
    banner->setCurrentIndex(page);
    banner->show();
    banner->raise();
}

bool CMainWnd::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == m_form->SetComBox && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down) {
            m_form->SetComBox->showMenu();
            return true;
        }
    }
    if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
        if (e->type() == QEvent::FocusIn)
            SetSearchFocusLook(edit, true);
        else if (e->type() == QEvent::FocusOut)
            SetSearchFocusLook(edit, false);
    }
    return QWidget::eventFilter(watched, e);
}

} // namespace vx
