#include "app/shared.h"

ScanShared g_shared;
