#include <windows.h>

#include "app/application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return TheApp().InitInstance(); }
