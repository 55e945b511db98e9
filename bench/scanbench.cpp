// The scan benchmark, run under Wine by bench/run.sh over the tree that
// bench/maketree.py wrote on a mapped drive.
//
//   scanbench.exe DRIVE REPEATS NAMES COPIES VERSIONED
//
// DRIVE is the tree's drive ("T:"); NAMES is how many catalogued names the
// tree holds (lib000.dll and on), COPIES how often each appears and
// VERSIONED how many of the names (the first ones) are libraries with a
// version resource. It times,
// alternating and REPEATS times over:
//   (a) ScanDrive through the real platform with a 10,000-entry catalogue,
//   (b) the same with a 1-entry catalogue,
//   (c) a bare walk that lists every directory twice and does nothing else,
// checks that every scan listed the files it should, and ends with the line
//   scan_vs_bare_walk=<a/c> big_vs_small_catalogue=<a/b>
// of the medians.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/shared.h"
#include "log/log.h"
#include "scan/catalogue.h"
#include "scan/drivescan.h"

namespace {

const unsigned kBigCatalogueEntries = 10000;
const char kLogName[] = "scanbench-log.html";
// Version 2.0.0.0: the tree's versioned copies are 1.2.3.4, below it.
const unsigned long long kVersionLimit = 2ull << 48;

double Seconds()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Fail(const char *what)
{
    std::fprintf(stderr, "scanbench: %s\n", what);
    std::exit(1);
}

// Writes "DataFile.txt" in the current directory and loads it.
void LoadLines(const std::string &entryLines, Catalogue *catalogue)
{
    FILE *file = std::fopen("DataFile.txt", "wb");
    if (!file)
        Fail("cannot write DataFile.txt");
    std::fputs("http://support.example/\n", file);
    std::fputs(entryLines.c_str(), file);
    std::fclose(file);
    if (!LoadCatalogue(catalogue))
        Fail("the catalogue did not load");
}

// Every catalogued name gets an entry that does not hold and then one that
// does, so that each found file is judged twice and listed as needing an
// update. Names that are on no disk fill the catalogue to its size.
void LoadBigCatalogue(unsigned names, unsigned versioned, Catalogue *catalogue)
{
    std::string lines;
    char line[200];
    unsigned entries = 0;
    for (unsigned k = 0; k < names; ++k) {
        if (k < versioned) {
            std::snprintf(line, sizeof line, "lib%03u.dll;2;%llu;>;0;-;0;-;0;-;\nlib%03u.dll;2;%llu;<;0;-;0;-;0;-;\n",
                          k, kVersionLimit, k, kVersionLimit);
        } else {
            std::snprintf(line, sizeof line, "lib%03u.dll;4;0;-;0;-;100;>;0;-;\nlib%03u.dll;4;0;-;0;-;1;>=;0;-;\n", k,
                          k);
        }
        lines += line;
        entries += 2;
    }
    for (unsigned n = 0; entries < kBigCatalogueEntries; ++n, ++entries) {
        std::snprintf(line, sizeof line, "absent%05u.dll;4;0;-;0;-;1;>=;0;-;\n", n);
        lines += line;
    }
    LoadLines(lines, catalogue);
    if (catalogue->count != kBigCatalogueEntries)
        Fail("the big catalogue has the wrong size");
}

void LoadSmallCatalogue(Catalogue *catalogue)
{
    char line[200];
    std::snprintf(line, sizeof line, "lib000.dll;2;%llu;<;0;-;0;-;0;-;\n", kVersionLimit);
    LoadLines(line, catalogue);
    if (catalogue->count != 1)
        Fail("the small catalogue has the wrong size");
}

// One whole scan of the drive into a fresh log; returns its time.
double TimeScan(const char *pattern, const Catalogue *catalogue, int expectedLines)
{
    DeleteFileA(kLogName);
    ScanLog log = {OpenLogForScan(kLogName), 0};
    if (!log.file)
        Fail("cannot open the log");
    g_shared.StopRequested.store(0);

    const double start = Seconds();
    const DriveOutcome outcome = ScanDrive(pattern, &log, catalogue);
    const double elapsed = Seconds() - start;

    if (outcome != DRIVE_EXCEPTION)
        CloseLog(log.file);
    if (outcome != DRIVE_WALKED)
        Fail("the scan did not finish");
    if (log.listedCount != expectedLines) {
        std::fprintf(stderr, "scanbench: %d file lines, expected %d\n", log.listedCount, expectedLines);
        std::exit(1);
    }
    return elapsed;
}

// Lists the directory twice, as a walk does that judges files in one
// listing and finds subdirectories in a second, and descends from the
// second. Counts every entry of the first listings.
void BareWalk(const char *pattern, unsigned long long *entries)
{
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
        ++*entries;
    while (FindNextFileA(search, &data));
    FindClose(search);

    search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE)
        return;
    const size_t directoryLength = std::strlen(pattern) - 1;
    char subPattern[MAX_PATH];
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || std::strcmp(data.cFileName, ".") == 0 ||
            std::strcmp(data.cFileName, "..") == 0)
            continue;
        if (directoryLength + std::strlen(data.cFileName) + 2 >= sizeof subPattern)
            continue;
        std::snprintf(subPattern, sizeof subPattern, "%.*s%s\\*", static_cast<int>(directoryLength), pattern,
                      data.cFileName);
        BareWalk(subPattern, entries);
    } while (FindNextFileA(search, &data));
    FindClose(search);
}

