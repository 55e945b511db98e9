#include "platform/fileversion.h"

#include <windows.h>

#include <new>

bool ReadVersionHalves(const char *path, VersionHalves *halves)
{
    halves->fileMS = halves->fileLS = 0;
    halves->productMS = halves->productLS = 0;

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0)
        return false;

    char *block = new (std::nothrow) char[size];
    if (!block)
        return false;

    // A resource that cannot be read, or that holds no fixed information of
    // the expected size and signature, counts as no version at all.
    bool found = false;
    if (GetFileVersionInfoA(path, 0, size, block)) {
        void *value = 0;
        UINT valueSize = 0;
        if (VerQueryValueA(block, "\\", &value, &valueSize) && value &&
            valueSize >= sizeof(VS_FIXEDFILEINFO)) {
            const VS_FIXEDFILEINFO *info = static_cast<const VS_FIXEDFILEINFO *>(value);
            if (info->dwSignature == 0xFEEF04BD) {
                halves->fileMS = info->dwFileVersionMS;
                halves->fileLS = info->dwFileVersionLS;
                halves->productMS = info->dwProductVersionMS;
                halves->productLS = info->dwProductVersionLS;
                found = true;
            }
        }
    }
    delete[] block;
    return found;
}
