#pragma once
// Why a path cannot be read as an input file. The commands that take files (digest, probe,
// convert, upload) must name the real cause: "no such file" for a folder or a link loop sends
// the user looking in the wrong place. Only regular files pass; a named pipe or a device could
// be read without end.

#include <cstdint>
#include <string>

namespace vx {

enum class FileProblem
{
    None,       // a regular file this process can open for reading
    Missing,    // nothing by that name (or a folder on the way is missing)
    Folder,     // a folder
    NotRegular, // a named pipe, a device or a socket
    LinkLoop,   // too many levels of symbolic links
    NoPermission,
    NameTooLong,
    Other // any other system error (the errno is given)
};

// Looks at the path (following links) and, for a regular file, opens it for reading once
// without blocking. *sysError receives the errno behind Other (and the others), when given.
FileProblem CheckInputFile(const std::string& path, int* sysError = nullptr);

// The cause in a few words: "no such file", "is a folder", "not a regular file (a named pipe)",
// "too many levels of symbolic links", "permission denied", ...; empty for None.
std::string DescribeInputFile(const std::string& path);
std::string DescribeFileProblem(FileProblem problem, int sysError, const std::string& path);

// " (a named pipe)", " (a device)", " (a socket)" for such a path; empty otherwise.
const char* KindOfPath(const std::string& path);
// What a name in a folder tree stands for, as a walk over the tree needs to know it: the kind of
// thing it names once links are followed, whether the name itself is a link, and the identity
// of what it names (device and inode; volume and file index on Windows), so that a walk can tell
// a folder it has been in already, reached again through a link, from a new one.
enum class EntryKind
{
    Missing, // nothing (a link to nothing counts here, with bLink set)
    File,    // a regular file
    Folder,
    Special, // a named pipe, a device or a socket
    Error    // cannot be looked at: a loop of links, no permission, ... (sysError says which)
};

struct EntryInfo
{
    EntryKind kind = EntryKind::Missing;
    bool bLink = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int sysError = 0; // the errno behind Missing and Error

    bool SameAs(const EntryInfo& o) const { return device == o.device && inode == o.inode; }
};

// Looks at the path without opening it (nothing blocks, not even on a named pipe).
EntryInfo LookAtEntry(const std::string& path);
// The FileProblem of an entry that is not a regular file, for DescribeFileProblem.
FileProblem ProblemOf(const EntryInfo& entry);
// The FileProblem behind an errno value (ENOENT: Missing, ELOOP: LinkLoop, ...).
FileProblem ProblemOfErrno(int sysError);

// The longest file name (in bytes) the file system holding folder accepts; 255 when unknown.
int MaxFileNameBytes(const std::string& folder);

} // namespace vx
