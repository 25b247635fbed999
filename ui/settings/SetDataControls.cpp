#include "ui/settings/SetDataControls.h"

#include "account/SetDataRules.h"
#include "ui/VXCheckBox.h"
#include "ui/VXComboEx.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QWidget>

namespace vx {

namespace {

// Drops key presses whose text holds a forbidden character (the edit never sees them).
class CSuffixKeyFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent*>(e)->text();
            if (!text.isEmpty() && HasForbiddenSuffixChar(text.toStdString()))
                return true;
        }
        return QObject::eventFilter(watched, e);
    }
};

const char* const kSizeOptions[] = {"unVideoSize1", "unVideoSize2", "unVideoSize3", "unVideoSize4"};

} // namespace

void CSetDataControls::FillConverNum(int n)
{
    auto* combo = Find<QComboBox>("converNum");
    if (!combo || combo->count() == n)
        return;
    combo->clear();
    for (int i = 1; i <= n; ++i)
        combo->addItem(QString::number(i));
}

void CSetDataControls::ShowGeneral(const SetDataForm& f)
{
    if (auto* c = Find<CVXCheckBox>("autopoweroff"))
        c->SetCheck(f.autopoweroff);
    auto* exitApp = Find<CVXCheckBox>("exitApp");
    auto* showmin = Find<CVXCheckBox>("showmin");
    if (exitApp && f.exitApp)
        exitApp->SetCheck(true);
    else if (showmin && f.showmin)
        showmin->SetCheck(true);
    if (!f.exitApp && !f.showmin) {
        // Neither bit stored: neither option is selected.
        if (exitApp)
            exitApp->SetCheck(false);
        if (showmin)
            showmin->SetCheck(false);
    }
}

void CSetDataControls::ShowConversion(const SetDataForm& f, bool withFolder)
{
    if (withFolder) {
        if (auto* e = Find<QLineEdit>("savepath"))
            e->setText(QString::fromStdString(f.savepath));
        if (auto* c = Find<CVXCheckBox>("autodelete"))
            c->SetCheck(f.autodelete);
    }
    FillConverNum(f.converNumItems);
    auto select = [this](const char* name, int index) {
        if (auto* c = Find<QComboBox>(name))
            c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    };
    select("converNum", f.converNum);
    select("prioroption", f.prioroption);
    select("videosize", f.videosize);
    if (auto* c = Find<CVXCheckBox>("uknowsize"))
        c->SetCheck(f.uknowsize);
    if (auto* e = Find<QLineEdit>("uknowW"))
        e->setText(QString::fromStdString(f.uknowW));
    if (auto* e = Find<QLineEdit>("uknowH"))
        e->setText(QString::fromStdString(f.uknowH));
    ShowSizeState(f);
}

void CSetDataControls::ShowSizeState(const SetDataForm& f)
{
    for (int i = 0; i < 4; ++i) {
        if (auto* o = Find<CVXCheckBox>(kSizeOptions[i])) {
            o->setEnabled(f.sizeControlsEnabled);
            if (f.unknownChoice == i)
                o->SetCheck(true);
            else if (o->IsSelected())
                o->SetCheck(false);
        }
    }
    for (const char* name : {"uknowWname", "uknowHname"})
        if (auto* l = Find<QWidget>(name))
            l->setEnabled(f.sizeControlsEnabled);
    for (const char* name : {"uknowW", "uknowH"}) {
        if (auto* e = Find<QLineEdit>(name)) {
            e->setEnabled(f.sizeControlsEnabled);
            e->setReadOnly(f.sizeEditsReadOnly);
        }
    }
    if (auto* e = Find<QLineEdit>("uknowW"))
        e->setText(QString::fromStdString(f.uknowW));
    if (auto* e = Find<QLineEdit>("uknowH"))
        e->setText(QString::fromStdString(f.uknowH));
}

void CSetDataControls::ShowUpload(const SetDataForm& f)
{
    if (auto* c = Find<QComboBox>("uploadcomb"))
        c->setCurrentIndex(f.uploadcomb >= 0 && f.uploadcomb < c->count() ? f.uploadcomb : -1);
    if (auto* e = Find<QLineEdit>("Cumstomstamp"))
        e->setText(QString::fromStdString(f.Cumstomstamp));
    if (auto* o = Find<CVXCheckBox>(f.timestamp ? "timestamp" : "custom"))
        o->SetCheck(true);
    ShowStampState(f);
}

