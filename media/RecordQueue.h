#pragma once
// The queue between the main window and a media worker. It holds value copies of the window's
// records, never pointers into the window's lists, so the window may change or free its own
// records at any time. Once closed (the worker has ended) it accepts nothing more, so a record
// can never be stranded in the queue of a thread that no longer reads it.

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace vx {

template <typename T> class CRecordQueue
{
public:
    // Appends copies in order; false (nothing added) once the queue is closed.
    bool Add(const std::vector<T>& items)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_bClosed)
            return false;
        m_items.insert(m_items.end(), items.begin(), items.end());
        return true;
    }

    // Removes every entry whose strFileIndex is one of indexes; returns how many went.
    size_t Remove(const std::vector<std::string>& indexes)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        size_t before = m_items.size();
        std::erase_if(m_items, [&indexes](const T& item) {
            for (const std::string& idx : indexes)
                if (item.strFileIndex == idx)
                    return true;
            return false;
        });
        return before - m_items.size();
    }

    // Moves the first entry into *out; false when the queue is empty.
    bool TakeFirst(T* out)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_items.empty())
            return false;
        *out = std::move(m_items.front());
        m_items.pop_front();
        return true;
    }

    size_t Size() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_items.size();
    }

    // Empties the queue; returns how many entries were dropped.
    size_t Clear()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        size_t n = m_items.size();
        m_items.clear();
        return n;
    }

    // Closes the queue when it is empty, atomically against Add; onClose runs under the
    // lock (so a flag it sets is seen by any later Add's caller). True when closed.
    template <typename F> bool CloseIfEmpty(F onClose)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_items.empty())
            return false;
        m_bClosed = true;
        onClose();
        return true;
    }

    void Close()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bClosed = true;
    }

private:
    mutable std::mutex m_lock;
    std::deque<T> m_items;
    bool m_bClosed = false;
};

} // namespace vx
