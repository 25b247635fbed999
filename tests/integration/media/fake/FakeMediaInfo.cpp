// A stand-in for the MediaInfo library with the same flat interface, for the one answer the real
// library never gives for a local file: a video stream but no file size in the General stream.
// Loaded by the program through VEXORA_MEDIAINFO_LIB.

#include <cstddef>
#include <cwchar>

namespace {
int g_handle;
}

extern "C" {

void* MediaInfo_New()
{
    return &g_handle;
}

void MediaInfo_Delete(void*) {}

size_t MediaInfo_Open(void*, const wchar_t*)
{
    return 1;
}

void MediaInfo_Close(void*) {}

size_t MediaInfo_Count_Get(void*, int streamKind, size_t)
{
    return streamKind == 1 ? 1 : 0; // one video stream, no sound
}

const wchar_t* MediaInfo_Get(void*, int streamKind, size_t, const wchar_t* parameter, int, int)
{
    if (streamKind == 1 && wcscmp(parameter, L"Width") == 0)
        return L"320";
    return L""; // "FileSize" included
}

const wchar_t* MediaInfo_Option(void*, const wchar_t*, const wchar_t*)
{
    return L"";
}
}
