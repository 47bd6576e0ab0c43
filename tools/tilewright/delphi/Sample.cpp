// A compiled sample game of Tilewright's Delphi samples: a window showing
// the sample's name.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    MessageBoxA(nullptr, "This sample shows a tile map made with Tilewright.", SAMPLE_NAME, MB_OK);
    return 0;
}
