// The movie table: opening a movie file for a graphic, looking movies up,
// and closing them once no graphic shows them.
#include <cstring>

#include "core/log.h"
#include "core/memory.h"
#include "graphics/draw/graph_record.h"
#include "graphics/movie/movie.h"
#include "graphics/movie/movie_record.h"
#include "platform/kernel.h"

MovieHandleTable g_MovieTable;

MovieRecord* LookupMovie(HandleId handle) { return g_MovieTable.Lookup(handle); }

HandleId OpenMovieToGraph(const char* fileName, int* width, int* height, int openFlag) {
    if (fileName == nullptr) return kNoHandle;
    const int slot = g_MovieTable.LowestEmptySlot();
    if (slot < 0) return kNoHandle;
    auto* movie = static_cast<MovieRecord*>(KV_ALLOC_ZEROED(sizeof(MovieRecord)));
    if (movie == nullptr) return WriteLogText("メモリの確保に失敗しました in OpenMovieToGraph");
    std::strncpy(movie->fileName, fileName, sizeof movie->fileName - 1);
    movie->openFlag = openFlag;
    if (OpenMovieObjects(movie) < 0) {
        // A temporary copy made for this open goes with it.
        if (movie->tempFileMade) DeleteFileA(movie->tempPath);
        KV_FREE(movie);
        return WriteLogText("ムービーファイルオープン処理時にエラーが発生しました");
    }
    movie->graphCount = 1;
    const HandleId handle = g_MovieTable.Insert(slot, movie, g_MovieTable.Counter().Take());
    if (width != nullptr) *width = movie->width;
    if (height != nullptr) *height = movie->height;
    return handle;
}

// Closes the movie whatever shows it.
int CloseMovie(HandleId handle) {
    MovieRecord* movie = LookupMovie(handle);
    if (movie == nullptr) return -1;
    if (movie->tempFileMade) DeleteFileA(movie->tempPath);
    ReleaseMovieObjects(movie);
    g_MovieTable.Remove(HandleSlotFor(handle, kHandleTypeMovie, kMovieSlotCount));
    KV_FREE(movie);
    return 0;
}

int CloseGraphMovie(GraphRecord* graph) {
    if (graph == nullptr) return -1;
    MovieRecord* movie = LookupMovie(graph->movieHandle);
    if (movie == nullptr) return -1;
    // Part graphics share their parent's movie: it stays for the others.
    if (--movie->graphCount > 0) return 0;
    return CloseMovie(graph->movieHandle);
}

int ShareGraphMovie(GraphRecord* graph) {
    MovieRecord* movie = graph != nullptr ? LookupMovie(graph->movieHandle) : nullptr;
    if (movie == nullptr) return -1;
    ++movie->graphCount;
    return 0;
}

D_IDirectDrawSurface7* GetGraphMovieSurface(const GraphRecord* graph) {
    const MovieRecord* movie = graph != nullptr ? LookupMovie(graph->movieHandle) : nullptr;
    return movie != nullptr ? movie->sampleSurface : nullptr;
}

int CountOpenMovies() { return g_MovieTable.Count(); }
