#include "platform/SharedLibrary.h"

#include <dlfcn.h>

namespace vx {

bool CSharedLibrary::Open(const std::string& name)
{
    Close();
    m_handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    return m_handle != nullptr;
}

void CSharedLibrary::Close()
{
    if (m_handle) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
}

void* CSharedLibrary::Symbol(const char* name) const
{
    return m_handle ? dlsym(m_handle, name) : nullptr;
}

} // namespace vx