double TimeBareWalk(const char *pattern, unsigned long long *entries)
{
    *entries = 0;
    const double start = Seconds();
    BareWalk(pattern, entries);
    return Seconds() - start;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 6)
        Fail("usage: scanbench DRIVE REPEATS NAMES COPIES VERSIONED");
    char pattern[8];
    std::snprintf(pattern, sizeof pattern, "%.2s\\*", argv[1]);
    const int repeats = std::atoi(argv[2]);
    const int names = std::atoi(argv[3]);
    const int copies = std::atoi(argv[4]);
    const int versioned = std::atoi(argv[5]);
    if (repeats < 1 || names < 1 || copies < 1 || versioned < 1 || versioned > names)
        Fail("REPEATS, NAMES and COPIES must be positive, VERSIONED from 1 to NAMES");

    g_shared.instance = GetModuleHandleA(0);
    Catalogue big = Catalogue();
    Catalogue small = Catalogue();
    LoadBigCatalogue(static_cast<unsigned>(names), static_cast<unsigned>(versioned), &big);
    LoadSmallCatalogue(&small);

    // One untimed walk first, so that no timed run pays for a cold cache.
    unsigned long long entries = 0;
    const double warmUp = TimeBareWalk(pattern, &entries);
    std::printf("warm-up walk: %llu entries in %.2f s\n", entries, warmUp);
    std::fflush(stdout);

    std::vector<double> scanBig, scanSmall, bare;
    for (int run = 0; run < repeats; ++run) {
        // Rotate the order, so that a drift of the machine's speed falls on
        // each kind of run alike.
        for (int step = 0; step < 3; ++step) {
            switch ((run + step) % 3) {
            case 0: scanBig.push_back(TimeScan(pattern, &big, names * copies)); break;
            case 1: scanSmall.push_back(TimeScan(pattern, &small, copies)); break;
            case 2: {
                unsigned long long walked = 0;
                bare.push_back(TimeBareWalk(pattern, &walked));
                if (walked != entries)
                    Fail("the bare walk saw a different tree");
                break;
            }
            }
        }
        std::printf("run %d: scan_big=%.3f s scan_small=%.3f s bare_walk=%.3f s\n", run + 1, scanBig.back(),
                    scanSmall.back(), bare.back());
        std::fflush(stdout);
    }

    ReleaseCatalogue(&big);
    ReleaseCatalogue(&small);
    DeleteFileA(kLogName);
    const double a = Median(scanBig), b = Median(scanSmall), c = Median(bare);
    std::printf("medians: scan_big=%.3f s scan_small=%.3f s bare_walk=%.3f s\n", a, b, c);
    std::printf("scan_vs_bare_walk=%.3f big_vs_small_catalogue=%.3f\n", a / c, a / b);
    return 0;
}