void CSetDataControls::ShowStampState(const SetDataForm& f)
{
    if (auto* e = Find<QLineEdit>("Cumstomstamp")) {
        e->setEnabled(f.stampEditable);
        e->setReadOnly(!f.stampEditable);
    }
}

void CSetDataControls::ApplyFocus(SetDataForm& f)
{
    if (f.focus.empty())
        return;
    if (auto* w = Find<QWidget>(f.focus.c_str()))
        w->setFocus(Qt::OtherFocusReason);
    f.focus.clear();
}

void CSetDataControls::ReadGeneral(SetDataForm& f) const
{
    auto on = [this](const char* name) {
        auto* c = Find<CVXCheckBox>(name);
        return c && c->IsSelected();
    };
    f.autopoweroff = on("autopoweroff");
    f.exitApp = on("exitApp");
    f.showmin = on("showmin");
}

void CSetDataControls::ReadConversion(SetDataForm& f, bool withFolder) const
{
    auto on = [this](const char* name) {
        auto* c = Find<CVXCheckBox>(name);
        return c && c->IsSelected();
    };
    auto index = [this](const char* name, int def) {
        auto* c = Find<QComboBox>(name);
        return c ? c->currentIndex() : def;
    };
    if (withFolder) {
        if (auto* e = Find<QLineEdit>("savepath"))
            f.savepath = e->text().trimmed().toStdString();
        f.autodelete = on("autodelete");
    }
    f.converNum = index("converNum", f.converNum);
    f.prioroption = index("prioroption", f.prioroption);
    f.videosize = index("videosize", f.videosize);
    f.uknowsize = on("uknowsize");
    f.unknownChoice = -1;
    for (int i = 0; i < 4; ++i)
        if (on(kSizeOptions[i]))
            f.unknownChoice = i;
    if (auto* e = Find<QLineEdit>("uknowW"))
        f.uknowW = e->text().toStdString();
    if (auto* e = Find<QLineEdit>("uknowH"))
        f.uknowH = e->text().toStdString();
}

void CSetDataControls::ReadUpload(SetDataForm& f) const
{
    if (auto* c = Find<QComboBox>("uploadcomb"))
        f.uploadcomb = c->currentIndex();
    auto* ts = Find<CVXCheckBox>("timestamp");
    f.timestamp = ts && ts->IsSelected();
    if (auto* e = Find<QLineEdit>("Cumstomstamp"))
        f.Cumstomstamp = e->text().toStdString();
}

void CSetDataControls::GuardSuffixTyping(QWidget* window)
{
    if (auto* e = Find<QLineEdit>("Cumstomstamp"))
        e->installEventFilter(new CSuffixKeyFilter(window));
}

void CSetDataControls::ConnectShared(QObject* context, const std::function<void(Shared, int, bool)>& onSelect)
{
    auto wire = [&](const char* name, Shared which, int index) {
        if (auto* box = Find<CVXCheckBox>(name))
            QObject::connect(box, &CVXCheckBox::selectChanged, context,
                             [onSelect, which, index](bool on) { onSelect(which, index, on); });
    };
    wire("uknowsize", Shared::UnknownSize, -1);
    for (int i = 0; i < 4; ++i)
        wire(kSizeOptions[i], Shared::Size, i);
    wire("timestamp", Shared::Timestamp, -1);
    wire("custom", Shared::Custom, -1);
}

bool CSetDataControls::OnSharedSelect(Shared which, int sizeIndex, bool on, SetDataForm& form,
                                      bool withFolder, int* unknownChoice)
{
    switch (which) {
    case Shared::UnknownSize:
        ReadConversion(form, withFolder);
        ToggleUnknownSize(form, on, *unknownChoice);
        ShowSizeState(form);
        return true;
    case Shared::Size:
        if (!on)
            return false;
        ReadConversion(form, withFolder);
        *unknownChoice = sizeIndex;
        ChooseUnknownSize(form, *unknownChoice);
        ShowSizeState(form);
        return true;
    case Shared::Timestamp:
    case Shared::Custom:
        if (!on)
            return false;
        ChooseStampOption(form, which == Shared::Custom);
        ShowStampState(form);
        return true;
    }
    return false;
}

bool CSetDataControls::FilterKeys(QEvent* e, const std::function<void()>& onEscape)
{
    if (e->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        return true;
    if (key != Qt::Key_Escape)
        return false;
    onEscape();
    return true;
}

} // namespace vx
