// The scan and the log on real folders: a tree of fixture libraries on
// drive M: (label "FIXTURE") scanned twice into a real Brindlog.html, in the
// order the scan worker uses, and compared with the expected document; the
// log in a drive's root directory (N:, empty) with Clear Log and Open Log,
// the shell's HTML opener replaced by brindle_record_open.exe, which notes
// what it was asked to open in opened.txt.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/report.h"
#include "app/resources/resource.h"
#include "app/shared.h"
#include "log/log.h"
#include "scan/catalogue.h"
#include "scan/drivescan.h"
#include "tests/support/log_dates.h"
#include "tests/wine/support/wine_support.h"

namespace {
const char kHome[] = "C:\\brindle";
const char kRecordFile[] = "C:\\brindle\\opened.txt";

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// The expected documents are kept with plain line feeds; the log has a
// carriage return before each.
std::string ExpectedDocument(const char *name)
{
    return WithCrLf(ReadFile(std::string(kHome) + "\\" + name));
}

// Each date of the date block replaced by @DATE@, after checking its form.
std::string WithoutDates(const std::string &document)
{
    std::vector<std::string> malformed;
    std::string masked = MaskLogDates(document, "@DATE@", &malformed);
    for (const std::string &date : malformed)
        ADD_FAILURE() << "date text \"" << date << "\"";
    return masked;
}

void MakeDir(const char *path)
{
    ASSERT_TRUE(CreateDirectoryA(path, 0)) << path;
}

void CopyFixture(const char *name, const char *to)
{
    std::string from = std::string(kHome) + "\\" + name;
    ASSERT_TRUE(CopyFileA(from.c_str(), to, FALSE)) << from << " -> " << to;
}

void WriteText(const char *path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    ASSERT_TRUE(out.good()) << path;
}

class RealFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_shared.instance = GetModuleHandleA(0);
        g_shared.mainWindow = 0;
        g_shared.StopRequested = 0;
        ASSERT_TRUE(SetCurrentDirectoryA(kHome));
    }
    void TearDown() override { SetCurrentDirectoryA(kHome); }
};

// One scan of drive M: as the worker runs it, into the log of the current
// directory.
void ScanDriveM(const Catalogue *catalogue)
{
    char path[PATH_SIZE];
    ASSERT_TRUE(BuildLogPath(path));
    ScanLog log = {OpenLogForScan(path), 0};
    ASSERT_TRUE(log.file) << path;
    WriteLogHeader(log.file, GetLogSize(log.file));
    WriteLogDateBlock(log.file, catalogue->supportSite);
    WriteDriveLine(log.file, "M:");
    const DriveOutcome outcome = ScanDrive("M:\\*", &log, catalogue);
    ASSERT_NE(outcome, DRIVE_EXCEPTION) << "the scan closed the log";
    const bool walked = outcome == DRIVE_WALKED;
    char status[LOG_TEXT_SIZE];
    ASSERT_GT(LoadText(walked ? IDS_STATUS_COMPLETED : IDS_STATUS_FAILED, status, sizeof status), 0);
    WriteLogFooter(log.file, status, log.listedCount == 0);
    EXPECT_TRUE(CloseLog(log.file));
    EXPECT_TRUE(walked);
}

