/* A library with nothing in it but one function: the copies the Windows
   tests, the example folder and the benchmark need differ only in their
   version resource (version.rc with the numbers the build gives, a crafted
   one, or none). */
__declspec(dllexport) int BrindleLibrary(void)
{
    return 1;
}
