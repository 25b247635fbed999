#include "platform/PowerRequest.h"

#include <systemd/sd-bus.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace vx {

CPowerInhibitor::CPowerInhibitor(std::string who) : m_strWho(std::move(who)) {}

CPowerInhibitor::~CPowerInhibitor()
{
    Release();
}

bool CPowerInhibitor::Acquire(const std::string& why)
{
    if (m_fd >= 0)
        return true;
    sd_bus* bus = nullptr;
    int r = sd_bus_open_system(&bus);
    if (r < 0) {
        m_strError = std::string("no system bus: ") + strerror(-r);
        return false;
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    r = sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "Inhibit", &error, &reply, "ssss", "sleep:idle",
                           m_strWho.c_str(), why.c_str(), "block");
    if (r < 0) {
        m_strError =
            std::string("logind refused the inhibitor: ") + (error.message ? error.message : strerror(-r));
    } else {
        int fd = -1;
        r = sd_bus_message_read(reply, "h", &fd);
        // The descriptor belongs to the message: keep our own copy.
        int own = r >= 0 && fd >= 0 ? fcntl(fd, F_DUPFD_CLOEXEC, 3) : -1;
        if (own < 0)
            m_strError = "logind answered without a lock";
        else {
            m_fd = own;
            m_strError.clear();
        }
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return m_fd >= 0;
}

void CPowerInhibitor::Release()
{
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

} // namespace vx
