#pragma once
// A library loaded at run time by name (dlopen; LoadLibraryW on Windows) and its symbols.

#include <string>

namespace vx {

class CSharedLibrary
{
public:
    CSharedLibrary() = default;
    ~CSharedLibrary() { Close(); }
    CSharedLibrary(const CSharedLibrary&) = delete;
    CSharedLibrary& operator=(const CSharedLibrary&) = delete;

    // Loads name (a file name looked up the system's way, or a path); false when it cannot be.
    bool Open(const std::string& name);
    void Close();
    bool IsOpen() const { return m_handle != nullptr; }
    // The address of an exported symbol, or null.
    void* Symbol(const char* name) const;
    // Keeps the library loaded for the life of the process (this object forgets it).
    void Keep() { m_handle = nullptr; }

private:
    void* m_handle = nullptr;
};

} // namespace vx
