#include "app/startup.h"
#include "core/processend.h"

int main(int argc, char *argv[])
{
    endProcess(korvaneMain(argc, argv));
}
