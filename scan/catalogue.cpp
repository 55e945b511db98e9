#include "scan/catalogue.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

// "DataFile.txt": a support-site line, then comment lines ("#" as the very
// first character) and entry lines of ten ";"-separated fields:
//   name;kind;value1;op1;value2;op2;value3;op3;value4;op4[;...]
// The file is read twice, once to count its lines and once to parse them,
// so that the entry array is allocated once with a slot per line.
//
// What the format leaves open is decided here as follows:
// - a line that holds nothing but its line end is skipped;
// - any other entry line with fewer than ten fields fails the load, as does
//   a name of more than 255 characters: a catalogue that says less than it
//   seems to must not be half-used;
// - a NUL byte ends the line's text: everything from it to the line end is
//   ignored, while the read still counts as one line (as it would with a
//   C string line reader). The support-site line is likewise kept up to it.
// - a Ctrl-Z byte (0x1A) ends the file, as the Windows C runtime's text
//   streams end it: DOS-era editors and COPY write one after the last line,
//   and nothing from it on is read, in either pass.

namespace {

const char CATALOGUE_FILE_NAME[] = "DataFile.txt";

enum {
    END_OF_FILE_MARK = 0x1A,  // Ctrl-Z
    CONDITION_COUNT = sizeof(CatalogueEntry::conditions) / sizeof(CatalogueEntry::conditions[0]),
    // The name, the kind, then a value and an operator per condition.
    FIELD_COUNT = 2 + 2 * CONDITION_COUNT
};

// The catalogue file as a stream of lines. `ended` is set once the file's
// end or its Ctrl-Z has been reached, `failed` once a read has failed;
// either makes every later read return nothing.
struct LineReader {
    FILE *file;
    bool ended;
    bool failed;
};

// Reads one line into `buffer` (`size` characters, terminator included) the
// way a text-mode line read does, so that every build loads the same bytes
// the same way: a carriage return directly before a line feed is dropped
// before anything is counted, the line feed stays in what is read, a line
// longer than the buffer comes in pieces, and a Ctrl-Z ends the file.
// Returns the number of characters stored; 0 when nothing could be read
// (end of file, or a read error, which also discards a partly read line).
size_t ReadLine(LineReader &reader, char *buffer, size_t size)
{
    size_t length = 0;
    while (!reader.ended && length + 1 < size) {
        int c = std::getc(reader.file);
        if (c == EOF || c == END_OF_FILE_MARK) {
            reader.ended = true;
            break;
        }
        if (c == '\r') {
            int next = std::getc(reader.file);
            if (next == '\n')
                c = '\n';
            else if (next != EOF)
                std::ungetc(next, reader.file);  // a Ctrl-Z after it is seen next
        }
        buffer[length++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buffer[length] = '\0';
    if (std::ferror(reader.file))
        reader.failed = reader.ended = true;
    if (reader.failed)
        return 0;
    return length;
}

// True when the reads stopped because the file ended, not because of an error.
bool ReadToEnd(const LineReader &reader)
{
    return reader.ended && !reader.failed;
}

// Back to the first line for the second pass.
void RestartReading(LineReader &reader)
{
    std::rewind(reader.file);
    reader.ended = false;
}

// Cuts the next field off the text at *cursor. Runs of ";" count as one
// separator and leading ones are skipped, so a field is never empty; blanks
// belong to the field they stand in. Returns 0 when no field is left.
char *NextField(char **cursor)
{
    char *p = *cursor;
    while (*p == ';')
        ++p;
    if (*p == '\0') {
        *cursor = p;
        return 0;
    }
    char *field = p;
    while (*p != '\0' && *p != ';')
        ++p;
    if (*p == ';')
        *p++ = '\0';
    *cursor = p;
    return field;
}

// A decimal number read the way atoi reads one: leading white space, an
// optional sign, digits up to the first non-digit, 0 when there are none.
// Digits accumulate modulo 2^64 and "-" gives the two's complement, so every
// unsigned 64-bit value can be written and nothing overflows.
uint64_t ParseDecimal64(const char *text)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        value = value * 10 + (*p - '0');
    return negative ? 0 - value : value;
}

// The same, modulo 2^32, as a signed 32-bit number.
int32_t ParseDecimal32(const char *text)
{
    uint32_t bits = static_cast<uint32_t>(ParseDecimal64(text));
    if (bits <= INT32_MAX)
        return static_cast<int32_t>(bits);
    return -static_cast<int32_t>(~bits) - 1;
}

// Parses an entry line in place. False when it has fewer than FIELD_COUNT
// fields or a name that does not fit.
bool ParseEntryLine(char *line, CatalogueEntry *entry)
{
    char *fields[FIELD_COUNT];
    char *cursor = line;
    for (char *&field : fields) {
        field = NextField(&cursor);
        if (!field)
            return false;
    }

    size_t nameLength = std::strlen(fields[0]);
    if (nameLength >= sizeof entry->name)
        return false;
    std::memcpy(entry->name, fields[0], nameLength + 1);

    entry->kind = ParseDecimal32(fields[1]);
    char **conditionFields = fields + 2;
    for (int i = 0; i < CONDITION_COUNT; ++i) {
        entry->conditions[i].value = ParseDecimal64(conditionFields[2 * i]);
        // The last field still carries the line end unless a ";" follows it.
        entry->conditions[i].op = ParseCompareOp(conditionFields[2 * i + 1]);
    }
    return true;
}

char FoldCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

enum : uint32_t { FNV_OFFSET_BASIS = 2166136261u, FNV_PRIME = 16777619u };

// FNV-1a over the case-folded name. Not noexcept: the standard library
// then keeps each name's hash beside it, and a lookup compares hashes
// instead of hashing again every name it passes.
struct FoldedHash {
    size_t operator()(std::string_view name) const
    {
        uint32_t hash = FNV_OFFSET_BASIS;
        for (char c : name)
            hash = (hash ^ static_cast<unsigned char>(FoldCase(c))) * FNV_PRIME;
        return hash;
    }
};

struct FoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const noexcept
    {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (FoldCase(a[i]) != FoldCase(b[i]))
                return false;
        return true;
    }
};

}  // namespace

