#pragma once
// Parsing of skin attribute values shared by the custom controls. A form sets an attribute as
// a dynamic property (name and text value); the control's event() hands it to SetAttribute.

#include <QEvent>
#include <QMargins>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

namespace vx {

// Text style bits (the DT_ values the alignment rules work on).
enum : uint32_t
{
    kDtLeft = 0x00,
    kDtCenter = 0x01,
    kDtRight = 0x02,
    kDtVCenter = 0x04,
    kDtBottom = 0x08,
    kDtSingleLine = 0x20
};

// "#AARRGGBB" or "AARRGGBB" (also shorter forms, as hexadecimal). False leaves *argb alone.
bool ParseSkinColor(const QString& text, uint32_t* argb);
// Applies an alignment value to a text style: substrings "left", "center", "right", "top",
// "vcenter", "bottom" are searched in that order.
uint32_t ApplyAlignment(uint32_t style, const QString& value);
// "l,t,r,b" → margins; missing numbers are 0.
QMargins ParseFour(const QString& text);
// An image attribute: "file='name' ..." or a plain name. Names without a path are taken from
// the icon resources (":/icons/name").
QString SkinImagePath(const QString& value);
// Qt alignment for a text style.
Qt::Alignment ToQtAlignment(uint32_t style);
// "true" (any case) → true.
bool ParseSkinBool(const QString& value);

// For event(): a dynamic property change becomes setAttribute(name, value). True when handled.
bool ForwardDynamicProperty(QObject* o, QEvent* e,
                            const std::function<void(const QString&, const QString&)>& set);

} // namespace vx
