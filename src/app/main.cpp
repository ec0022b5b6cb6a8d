#include "app/startup.h"
#include "core/processend.h"

// The console program: it links no GUI library and hands a run that shows
// windows over to the desktop program.
int main(int argc, char *argv[])
{
    endProcess(korvaneMain(argc, argv, nullptr));
}
