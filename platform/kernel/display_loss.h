// The display's connection breaking under the program: an X server that shuts
// down, a session that ends. Xlib's own answer is to end the process on the
// spot, from whichever thread found it out, while the rest of the program
// still runs; here the video thread stops instead and the program ends as
// when its window is closed.
#pragma once

// Video thread, before SDL's video starts: a broken X connection found out on
// the video thread parks it (VideoThreadParkForLostDisplay). Found out on
// another thread, Xlib's handler from before still decides.
void WatchForLostDisplay();
