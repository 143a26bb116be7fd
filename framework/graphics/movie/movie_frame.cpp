// Keeping movies going: the newest frame copied into a graphic before it is
// drawn, play and hold (also when the application is switched away from and
// back), and release and re-opening around a re-created DirectDraw object.
#include "core/log.h"
#include "graphics/device/surface2d.h"
#include "graphics/draw/graph_record.h"
#include "graphics/movie/movie.h"
#include "graphics/movie/movie_record.h"
#include "platform/kernel.h"

namespace {

// Without a new stream time, a frame is looked for at most this often.
constexpr DWORD kUpdateIntervalMs = 18;

bool ObjectsOpen(const MovieRecord* movie) { return movie != nullptr && movie->stream != nullptr; }

// Copies the frame in the sample's surface into the graphic.
void TakeFrame(MovieRecord* movie, GraphRecord* graph) {
    // Texture graphics never show movies here: a movie graphic is always
    // made with 2D surfaces.
    if (!graph->textureGraph) CopyMovieFrameToSurface2D(graph);
    movie->stream->GetTime(&movie->lastUpdateTime);
    movie->lastUpdateClock = timeGetTime();
    ResetEvent(movie->updateEvent);
    movie->updatePending = 0;
}

template <class Action>
int ForEachMovieGraph(Action action) {
    const GraphHandleTable& table = g_GraphTable.handles;
    for (int slot = 0; slot < table.UsedEnd(); ++slot) {
        const GraphRecord* graph = table.At(slot);
        if (graph != nullptr && graph->movieHandle >= 0) action(table.HandleAt(slot));
    }
    return 0;
}

}  // namespace

int UpdateGraphMovieFrame(GraphRecord* graph, int force) {
    if (graph == nullptr) return -1;
    MovieRecord* movie = LookupMovie(graph->movieHandle);
    if (!ObjectsOpen(movie)) return 0;
    if (!force) {
        if (!movie->sampleRunning) return 0;
        D_STREAM_STATE state = D_STREAMSTATE_STOP;
        if (FAILED(movie->stream->GetState(&state)) || state != D_STREAMSTATE_RUN) return 0;
        STREAM_TIME now = 0;
        movie->stream->GetTime(&now);
        if (now == movie->lastUpdateTime && timeGetTime() - movie->lastUpdateClock < kUpdateIntervalMs) return 0;
    }

    bool taken = false;
    if (movie->updatePending) {
        if (WaitForSingleObject(movie->updateEvent, 0) != WAIT_OBJECT_0) {
            // The frame asked for has not come yet: it is waited for, not
            // asked for again (that would be refused as busy). Forced, the
            // graphic gets what the surface holds and the request stays.
            if (force) {
                TakeFrame(movie, graph);
                movie->updatePending = 1;
            }
            return 0;
        }
        TakeFrame(movie, graph);
        taken = true;
    } else if (force) {
        TakeFrame(movie, graph);
        taken = true;
    }

    const HRESULT result = movie->sample->Update(force ? 0 : D_SSUPDATE_ASYNC, movie->updateEvent, nullptr, 0);
    if (result == S_OK) {
        if (!taken) {
            TakeFrame(movie, graph);
        } else {
            // One frame per call: this one is taken by the next.
            movie->updatePending = 1;
            SetEvent(movie->updateEvent);
        }
    } else if (result == D_MS_S_PENDING) {
        movie->updatePending = 1;
    } else {
        movie->sampleRunning = 0;  // the end of the stream
    }
    return 0;
}

int PlayGraphMovie(HandleId handle) {
    const GraphRecord* graph = LookupGraph(handle);
    if (graph == nullptr) return -1;
    MovieRecord* movie = LookupMovie(graph->movieHandle);
    if (!ObjectsOpen(movie) || movie->playing) return 0;
    movie->stream->SetState(D_STREAMSTATE_RUN);
    movie->playing = 1;
    return 0;
}

int HoldGraphMovie(HandleId handle) {
    const GraphRecord* graph = LookupGraph(handle);
    if (graph == nullptr) return -1;
    MovieRecord* movie = LookupMovie(graph->movieHandle);
    if (!ObjectsOpen(movie) || !movie->playing) return 0;
    movie->mediaControl->Pause();
    movie->playing = 0;
    return 0;
}

int PlayAllGraphMovies() { return ForEachMovieGraph(PlayGraphMovie); }
int HoldAllGraphMovies() { return ForEachMovieGraph(HoldGraphMovie); }

namespace {

void StoreAndRelease(MovieRecord* movie) {
    movie->storedTime = 0;
    movie->stream->GetTime(&movie->storedTime);
    movie->storedPlaying = movie->playing;
    ReleaseMovieObjects(movie);
}

}  // namespace

int ReleaseAllMovieObjects() {
    for (int slot = 0; slot < g_MovieTable.UsedEnd(); ++slot) {
        MovieRecord* movie = g_MovieTable.At(slot);
        if (ObjectsOpen(movie)) StoreAndRelease(movie);
    }
    return 0;
}

int ReopenAllMovies() {
    int result = 0;
    for (int slot = 0; slot < g_MovieTable.UsedEnd(); ++slot) {
        MovieRecord* movie = g_MovieTable.At(slot);
        if (movie == nullptr) continue;
        // Objects still held belong to the DirectDraw object that was
        // replaced: they go too, and the movie opens again where it stood.
        if (ObjectsOpen(movie)) StoreAndRelease(movie);
        if (OpenMovieObjects(movie) < 0) {
            result = -1;
            continue;
        }
        movie->stream->Seek(movie->storedTime);
        movie->playing = 0;
        if (movie->storedPlaying) {
            movie->stream->SetState(D_STREAMSTATE_RUN);
            movie->playing = 1;
        } else if (movie->openFlag == 1) {
            movie->mediaControl->Pause();
        }
    }
    return result;
}
