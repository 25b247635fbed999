#pragma once
// A partner control tells a combo that it is hovered or focused (true) or no longer (false),
// so the pair draws one highlighted border (the login window pairs its account edit with the
// account combo).

namespace vx {

class CExpandControl
{
public:
    virtual ~CExpandControl() = default;
    virtual void SetExpand(bool expand) = 0;
};

} // namespace vx
