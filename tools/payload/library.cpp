// A library that does nothing: it exists for its version resource (or its
// lack of one) and for having no self-registration entry.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
