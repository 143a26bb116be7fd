// The program's start: what the platform's start-up does for a Windows
// program, handing over to the game's entry. No command line is read.
#include "front/startup.h"

int main() {
    static char commandLine[] = "";
    return WinMain(nullptr, nullptr, commandLine, 1);
}