TEST_F(RealFolderTest, ATreeOfFixtureLibrariesIsScannedIntoTheExpectedLog)
{
    // M:\fixture_nofixed.dll       held on its size
    // M:\lib\fixture_versioned.dll  held on its file version 1.2.3.4
    // M:\lib\old\FIXTURE_PLAIN.DLL  no version resource: not validated
    // M:\docs\notes.txt            not in the catalogue
    // One named file per folder keeps the order of the lines independent of
    // the order in which the file system lists a folder.
    MakeDir("M:\\lib");
    MakeDir("M:\\lib\\old");
    MakeDir("M:\\docs");
    CopyFixture("fixture_nofixed.dll", "M:\\fixture_nofixed.dll");
    CopyFixture("fixture_versioned.dll", "M:\\lib\\fixture_versioned.dll");
    CopyFixture("fixture_plain.dll", "M:\\lib\\old\\FIXTURE_PLAIN.DLL");
    WriteText("M:\\docs\\notes.txt", "not a library\r\n");
    WriteText("C:\\brindle\\DataFile.txt",
              "http://support.example.com/brindle/\r\n"
              "fixture_nofixed.dll;4;0;-;0;-;1;>;0;-;\r\n"
              "fixture_versioned.dll;2;281483566841860;>=;281483566841861;<;0;-;0;-;\r\n"
              "fixture_plain.dll;1;281474976710656;<;0;-;0;-;0;-;\r\n");
    ASSERT_EQ(DeleteFileA("C:\\brindle\\Brindlog.html") || GetLastError() == ERROR_FILE_NOT_FOUND, true);

    Catalogue catalogue;
    std::memset(&catalogue, 0, sizeof catalogue);
    ASSERT_TRUE(LoadCatalogue(&catalogue));
    ScanDriveM(&catalogue);
    ScanDriveM(&catalogue);  // appended: a short header, numbered from 1 again
    ReleaseCatalogue(&catalogue);

    std::string log = ReadFile("C:\\brindle\\Brindlog.html");
    EXPECT_EQ(WithoutDates(log), ExpectedDocument("scan-two-runs.html"));
}

TEST_F(RealFolderTest, InADrivesRootTheLogPathHasTwoBackslashesAndStillWorks)
{
    ASSERT_TRUE(SetCurrentDirectoryA("N:\\"));
    char path[260];
    ASSERT_TRUE(BuildLogPath(path));
    EXPECT_STREQ(path, "N:\\\\Brindlog.html");

    // Open Log before there is a log: the shell cannot open it.
    {
        BoxAnswerer answerer;
        OpenLog(0);
        ASSERT_TRUE(answerer.WaitForBoxes(1, 5000));
        EXPECT_EQ(answerer.Boxes()[0].text, "Failed to open the Log File.");
        EXPECT_EQ(answerer.Boxes()[0].icon, static_cast<unsigned>(MB_ICONERROR));
        EXPECT_EQ(answerer.Boxes()[0].caption, "Error");
    }

    // Clear Log makes the empty document in the drive's root.
    {
        BoxAnswerer answerer;
        ClearLog();
        PumpMessagesFor(200);
        EXPECT_EQ(answerer.Count(), 0u) << "Clear Log showed " << answerer.Boxes()[0].text;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("N:\\Brindlog.html", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no log in N:'s root";
    FindClose(search);
    EXPECT_EQ(ReadFile("N:\\Brindlog.html"), ExpectedDocument("cleared.html"));

    // Open Log now hands it to the shell's HTML opener, and shows nothing.
    DeleteFileA(kRecordFile);
    {
        BoxAnswerer answerer;
        OpenLog(0);
        DWORD start = GetTickCount();
        while (ReadFile(kRecordFile).empty() && GetTickCount() - start < 15000)
            PumpMessagesFor(50);
        EXPECT_EQ(answerer.Count(), 0u) << "Open Log showed " << answerer.Boxes()[0].text;
    }
    std::string opened = ReadFile(kRecordFile);
    ASSERT_FALSE(opened.empty()) << "the shell started no opener";
    opened = opened.substr(0, opened.find_first_of("\r\n"));  // the recorder's line end
    char openedFull[MAX_PATH], logFull[MAX_PATH];
    ASSERT_GT(GetFullPathNameA(opened.c_str(), MAX_PATH, openedFull, 0), 0u) << opened;
    ASSERT_GT(GetFullPathNameA("N:\\Brindlog.html", MAX_PATH, logFull, 0), 0u);
    EXPECT_STREQ(openedFull, logFull) << "opened " << opened;
}

// Makes the recorder beside this program the shell's opener of HTML
// documents.
bool RegisterRecorder()
{
    const char command[] = "\"C:\\brindle\\brindle_record_open.exe\" \"%1\"";
    return RegSetValueA(HKEY_CLASSES_ROOT, ".html", REG_SZ, "brindletest.html", 0) == ERROR_SUCCESS &&
           RegSetValueA(HKEY_CLASSES_ROOT, "brindletest.html\\shell\\open\\command", REG_SZ, command,
                        0) == ERROR_SUCCESS;
}
}  // namespace

int main(int argc, char **argv)
{
    if (!RegisterRecorder()) {
        std::fprintf(stderr, "could not register the HTML opener\n");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
