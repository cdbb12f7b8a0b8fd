// Entry point of the saver program (Papyrant.scr) on Windows; the command line is read from the process.

#include <windows.h>

#include "saver/saver_main.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return pap::SaverMain(); }
