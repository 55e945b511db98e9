// Stands in for the program that opens .html documents, registered by the
// tests as the shell's HTML opener: appends the document it was asked to
// open to opened.txt beside itself, one per line.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    char folder[MAX_PATH];
    DWORD length = GetModuleFileNameA(0, folder, sizeof folder);
    if (length == 0 || length >= sizeof folder)
        return 1;
    char *slash = std::strrchr(folder, '\\');
    if (slash == 0)
        return 1;
    *slash = '\0';

    char record[MAX_PATH + 16];
    std::snprintf(record, sizeof record, "%s\\opened.txt", folder);
    // The shell passes the document quoted, as the command line asks.
    char document[1024];
    std::snprintf(document, sizeof document, "%s", commandLine);
    char *text = document;
    size_t textLength = std::strlen(text);
    if (textLength >= 2 && text[0] == '"' && text[textLength - 1] == '"') {
        text[textLength - 1] = '\0';
        ++text;
    }
    FILE *file = std::fopen(record, "a");
    if (file == 0)
        return 1;
    std::fprintf(file, "%s\n", text);
    return std::fclose(file) == 0 ? 0 : 1;
}
