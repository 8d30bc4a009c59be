#include "gui/app.h"

// The window shows itself (faded in), so the show command is not used.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    return RunApplication(instance, commandLine);
}
