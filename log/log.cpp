#include "log/log.h"

#include <cstdarg>
#include <cstring>
#include <sys/stat.h>

#include "app/report.h"
#include "app/resources/resource.h"
#include "platform/curdir.h"
#include "platform/shell.h"

namespace {

// A writer's buffer, filled piece after piece. Nothing is ever written past
// its end: a piece that does not fit is cut, which the writers' sizes rule
// out for every input the program hands them.
struct LogText {
    char *buffer;
    size_t size;    // terminator included
    size_t length;
};

LogText StartText(char *buffer, size_t size)
{
    buffer[0] = '\0';
    LogText text = {buffer, size, 0};
    return text;
}

__attribute__((format(printf, 2, 3)))
void Compose(LogText &text, const char *format, ...)
{
    size_t room = text.size - text.length;
    va_list args;
    va_start(args, format);
    int wanted = std::vsnprintf(text.buffer + text.length, room, format, args);
    va_end(args);
    if (wanted < 0) {
        text.buffer[text.length] = '\0';
        return;
    }
    size_t added = static_cast<size_t>(wanted);
    text.length += added < room ? added : room - 1;
}

// A fixed piece, cut like any other to what fits.
void Append(LogText &text, const char *piece)
{
    size_t room = text.size - text.length;
    size_t length = std::strlen(piece);
    if (length > room - 1)
        length = room - 1;
    std::memcpy(text.buffer + text.length, piece, length);
    text.length += length;
    text.buffer[text.length] = '\0';
}

// Text from a scanned drive: a label or a file name on a removable drive is
// anybody's to choose, so it must not be able to add markup to a document
// that the browser opens. At most `limit` characters of `raw` are taken,
// and only whole entities go in.
void ComposeEscaped(LogText &text, const char *raw, size_t limit)
{
    for (const char *p = raw; *p && static_cast<size_t>(p - raw) < limit; ++p) {
        char single[2] = {*p, '\0'};
        const char *piece = single;
        switch (*p) {
        case '&': piece = "&amp;"; break;
        case '<': piece = "&lt;"; break;
        case '>': piece = "&gt;"; break;
        case '"': piece = "&quot;"; break;
        default: break;
        }
        size_t length = std::strlen(piece);
        if (text.length + length >= text.size)
            break;
        std::memcpy(text.buffer + text.length, piece, length + 1);
        text.length += length;
    }
}

// The one write of a writer's buffer. The stream is binary so that every
// platform gives the same bytes: each line feed goes out as CR LF here.
// A failure stays in the stream's error state for CloseLog.
void WriteText(FILE *log, const LogText &text)
{
    const char *start = text.buffer;
    const char *end = text.buffer + text.length;
    while (start < end) {
        const char *feed = static_cast<const char *>(std::memchr(start, '\n', static_cast<size_t>(end - start)));
        const char *runEnd = feed ? feed : end;
        if (runEnd > start)
            std::fwrite(start, 1, static_cast<size_t>(runEnd - start), log);
        if (!feed)
            break;
        std::fwrite("\r\n", 1, 2, log);
        start = feed + 1;
    }
}

// The pieces of markup, each written once here. Those with a placeholder
// are formats.
const char kFullHead[] = "<HTML>\n<HEAD>\n<TITLE>Ulvaron(R) Brindlemark Log</TITLE>\n</HEAD>\n";
const char kShortHead[] = "<HTML>\n";
const char kBody[] =
    "<BODY TEXT=\"#0000EE\" BGCOLOR=\"#FFFFF5\" LINK=\"#A00000\" VLINK=\"#A05500\" ALINK=\"#A00000\">\n\n";
const char kHeading[] =
    "<CENTER>\n<H1>\n<B><FONT COLOR=\"#A00000\" SIZE=\"4\" FACE=\"Arial\">Ulvaron(R) Brindlemark Log</FONT></B></H1>\n"
    "</CENTER>\n";
const char kDriveFont[] = "<LEFT><FONT COLOR=\"#A00000\" SIZE=\"2\" FACE=\"Courier\">";
const char kDriveLine[] = "Scan Drive %s </FONT></LEFT>\n";
const char kStatusFont[] = "<CENTER>\n<FONT COLOR=\"#A00000\" SIZE=\"2\" FACE=\"Arial\">%s\n";
const char kNoUpdatesNeeded[] = ": No Updates Needed\n";
const char kStatusClose[] = "</FONT></CENTER>\n\n";
const char kDocumentClose[] = "</BODY>\n</HTML>\n";

// The pieces whose sizes decide the buffers below.
const char kDateFont[] = "<CENTER><B><FONT COLOR=\"#A00000\" SIZE=\"2\" FACE=\"Arial\">";
const char kDateLine[] = "Current Date and Time is: %s &nbsp;</CENTER>\n";
const char kDateClose[] = "</FONT></B></CENTER>\n";
const char kSpacer[] = "<CENTER> &nbsp; </CENTER>\n";
const char kSiteLine[] = "<CENTER>Support Site: <A HREF=\"%s\">%s</A></CENTER>\n\n";
const char kListFont[] = "<LEFT><B><FONT COLOR=\"#A00000\" SIZE=\"2\" FACE=\"Arial\">";
const char kListHeading[] = "Files Needing Update:</FONT></B>\n</H1></LEFT>\n\n";

const char kFileFont[] = "<LEFT><FONT COLOR=\"#C00000\" SIZE=\"2\" FACE=\"Arial\">";
const char kFileNumber[] = "%d. ";
const char kLineSpacer[] = "<CENTER>&nbsp;</CENTER>\n";
const char kNoteLine[] = "%s ";
const char kNote[] =
    "The tool could not validate the version/size of the file to determine if it needs to be updated.  "
    "Please contact the support site.";

// Fixed text of the date block: the pieces without their placeholders, with
// the 24-character date and its line feed.
constexpr size_t DATE_BLOCK_FIXED = (sizeof kDateFont - 1) + (sizeof kDateLine - 1 - 2) + (LOG_DATE_TEXT_SIZE - 1) +
                                    (sizeof kDateClose - 1) + 2 * (sizeof kSpacer - 1) + (sizeof kSiteLine - 1 - 4) +
                                    (sizeof kListFont - 1) + (sizeof kListHeading - 1);
static_assert(DATE_BLOCK_FIXED == 344, "the date block's fixed text");
// The whole support-site line twice, as the catalogue can hold it.
constexpr size_t DATE_BLOCK_SIZE = DATE_BLOCK_FIXED + 2 * SUPPORT_SITE_LINE_MAX + 1;

// Fixed text of a file line with the note, the widest number ("-2147483648")
// and a line text whose every character is escaped to six.
constexpr size_t FILE_LINE_SIZE = (sizeof kFileFont - 1) + (sizeof kFileNumber - 1 - 2) + 11 +
                                  6 * (FILE_LINE_TEXT_SIZE - 1) + 1 + 2 * (sizeof kLineSpacer - 1) +
                                  (sizeof kNoteLine - 1 - 2) + (sizeof kNote - 1) + 1;

// The other writers' buffers, each with room to spare for its longest text:
// the full header (290 characters), a drive line (a two-character label:
// 105) and the status block (a status text of up to 259 characters: 351).
constexpr size_t HEADER_SIZE = 1000;
constexpr size_t DRIVE_LINE_SIZE = 500;
constexpr size_t FOOTER_SIZE = 500;
static_assert(HEADER_SIZE > (sizeof kSpacer - 1) + (sizeof kFullHead - 1) + (sizeof kBody - 1) + (sizeof kHeading - 1),
              "the full header fits its buffer");
static_assert(DRIVE_LINE_SIZE > (sizeof kDriveFont - 1) + (sizeof kDriveLine - 1) + (sizeof kLineSpacer - 1),
              "a drive line with a short label fits its buffer");
static_assert(FOOTER_SIZE > (sizeof kStatusFont - 1 - 2) + (LOG_TEXT_SIZE - 1) + (sizeof kNoUpdatesNeeded - 1) +
                                (sizeof kStatusClose - 1),
              "the longest status block fits its buffer");

// A date that local time cannot give in its 24 characters.
const char kUnknownDate[] = "??? ??? ?? ??:??:?? ????\n";

const char *const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

bool BuildLogPath(char path[PATH_SIZE])
{
    uint32_t length = GetCurrentDir(path, PATH_SIZE);
    if (length == 0 || length >= PATH_SIZE)
        return false;

    char name[LOG_TEXT_SIZE];
    int nameLength = LoadText(IDS_LOG_FILE_NAME, name, sizeof name);
    if (nameLength <= 0)
        return false;

    // The backslash goes in whatever the directory ends with: in a root
    // directory the path has two in a row.
    if (length + 1 + static_cast<size_t>(nameLength) >= PATH_SIZE)
        return false;
    path[length] = '\\';
    std::memcpy(path + length + 1, name, static_cast<size_t>(nameLength) + 1);
    return true;
}

FILE *OpenLogForScan(const char *path)
{
    return std::fopen(path, "ab+");
}

uint32_t GetLogSize(FILE *log)
{
    struct stat status;
    if (fstat(fileno(log), &status) != 0) {
        ReportMessage(IDS_LOG_SIZE_FAILED, ICON_WARNING);
        return 0;
    }
    return static_cast<uint32_t>(status.st_size);
}

void WriteLogHeader(FILE *log, uint32_t size)
{
    char buffer[HEADER_SIZE];
    LogText text = StartText(buffer, sizeof buffer);
    if (size == 0) {
        Append(text, kFullHead);
        Append(text, kBody);
        Append(text, kHeading);
    } else {
        // A later document in the same file: no HEAD, no title, no big
        // heading, only a spacer before its body.
        Append(text, kSpacer);
        Append(text, kShortHead);
        Append(text, kBody);
    }
    WriteText(log, text);
}

void FormatLogDate(time_t when, char text[LOG_DATE_TEXT_SIZE])
{
    const struct tm *local = std::localtime(&when);
    if (!local) {
        std::snprintf(text, LOG_DATE_TEXT_SIZE, "%s", kUnknownDate);
        return;
    }
    int weekday = local->tm_wday, month = local->tm_mon, day = local->tm_mday;
    int hour = local->tm_hour, minute = local->tm_min, second = local->tm_sec;
    int year = local->tm_year + 1900;
    // Only a four-digit year keeps the text at its 24 characters.
    if (weekday < 0 || weekday > 6 || month < 0 || month > 11 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60 || year < 0 || year > 9999) {
        std::snprintf(text, LOG_DATE_TEXT_SIZE, "%s", kUnknownDate);
        return;
    }
    std::snprintf(text, LOG_DATE_TEXT_SIZE, "%s %s %02d %02d:%02d:%02d %04d\n", kWeekdays[weekday], kMonths[month],
                  day, hour, minute, second, year);
}

void WriteLogDateBlock(FILE *log, const char *supportSiteLine)
{
    char date[LOG_DATE_TEXT_SIZE];
    FormatLogDate(std::time(0), date);

    char buffer[DATE_BLOCK_SIZE];
    LogText text = StartText(buffer, sizeof buffer);
    Append(text, kDateFont);
    // The date's own line feed stands before " &nbsp;".
    Compose(text, kDateLine, date);
    Append(text, kDateClose);
    Append(text, kSpacer);
    // The line end of the support-site line stays in, inside the HREF too.
    Compose(text, kSiteLine, supportSiteLine, supportSiteLine);
    Append(text, kSpacer);
    Append(text, kListFont);
    Append(text, kListHeading);
    WriteText(log, text);
}

void WriteDriveLine(FILE *log, const char *driveLabel)
{
    char buffer[DRIVE_LINE_SIZE];
    LogText text = StartText(buffer, sizeof buffer);
    Append(text, kDriveFont);
    Compose(text, kDriveLine, driveLabel);
    Append(text, kLineSpacer);
    WriteText(log, text);
}

void WriteFileLine(FILE *log, int32_t number, const char *lineText, bool held)
{
    char buffer[FILE_LINE_SIZE];
    LogText text = StartText(buffer, sizeof buffer);
    Append(text, kFileFont);
    // "%d. %s " with the text escaped on its way in.
    Compose(text, kFileNumber, static_cast<int>(number));
    ComposeEscaped(text, lineText, FILE_LINE_TEXT_SIZE - 1);
    Append(text, " ");
    // The line leaves FONT and LEFT open, and one that needs an update has
    // no line feed before its spacer: every document in the file has this
    // shape.
    if (!held) {
        Append(text, kLineSpacer);
        Compose(text, kNoteLine, kNote);
    }
    Append(text, kLineSpacer);
    WriteText(log, text);
}

void WriteLogFooter(FILE *log, const char *statusText, bool noUpdatesNeeded)
{
    char buffer[FOOTER_SIZE];
    LogText text = StartText(buffer, sizeof buffer);
    if (std::strcmp(statusText, "") != 0) {
        Compose(text, kStatusFont, statusText);
        if (noUpdatesNeeded)
            Append(text, kNoUpdatesNeeded);
    }
    Append(text, kStatusClose);
    WriteText(log, text);

    text = StartText(buffer, sizeof buffer);
    Append(text, kDocumentClose);
    WriteText(log, text);
}

bool CloseLog(FILE *log)
{
    if (!log)
        return false;
    // The flush is checked on its own: a C library may report a close whose
    // last flush failed as a success. ferror before fclose, which forgets
    // the stream.
    bool flushed = std::fflush(log) == 0;
    bool written = std::ferror(log) == 0;
    bool closed = std::fclose(log) == 0;
    return flushed && written && closed;
}

void ClearLog()
{
    char path[PATH_SIZE];
    if (!BuildLogPath(path)) {
        ReportMessage(IDS_LOG_NAME_FAILED, ICON_ERROR);
        return;
    }
    FILE *log = std::fopen(path, "wb");
    if (!log) {
        ReportMessage(IDS_LOG_OPEN_FAILED, ICON_ERROR);
        return;
    }
    WriteLogHeader(log, 0);
    WriteLogFooter(log, "", false);
    // An empty document that did not reach the disk whole is not a cleared
    // log; the user hears of it.
    if (!CloseLog(log))
        ReportMessage(IDS_LOG_OPEN_FAILED, ICON_ERROR);
}

void OpenLog(PlatformHandle ownerWindow)
{
    char path[PATH_SIZE];
    if (!BuildLogPath(path)) {
        ReportMessage(IDS_LOG_NAME_FAILED, ICON_ERROR);
        return;
    }
    if (!ShellOpenDocument(ownerWindow, path))
        ReportMessage(IDS_LOG_OPEN_FAILED, ICON_ERROR);
}
