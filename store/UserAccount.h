#pragma once
// An account offered by the login window (table users).

#include <cstdint>
#include <string>

namespace vx {

struct _sUserAccount
{
    std::string strUserName;
    // Lower-case MD5 of the password. It works as the password itself, so it is kept only while
    // bRememberPsw is set and never written to a log.
    std::string strPassword;
    bool bRememberPsw = false;
    bool bAutoLogin = false;
    int64_t i64UserId = 0;
    int64_t i64OrgId = 0;
    std::string strLastTime; // "%Y-%m-%d %H:%M:%S", local time of the last login

    bool operator==(const _sUserAccount&) const = default;
};

} // namespace vx
