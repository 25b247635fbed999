#pragma once
// The in-place rename edit, placed over a control (a tree item, a list row). Enter or losing
// the focus commits, Escape cancels. A committed name is emitted as Committed (the caller that
// started the edit knows which item it was for); nothing is emitted when the name is empty,
// unchanged or not acceptable.
//
// Acceptable names: no character of "/\:*?"<>|$~!@#%^&￥" and at most 110 code points
// (trimmed); a name that was already longer may be shortened but not lengthened. Both rules
// are applied to every keystroke and input-method commit, and again on commit, so text that
// arrived any other way (paste, drag, a program) cannot slip through. A refused character or
// commit shows the tooltip "文件不能包含任何一项：..." at the owner.
//
// Keep-extension mode (converted files): the edit shows the name without its converted-file
// extension (".flv", ".asc.flv", ".audioc.flv" ...) and puts it back on commit; typing the
// extension again is accepted and not doubled.

#include <QLineEdit>
#include <QPointer>
#include <QRect>
#include <QString>

class QLabel;

namespace vx {

class CVXEditWnd : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr int kMaxChars = 110;
    static const QString& ForbiddenChars();

    // Starts editing over owner. rect in the owner's window coordinates (empty: the owner's
    // rectangle shrunk by 10 pixels left and right, vertically centred); text null: the
    // owner's text property. The edit deletes itself when editing ends.
    static CVXEditWnd* Start(QWidget* owner, const QRect& rect, const QString& text, const QFont* font,
                             bool keepExtension);

    QString InitialText() const { return m_strInitial; }
    QString ShownText() const { return m_strShown; }
    QString Extension() const { return m_strExt; }
    int MaxChars() const { return m_nMaxChars; }
    // The tooltip text while it is shown, else empty.
    QString TipText() const;

    // The name that committing text would report, or empty for none (unchanged, empty, too long,
    // or a forbidden character).
    QString ResultFor(const QString& text, bool* refused = nullptr) const;

signals:
    // The committed name. Emitted while the edit is closing: a receiver that starts more work
    // connects with Qt::QueuedConnection.
    void Committed(const QString& name);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    CVXEditWnd(QWidget* owner, QWidget* host);
    // Inserts typed text character by character under both rules.
    void InsertChecked(const QString& text);
    void ShowTip();
    void HideTip();
    // Reports (or not) and closes. Returns false when the text is refused and editing goes on.
    bool Commit(bool keepEditingOnRefusal);
    void Finish();

    QPointer<QWidget> m_pOwner;
    QString m_strInitial;
    QString m_strShown;
    QString m_strExt;
    bool m_bKeepExt = false;
    int m_nMaxChars = kMaxChars;
    bool m_bDone = false;
    QLabel* m_pTip = nullptr;
};

} // namespace vx
