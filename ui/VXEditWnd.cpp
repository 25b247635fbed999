#include "ui/VXEditWnd.h"

#include "app/Utils.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

namespace vx {

namespace {

int CodePoints(const QString& s)
{
    return static_cast<int>(s.toUcs4().size());
}

} // namespace

const QString& CVXEditWnd::ForbiddenChars()
{
    static const QString chars = QStringLiteral("/\\:*?\"<>|$~!@#%^&￥");
    return chars;
}

CVXEditWnd::CVXEditWnd(QWidget* owner, QWidget* host) : QLineEdit(host), m_pOwner(owner)
{
    setObjectName(QStringLiteral("VXEditWnd"));
    setAcceptDrops(false);
    setDragEnabled(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setMaxLength(260);
    setAccessibleName(QStringLiteral("重命名"));
}

CVXEditWnd* CVXEditWnd::Start(QWidget* owner, const QRect& rect, const QString& text, const QFont* font,
                              bool keepExtension)
{
    if (!owner)
        return nullptr;
    QWidget* host = owner->window();
    auto* edit = new CVXEditWnd(owner, host);
    edit->setFont(font ? *font : owner->font());
    QRect r = rect;
    if (r.isEmpty()) {
        const QRect o(owner->mapTo(host, QPoint(0, 0)), owner->size());
        const int h = QFontMetrics(edit->font()).height() + 6;
        r = QRect(o.left() + 10, o.top() + (o.height() - h) / 2, std::max(20, o.width() - 20), h);
    }
    edit->setGeometry(r);
    edit->m_strInitial = text.isNull() ? owner->property("text").toString() : text;
    edit->m_bKeepExt = keepExtension;
    edit->m_strShown = edit->m_strInitial;
    if (keepExtension) {
        edit->m_strExt = QString::fromStdString(GetFileExt(edit->m_strInitial.toStdString()));
        edit->m_strShown.chop(edit->m_strExt.size());
    }
    // An existing longer name may be shortened, never lengthened.
    edit->m_nMaxChars = std::max(kMaxChars, CodePoints(edit->m_strShown));
    edit->setText(edit->m_strShown);
    edit->setCursorPosition(static_cast<int>(edit->m_strShown.size()));
    edit->setTextMargins(2, 0, 2, 0);
    edit->setEnabled(owner->isEnabled());
    edit->show();
    edit->raise();
    edit->setFocus(Qt::OtherFocusReason);
    return edit;
}

QString CVXEditWnd::TipText() const
{
    return (m_pTip && m_pTip->isVisible()) ? m_pTip->text() : QString();
}

QString CVXEditWnd::ResultFor(const QString& text, bool* refused) const
{
    if (refused)
        *refused = false;
    QString t = text.trimmed();
    if (t.isEmpty() || t == m_strShown)
        return QString();
    for (QChar c : t) {
        if (ForbiddenChars().contains(c)) {
            if (refused)
                *refused = true;
            return QString();
        }
    }
    if (m_bKeepExt) {
        if (!m_strExt.isEmpty() && t.endsWith(m_strExt, Qt::CaseInsensitive))
            t.chop(m_strExt.size());
        t = t.trimmed();
        if (t.isEmpty() || t == m_strShown)
            return QString();
    }
    if (CodePoints(t) > m_nMaxChars) {
        if (refused)
            *refused = true;
        return QString();
    }
    return m_bKeepExt ? t + m_strExt : t;
}

void CVXEditWnd::InsertChecked(const QString& text)
{
    for (char32_t cp : text.toUcs4()) {
        const QString ch = QString::fromUcs4(&cp, 1);
        if (ForbiddenChars().contains(ch)) {
            ShowTip();
            continue;
        }
        HideTip();
        if (cp < 0x20 || cp == 0x7F)
            continue;
        const int kept = CodePoints(this->text()) - CodePoints(selectedText());
        if (kept >= m_nMaxChars)
            continue;
        insert(ch);
    }
}

void CVXEditWnd::keyPressEvent(QKeyEvent* e)
{
    const int key = e->key();
    const Qt::KeyboardModifiers mods =
        e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        Commit(true);
        return;
    }
    if (key == Qt::Key_Escape) {
        setText(QString());
        Finish();
        return;
    }
    if (mods == Qt::NoModifier && (key == Qt::Key_Delete || key == Qt::Key_Backspace || key == Qt::Key_Left ||
                                   key == Qt::Key_Right || key == Qt::Key_Home || key == Qt::Key_End)) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    // No cut, paste or other shortcuts: only typed characters reach the text, under the rules.
    if (mods == Qt::NoModifier && !e->text().isEmpty() && key != Qt::Key_Insert)
        InsertChecked(e->text());
    e->accept();
}

void CVXEditWnd::inputMethodEvent(QInputMethodEvent* e)
{
    if (!e->commitString().isEmpty()) {
        const QString commit = e->commitString();
        e->setCommitString(QString());
        QLineEdit::inputMethodEvent(e); // the pre-edit part
        InsertChecked(commit);
        return;
    }
    QLineEdit::inputMethodEvent(e);
}

void CVXEditWnd::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    if (e->reason() != Qt::PopupFocusReason)
        Commit(false);
}

void CVXEditWnd::contextMenuEvent(QContextMenuEvent* e)
{
    e->accept();
}

void CVXEditWnd::mousePressEvent(QMouseEvent* e)
{
    // No context menu and no middle-button paste.
    if (e->button() != Qt::LeftButton) {
        e->accept();
        return;
    }
    QLineEdit::mousePressEvent(e);
}

void CVXEditWnd::ShowTip()
{
    if (!m_pTip) {
        m_pTip = new QLabel(window(), Qt::ToolTip | Qt::FramelessWindowHint);
        m_pTip->setObjectName(QStringLiteral("VXEditTip"));
        m_pTip->setText(QStringLiteral("文件不能包含任何一项：") + ForbiddenChars());
        m_pTip->adjustSize();
    }
    QWidget* anchor = m_pOwner ? m_pOwner.data() : this;
    m_pTip->move(anchor->mapToGlobal(QPoint(0, anchor->height() + 2)));
    m_pTip->show();
}

void CVXEditWnd::HideTip()
{
    if (m_pTip)
        m_pTip->hide();
}

bool CVXEditWnd::Commit(bool keepEditingOnRefusal)
{
    if (m_bDone)
        return true;
    bool refused = false;
    const QString result = ResultFor(text(), &refused);
    if (refused && keepEditingOnRefusal) {
        ShowTip();
        return false;
    }
    if (!result.isEmpty() && m_pOwner)
        emit Committed(result);
    Finish();
    return true;
}

void CVXEditWnd::Finish()
{
    if (m_bDone)
        return;
    m_bDone = true;
    if (m_pTip) {
        m_pTip->hide();
        m_pTip->deleteLater();
        m_pTip = nullptr;
    }
    if (m_pOwner)
        m_pOwner->update();
    hide();
    deleteLater();
}

} // namespace vx
