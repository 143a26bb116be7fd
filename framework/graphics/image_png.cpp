#include "graphics/image_loader.h"
int LoadPngImage(StreamData*, GraphImage*) { return -1; }
