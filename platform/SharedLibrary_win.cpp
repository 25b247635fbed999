#include "platform/SharedLibrary.h"

#include "platform/Win32Text.h"

namespace vx {

bool CSharedLibrary::Open(const std::string& name)
{
    Close();
    // A full path loads that file and finds its own dependencies beside it.
    const bool path = name.find_first_of("/\\") != std::string::npos;
    m_handle = LoadLibraryExW(win::WidePath(name).c_str(), nullptr, path ? LOAD_WITH_ALTERED_SEARCH_PATH : 0);
    return m_handle != nullptr;
}

void CSharedLibrary::Close()
{
    if (m_handle) {
        FreeLibrary(static_cast<HMODULE>(m_handle));
        m_handle = nullptr;
    }
}

void* CSharedLibrary::Symbol(const char* name) const
{
    return m_handle ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m_handle), name)) : nullptr;
}

} // namespace vx
