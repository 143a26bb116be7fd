#include "graphics/image_loader.h"
int LoadJpegImage(StreamData*, GraphImage*) { return -1; }