// Each folded name, seen through the name of one of its entries, with the
// indices of all its entries in catalogue order.
struct CatalogueIndex {
    std::unordered_map<std::string_view, std::vector<uint32_t>, FoldedHash, FoldedEqual> byName;
};

namespace {

// Builds the name index over the loaded entries. False when memory runs out.
bool BuildIndex(Catalogue *catalogue)
{
    try {
        std::unique_ptr<CatalogueIndex> index(new CatalogueIndex);
        index->byName.reserve(catalogue->count);
        for (uint32_t i = 0; i < catalogue->count; ++i)
            index->byName[catalogue->entries[i].name].push_back(i);
        catalogue->index = index.release();
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

void ClearCatalogue(Catalogue *catalogue)
{
    catalogue->entries = 0;
    catalogue->count = 0;
    catalogue->index = 0;
    catalogue->supportSite[0] = '\0';
}

}  // namespace

bool LoadCatalogue(Catalogue *catalogue)
{
    ClearCatalogue(catalogue);

    // Binary mode, with line ends and Ctrl-Z handled by ReadLine, so that a
    // catalogue reads the same on every system.
    FILE *file = std::fopen(CATALOGUE_FILE_NAME, "rb");
    if (!file)
        return false;
    LineReader reader = {file, false, false};

    char line[CATALOGUE_LINE_SIZE];
    uint64_t lines = 0;
    while (ReadLine(reader, line, sizeof line) != 0)
        ++lines;
    if (!ReadToEnd(reader) || lines == 0 || lines > UINT32_MAX) {
        std::fclose(file);
        return false;
    }
    RestartReading(reader);

    CatalogueEntry *entries = static_cast<CatalogueEntry *>(std::calloc(static_cast<size_t>(lines), sizeof *entries));
    if (!entries) {
        std::fclose(file);
        return false;
    }

    uint32_t stored = 0;
    bool loaded = false;
    for (uint64_t lineIndex = 0;; ++lineIndex) {
        if (ReadLine(reader, line, sizeof line) == 0) {
            loaded = ReadToEnd(reader) && stored != 0;
            break;
        }
        if (lineIndex == 0) {
            // The support site, kept whole with its line end; never an entry.
            std::memcpy(catalogue->supportSite, line, std::strlen(line) + 1);
        } else if (line[0] == '#' || std::strcmp(line, "\n") == 0) {
            // A comment, or a blank line.
        } else if (ParseEntryLine(line, &entries[stored])) {
            ++stored;
        } else {
            break;
        }
        // Every slot filled before the end: the file grew since it was counted.
        if (stored == lines)
            break;
    }
    std::fclose(file);

    if (!loaded) {
        std::free(entries);
        ClearCatalogue(catalogue);
        return false;
    }
    catalogue->entries = entries;
    catalogue->count = stored;
    if (!BuildIndex(catalogue)) {
        ReleaseCatalogue(catalogue);
        return false;
    }
    return true;
}

void ReleaseCatalogue(Catalogue *catalogue)
{
    std::free(catalogue->entries);
    delete catalogue->index;
    ClearCatalogue(catalogue);
}

uint32_t FindEntriesByName(const Catalogue *catalogue, const char *name, const uint32_t **indices)
{
    *indices = 0;
    if (!catalogue->index)
        return 0;
    const auto &byName = catalogue->index->byName;
    const auto group = byName.find(name);
    if (group == byName.end())
        return 0;
    *indices = group->second.data();
    return static_cast<uint32_t>(group->second.size());
}
