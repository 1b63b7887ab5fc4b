/* A DLL that carries a version resource (version_fixture.rc) and nothing
 * else of interest. */
#include <windows.h>

__declspec(dllexport) int VersionFixtureAnswer(void) { return 7; }
