// Graphic creation, loading and restore.
#pragma once

// The reload handler used when none is set: reloads every lost graphic from
// the file it was loaded from.
void DefaultGraphReloadHandler();
