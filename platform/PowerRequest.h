#pragma once
// Keeping the computer awake while course files are being worked on. IPowerRequest is what the
// pipeline holds; CPowerInhibitor is the real one, a logind "sleep:idle" inhibitor lock taken
// over the system bus (D-Bus, sd-bus). The lock lives as long as the file descriptor logind
// hands out, so releasing is closing it, and a crashed process never leaves the machine
// blocked. Where there is no system bus or no logind (containers, some desktops) Acquire fails
// with a readable cause and the caller simply carries on.

#include <string>

namespace vx {

class IPowerRequest
{
public:
    virtual ~IPowerRequest() = default;
    // Takes the request when it is not held; true when it is held afterwards.
    virtual bool Acquire(const std::string& why) = 0;
    // Gives the request back; nothing when it is not held.
    virtual void Release() = 0;
    virtual bool IsHeld() const = 0;
    // Why the last Acquire failed ("" after a success).
    virtual const std::string& LastError() const = 0;
};

class CPowerInhibitor : public IPowerRequest
{
public:
    // who: the program name logind shows in its list of inhibitors.
    explicit CPowerInhibitor(std::string who = "Vexora");
    ~CPowerInhibitor() override;
    CPowerInhibitor(const CPowerInhibitor&) = delete;
    CPowerInhibitor& operator=(const CPowerInhibitor&) = delete;

    bool Acquire(const std::string& why) override;
    void Release() override;
    bool IsHeld() const override { return m_fd >= 0; }
    const std::string& LastError() const override { return m_strError; }

private:
    std::string m_strWho;
    std::string m_strError;
    int m_fd = -1;
};

} // namespace vx
