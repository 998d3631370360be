// The reference for start-up: a program that does nothing, built and linked
// as the tools are.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
