// The drive list behind the main dialog's checkboxes, built once when the
// dialog is initialised.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/report.h"
#include "app/resources/resource.h"
#include "app/shared.h"
#include "platform/volume.h"
#include "ui/maindialog.h"

namespace {

const size_t MAX_DRIVES = 26;
const size_t LETTER_LIST_SIZE = MAX_DRIVES + 1;  // one letter per drive and the terminator

void AppendLetter(char *letters, char letter)
{
    size_t length = std::strlen(letters);
    if (length < MAX_DRIVES) {
        letters[length] = letter;
        letters[length + 1] = '\0';
    }
}

// One entry per letter, starting at slot `first`; returns the next free slot.
uint32_t FillEntries(uint32_t first, const char *letters, int32_t selected)
{
    DriveTable &table = g_shared.drives;
    uint32_t i = first;
    for (const char *letter = letters; *letter != '\0' && i < table.count; ++letter, ++i) {
        DriveEntry &entry = table.entries[i];
        entry.checkboxId = IDC_FIRST_DRIVE_CHECK + static_cast<int32_t>(i);
        entry.labelId = IDC_FIRST_DRIVE_LABEL + static_cast<int32_t>(i);
        entry.selected = selected;
        entry.label[0] = *letter;
        entry.label[1] = ':';
        entry.label[2] = '\0';
    }
    return i;
}

// Fills the two letter lists (both empty on entry) with the fixed drives and
// with the removable, network and CD-ROM drives, in letter order. True when
// at least one fixed drive was found; the other list is filled in either
// case.
bool ListDrives(char fixedLetters[LETTER_LIST_SIZE], char otherLetters[LETTER_LIST_SIZE])
{
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        char root[DRIVE_ROOT_SIZE];
        std::snprintf(root, sizeof root, "%c:\\", letter);
        switch (GetDriveTypeA(root)) {
        case DRIVE_FIXED:
            AppendLetter(fixedLetters, letter);
            break;
        case DRIVE_REMOVABLE:
        case DRIVE_REMOTE:
        case DRIVE_CDROM:
            AppendLetter(otherLetters, letter);
            break;
        default:
            // Unknown types, RAM disks and letters without a drive are not offered.
            break;
        }
    }
    return fixedLetters[0] != '\0';
}

// Fills the allocated table, fixed drives ticked and the others not, and
// shows, ticks and labels one checkbox per entry.
void FillDriveTable(HWND dialog, const char *fixedLetters, const char *otherLetters)
{
    uint32_t next = FillEntries(0, fixedLetters, 1);
    FillEntries(next, otherLetters, 0);

    const DriveTable &table = g_shared.drives;
    for (uint32_t i = 0; i < table.count; ++i) {
        const DriveEntry &entry = table.entries[i];
        ShowWindow(GetDlgItem(dialog, entry.checkboxId), SW_SHOW);
        CheckDlgButton(dialog, entry.checkboxId, entry.selected ? BST_CHECKED : BST_UNCHECKED);
        SetDlgItemTextA(dialog, entry.labelId, entry.label);
    }
}

}  // namespace

void BuildDriveTable(HWND dialog)
{
    char fixedLetters[LETTER_LIST_SIZE] = "";
    char otherLetters[LETTER_LIST_SIZE] = "";
    // Removable and network drives alone are not enough to offer a scan.
    if (!ListDrives(fixedLetters, otherLetters)) {
        ReportMessage(IDS_NO_HARD_DISKS, ICON_ERROR);
        return;
    }

    size_t count = std::strlen(fixedLetters) + std::strlen(otherLetters);
    void *block = VirtualAlloc(0, count * sizeof(DriveEntry), MEM_RESERVE | MEM_COMMIT,
                               PAGE_READWRITE);
    if (block == 0) {
        ReportMessage(IDS_ALLOC_FAILED, ICON_ERROR);
        return;
    }
    // Kept until the process ends; fresh pages are zero-filled.
    g_shared.drives.entries = static_cast<DriveEntry *>(block);
    g_shared.drives.count = static_cast<uint32_t>(count);
    FillDriveTable(dialog, fixedLetters, otherLetters);
}
