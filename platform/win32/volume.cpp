#include "platform/volume.h"

#include <windows.h>

#include <cstring>

void QueryVolumeLabel(const char *root, char label[VOLUME_LABEL_SIZE])
{
    std::memset(label, 0, VOLUME_LABEL_SIZE);
    if (!GetVolumeInformationA(root, label, VOLUME_LABEL_SIZE, 0, 0, 0, 0, 0))
        std::memset(label, 0, VOLUME_LABEL_SIZE);  // a failed query may leave a partial text
    label[VOLUME_LABEL_SIZE - 1] = '\0';
}
