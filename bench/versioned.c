/* A small library whose only purpose is its version resource: the
   benchmark tree holds copies of it under catalogued names. */
__declspec(dllexport) int BenchVersionedMarker(void)
{
    return 1;
}
