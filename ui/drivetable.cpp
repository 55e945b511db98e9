#include "ui/drivetable.h"

#include "app/shared.h"
#include "platform/dialog.h"

bool ReadDriveSelections(PlatformHandle dialog)
{
    DriveTable &table = g_shared.drives;
    table.selectedCount = 0;
    for (uint32_t i = 0; i < table.count; ++i) {
        DriveEntry &entry = table.entries[i];
        // An indeterminate box is not a tick: only a ticked one selects a drive.
        if (DialogButtonState(dialog, entry.checkboxId) == BUTTON_TICKED) {
            entry.selected = 1;
            ++table.selectedCount;
        } else {
            entry.selected = 0;
        }
    }
    return table.selectedCount != 0;
}
