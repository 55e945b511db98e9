#pragma once
#include <cstdint>
#include "scan/match.h"

enum {
    CATALOGUE_NAME_SIZE = 256,  // an entry's name, terminator included
    CATALOGUE_LINE_SIZE = 516   // one read of a catalogue line, terminator included
};

struct CatalogueEntry {
    char name[CATALOGUE_NAME_SIZE];  // field 1, exactly as written
    int32_t kind;                    // field 2, a CheckKind when valid
    MatchCondition conditions[4];    // fields 3 to 10
};

struct CatalogueIndex;  // folded name -> entries, private to the loader

// The in-memory "DataFile.txt", owned by the scan worker for one scan.
struct Catalogue {
    CatalogueEntry *entries;                // `count` filled slots, in file order
    uint32_t count;
    char supportSite[CATALOGUE_LINE_SIZE];  // the first line exactly as read, line end included
    CatalogueIndex *index;
};

// Fills `catalogue` from "DataFile.txt" in the current directory. True when
// the file was read to its end and held at least one entry line; false in
// every other case, with no entries held. Shows no message. `catalogue` must
// not hold a loaded catalogue (release it first): its fields are overwritten.
bool LoadCatalogue(Catalogue *catalogue);

// Frees what LoadCatalogue allocated; safe on a zeroed or failed catalogue.
void ReleaseCatalogue(Catalogue *catalogue);

// The entries whose name equals `name` without regard to ASCII letter case,
// as indices in catalogue order. Returns their number and points *indices at
// them (valid until the catalogue is released). Does not grow with the
// catalogue's size.
uint32_t FindEntriesByName(const Catalogue *catalogue, const char *name, const uint32_t **indices);
