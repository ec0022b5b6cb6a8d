#include "app/startup.h"
#include "core/processend.h"
#include "gui/desktopmode.h"

// The desktop program: the console program's run, with the windows.
int main(int argc, char *argv[])
{
    static const DesktopFrontEnd desktop {&createDesktopApplication, &runDesktopMode};
    endProcess(korvaneMain(argc, argv, &desktop));
}
