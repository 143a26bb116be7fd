// The program's entry and what it does before and after the game loop:
// framework settings and start-up, the fixed game data, every image the game
// keeps, the loading screen, and the release of it all at the end.
#pragma once

// Called the way the platform's start-up calls a Windows program's entry; no
// argument is read. -1 when the framework cannot start, else 0 once the game
// loop has returned and the framework has ended.
int WinMain(void* instance, void* previousInstance, char* commandLine, int showMode);

// Loads the images of kStartupImageLoads in order. No result is tested: a
// missing file leaves its handles as they were, and drawing them later fails
// quietly.
void LoadStartupImages();
