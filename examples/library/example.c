/* A library that does nothing: the example folder holds copies of it, with
   and without a version resource, for the example catalogue to judge. */
#include <windows.h>

__declspec(dllexport) int ExampleLibraryBuild(void)
{
    return 1;
}
