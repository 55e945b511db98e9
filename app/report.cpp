#include "app/report.h"

#include "app/shared.h"
#include "platform/msgbox.h"
#include "platform/strings.h"

void ReportMessage(unsigned stringId, MessageIcon icon, const char *caption)
{
    char text[MESSAGE_TEXT_SIZE];
    // Every id the program passes exists; a failed load shows an empty box.
    LoadTableString(g_shared.instance, stringId, text, sizeof text);

    // The box has no owner, so the disabled main window is what keeps the
    // user out of the program while it is up.
    EnableWindowInput(g_shared.mainWindow, false);
    ShowMessageBox(text, caption, icon);
    EnableWindowInput(g_shared.mainWindow, true);
}

int LoadText(unsigned stringId, char *buffer, int size)
{
    return LoadTableString(g_shared.instance, stringId, buffer, size);
}
