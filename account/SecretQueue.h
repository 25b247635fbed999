#pragma once
// Calls to the desktop's Secret Service, one after the other on a thread of their own. The
// service may be started on demand, may be locked and put up an unlock prompt, or may ask the
// user to create a keyring first: any call can wait until someone answers, and the window must
// not wait with it. A caller hands over a job and gets its outcome back through its own loop.

#include "platform/SecretStore.h"

#include <functional>
#include <memory>
#include <thread>

namespace vx {

class CSecretQueue
{
public:
    // How long the destructor waits for a call in progress before leaving it behind (a prompt
    // nobody answers must not hold the end of the program).
    static constexpr int kStopWaitMs = 2000;

    explicit CSecretQueue(std::shared_ptr<ISecretStore> store);
    ~CSecretQueue();
    CSecretQueue(const CSecretQueue&) = delete;
    CSecretQueue& operator=(const CSecretQueue&) = delete;

    // Runs job(store) on the queue's thread after the jobs pushed before it.
    void Push(std::function<void(ISecretStore&)> job);

private:
    struct State;
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

} // namespace vx
