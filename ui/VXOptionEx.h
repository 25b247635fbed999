#pragma once
// A check box whose text is centred on one line (tab selectors). It accepts the count badge
// attributes ("chunktextcolor", "chunkfont", "chunkimage", "bcount") and keeps them; nothing
// gives an option a count, so no badge is drawn.

#include "ui/VXCheckBox.h"

namespace vx {

class CVXOptionEx : public CVXCheckBox
{
    Q_OBJECT

public:
    explicit CVXOptionEx(QWidget* parent = nullptr);

    QString GetClass() const override { return QStringLiteral("VXOptionEx"); }
    void* GetInterface(const QString& name) override;
    void SetAttribute(const QString& name, const QString& value) override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    uint32_t m_dwChunkTextColor = 0;
    int m_nChunkFont = 0;
    QString m_strChunkImage;
    bool m_bCount = false;
};

} // namespace vx
