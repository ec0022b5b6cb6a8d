#include "desktopmode.h"

#include "app/handover.h"
#include "app/startup.h"
#include "core/processend.h"

// The desktop program: the console program's run, with the windows.
int main(int argc, char *argv[])
{
    // First of all, so that nothing this program starts inherits it.
    const int started = Handover::takeStartedDescriptor();
    const DesktopFrontEnd desktop {&createDesktopApplication, &runDesktopMode, started};
    endProcess(korvaneMain(argc, argv, &desktop));
}
