#include "platform/volume.h"

#include <windows.h>

#include <cstring>

void QueryVolumeLabel(const char *root, char label[35])
{
    std::memset(label, 0, 35);
    if (!GetVolumeInformationA(root, label, 35, 0, 0, 0, 0, 0))
        std::memset(label, 0, 35);  // a failed query may leave a partial text
    label[34] = '\0';
}
