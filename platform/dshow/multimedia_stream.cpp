// The stream objects the framework holds: the filter graph with its control,
// seeking and audio faces, the multimedia stream, its primary video stream
// and the stream samples. All of them share the opened movie's player.
#include <memory>

#include "dshow/movie_player.h"
#include "platform/dshow.h"
#include "platform/files.h"

const CLSID CLSID_D_FilterGraph = {0x6B0D1E01, 0x4C2A, 0x4E21, {0x9A, 0x10, 0x4D, 0x6F, 0x76, 0x69, 0x65, 0x01}};
const CLSID CLSID_D_AMMultiMediaStream = {0x6B0D1E02, 0x4C2A, 0x4E21, {0x9A, 0x10, 0x4D, 0x6F, 0x76, 0x69, 0x65, 0x02}};
const IID IID_D_IGraphBuilder = {0x6B0D1E03, 0x4C2A, 0x4E21, {0x9A, 0x10, 0x4D, 0x6F, 0x76, 0x69, 0x65, 0x03}};
const IID IID_D_IAMMultiMediaStream = {0x6B0D1E04, 0x4C2A, 0x4E21, {0x9A, 0x10, 0x4D, 0x6F, 0x76, 0x69, 0x65, 0x04}};
const IID IID_D_IMediaControl = {0x6B0D1E05, 0x4C2A, 0x4E21, {0x9A, 0x10, 0x4D, 0x6F, 0x76, 0x69, 0x65, 0x05}};
const IID IID_D_IMediaSeeking = {0x6B0D1E06, 0x4C2A, 0x4E21, {0x9A, 0x10, 0x4D, 0x6F, 0x76, 0x69, 0x65, 0x06}};
const IID IID_D_IBasicAudio = {0x6B0D1E07, 0x4C2A, 0x4E21, {0x9A, 0x10, 0x4D, 0x6F, 0x76, 0x69, 0x65, 0x07}};
const IID IID_D_IMediaStream = {0x6B0D1E08, 0x4C2A, 0x4E21, {0x9A, 0x10, 0x4D, 0x6F, 0x76, 0x69, 0x65, 0x08}};
const IID IID_D_IAMMediaStream = {0x6B0D1E09, 0x4C2A, 0x4E21, {0x9A, 0x10, 0x4D, 0x6F, 0x76, 0x69, 0x65, 0x09}};
const IID IID_D_IDirectDrawMediaStream = {0x6B0D1E0A, 0x4C2A, 0x4E21, {0x9A, 0x10, 0x4D, 0x6F, 0x76, 0x69, 0x65, 0x0A}};
const IID IID_D_IDirectDrawStreamSample = {0x6B0D1E0B, 0x4C2A, 0x4E21, {0x9A, 0x10, 0x4D, 0x6F, 0x76, 0x69, 0x65, 0x0B}};
const GUID MSPID_D_PrimaryVideo = {0x6B0D1E0C, 0x4C2A, 0x4E21, {0x9A, 0x10, 0x4D, 0x6F, 0x76, 0x69, 0x65, 0x0C}};
const GUID MSPID_D_PrimaryAudio = {0x6B0D1E0D, 0x4C2A, 0x4E21, {0x9A, 0x10, 0x4D, 0x6F, 0x76, 0x69, 0x65, 0x0D}};

namespace {

// What the graph's faces share: the movie, once a stream has opened one.
struct GraphState {
    std::shared_ptr<MoviePlayer> player;
};

template <class Interface>
bool Answer(Interface* self, REFIID riid, const IID& own, void** object) {
    if (!IsEqualGUID(riid, own)) return false;
    *object = self;
    self->AddRef();
    return true;
}

class MediaControl final : public ComObject<D_IMediaControl> {
public:
    explicit MediaControl(std::shared_ptr<GraphState> state) : state_(std::move(state)) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr && Answer<D_IMediaControl>(this, riid, IID_D_IMediaControl, object)) return S_OK;
        return ComObject::QueryInterface(riid, object);
    }
    HRESULT Run() override { return Set(MoviePlayer::State::Running); }
    HRESULT Pause() override { return Set(MoviePlayer::State::Paused); }
    HRESULT Stop() override { return Set(MoviePlayer::State::Stopped); }

private:
    HRESULT Set(MoviePlayer::State state) {
        if (!state_->player) return D_VFW_E_NOT_FOUND;
        state_->player->SetState(state);
        return S_OK;
    }
    std::shared_ptr<GraphState> state_;
};

class MediaSeeking final : public ComObject<D_IMediaSeeking> {
public:
    explicit MediaSeeking(std::shared_ptr<GraphState> state) : state_(std::move(state)) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr && Answer<D_IMediaSeeking>(this, riid, IID_D_IMediaSeeking, object)) return S_OK;
        return ComObject::QueryInterface(riid, object);
    }
    HRESULT GetDuration(LONGLONG* duration) override { return Read(duration, state_->player ? state_->player->Duration() : 0); }
    HRESULT GetStopPosition(LONGLONG* stop) override { return Read(stop, state_->player ? state_->player->Duration() : 0); }
    HRESULT GetCurrentPosition(LONGLONG* current) override {
        return Read(current, state_->player ? state_->player->Time() : 0);
    }

private:
    HRESULT Read(LONGLONG* out, LONGLONG value) const {
        if (out == nullptr) return E_POINTER;
        if (!state_->player) return D_VFW_E_NOT_FOUND;
        *out = value;
        return S_OK;
    }
    std::shared_ptr<GraphState> state_;
};

class BasicAudio final : public ComObject<D_IBasicAudio> {
public:
    explicit BasicAudio(std::shared_ptr<GraphState> state) : state_(std::move(state)) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr && Answer<D_IBasicAudio>(this, riid, IID_D_IBasicAudio, object)) return S_OK;
        return ComObject::QueryInterface(riid, object);
    }
    HRESULT put_Volume(LONG volume) override {
        if (volume < -10000 || volume > 0) return E_INVALIDARG;
        if (!state_->player) return D_VFW_E_NOT_FOUND;
        state_->player->SetVolume(volume);
        return S_OK;
    }
    HRESULT get_Volume(LONG* volume) override {
        if (volume == nullptr) return E_POINTER;
        if (!state_->player) return D_VFW_E_NOT_FOUND;
        *volume = state_->player->Volume();
        return S_OK;
    }

private:
    std::shared_ptr<GraphState> state_;
};

class FilterGraph final : public ComObject<D_IGraphBuilder> {
public:
    FilterGraph() : state_(std::make_shared<GraphState>()) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (Answer<D_IGraphBuilder>(this, riid, IID_D_IGraphBuilder, object)) return S_OK;
        if (IsEqualGUID(riid, IID_D_IMediaControl)) *object = static_cast<D_IMediaControl*>(new MediaControl(state_));
        else if (IsEqualGUID(riid, IID_D_IMediaSeeking)) *object = static_cast<D_IMediaSeeking*>(new MediaSeeking(state_));
        else if (IsEqualGUID(riid, IID_D_IBasicAudio)) *object = static_cast<D_IBasicAudio*>(new BasicAudio(state_));
        else return ComObject::QueryInterface(riid, object);
        return S_OK;
    }
    const std::shared_ptr<GraphState>& State() const { return state_; }

private:
    std::shared_ptr<GraphState> state_;
};

class StreamSample final : public ComObject<D_IDirectDrawStreamSample> {
public:
    StreamSample(std::shared_ptr<MoviePlayer> player, D_IDirectDrawSurface7* surface, const RECT* rect)
        : player_(std::move(player)), surface_(surface), wholeSurface_(rect == nullptr) {
        surface_->AddRef();
        if (rect != nullptr) rect_ = *rect;
    }
    ~StreamSample() override {
        player_->Forget(surface_);
        surface_->Release();
    }
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr && Answer<D_IDirectDrawStreamSample>(this, riid, IID_D_IDirectDrawStreamSample, object))
            return S_OK;
        return ComObject::QueryInterface(riid, object);
    }
    HRESULT Update(DWORD flags, HANDLE event, void*, std::uintptr_t) override {
        return player_->Update(surface_, wholeSurface_ ? nullptr : &rect_, (flags & D_SSUPDATE_ASYNC) != 0, event);
    }
    HRESULT CompletionStatus(DWORD, DWORD) override {
        player_->Pump();
        return player_->Pending() ? D_MS_S_PENDING : S_OK;
    }
    HRESULT GetSurface(D_IDirectDrawSurface7** surface, RECT* clip) override {
        if (surface != nullptr) {
            *surface = surface_;
            surface_->AddRef();
        }
        if (clip != nullptr) {
            D_DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            surface_->GetSurfaceDesc(&desc);
            *clip = wholeSurface_ ? RECT{0, 0, static_cast<LONG>(desc.dwWidth), static_cast<LONG>(desc.dwHeight)} : rect_;
        }
        return S_OK;
    }

private:
    std::shared_ptr<MoviePlayer> player_;
    D_IDirectDrawSurface7* surface_;
    RECT rect_{};
    bool wholeSurface_;
};

// The primary video stream: its DirectDraw face, with the plain media-stream
// face and the filter-side face answering for the same object.
class VideoStream final : public ComObject<D_IDirectDrawMediaStream>, public D_IAMMediaStream {
public:
    VideoStream(D_IMultiMediaStream* owner, std::shared_ptr<MoviePlayer> player)
        : owner_(owner), player_(std::move(player)) {
        owner_->AddRef();
    }
    ~VideoStream() override { owner_->Release(); }

    ULONG AddRef() override { return ComObject::AddRef(); }
    ULONG Release() override { return ComObject::Release(); }
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualGUID(riid, IID_D_IAMMediaStream)) {
            *object = static_cast<D_IAMMediaStream*>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualGUID(riid, IID_D_IDirectDrawMediaStream) || IsEqualGUID(riid, IID_D_IMediaStream)) {
            *object = static_cast<D_IDirectDrawMediaStream*>(this);
            AddRef();
            return S_OK;
        }
        return ComObject::QueryInterface(riid, object);
    }
    HRESULT GetMultiMediaStream(D_IMultiMediaStream** stream) override {
        if (stream == nullptr) return E_POINTER;
        *stream = owner_;
        owner_->AddRef();
        return S_OK;
    }
    HRESULT GetFormat(D_DDSURFACEDESC2* current) override {
        if (current == nullptr) return E_POINTER;
        *current = D_DDSURFACEDESC2{};
        current->dwSize = sizeof *current;
        current->dwFlags = D_DDSD_WIDTH | D_DDSD_HEIGHT;
        current->dwWidth = static_cast<DWORD>(player_->Width());
        current->dwHeight = static_cast<DWORD>(player_->Height());
        return S_OK;
    }
    HRESULT CreateSample(D_IDirectDrawSurface7* surface, const RECT* rect, DWORD,
                         D_IDirectDrawStreamSample** sample) override {
        if (sample == nullptr) return E_POINTER;
        *sample = nullptr;
        // The stand-in renders only into a surface it is given.
        if (surface == nullptr) return E_INVALIDARG;
        *sample = new StreamSample(player_, surface, rect);
        return S_OK;
    }

private:
    D_IMultiMediaStream* owner_;
    std::shared_ptr<MoviePlayer> player_;
};

class MultiMediaStream final : public ComObject<D_IAMMultiMediaStream> {
public:
    ~MultiMediaStream() override {
        if (graph_ != nullptr) graph_->Release();
        if (directDraw_ != nullptr) directDraw_->Release();
    }
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object != nullptr && Answer<D_IAMMultiMediaStream>(this, riid, IID_D_IAMMultiMediaStream, object))
            return S_OK;
        return ComObject::QueryInterface(riid, object);
    }

    HRESULT Initialize(D_STREAM_TYPE type, DWORD, D_IGraphBuilder* graph) override {
        if (graph_ != nullptr) return E_FAIL;
        if (type != D_STREAMTYPE_READ) return E_INVALIDARG;
        if (graph != nullptr) {
            graph->AddRef();
            graph_ = static_cast<FilterGraph*>(graph);
        } else {
            graph_ = new FilterGraph;
        }
        return S_OK;
    }
    HRESULT GetFilterGraph(D_IGraphBuilder** graph) override {
        if (graph == nullptr) return E_POINTER;
        *graph = graph_;
        if (graph_ != nullptr) graph_->AddRef();
        return S_OK;
    }
    HRESULT AddMediaStream(D_IUnknown* streamObject, const GUID* purposeId, DWORD flags, D_IMediaStream** stream) override {
        if (graph_ == nullptr || Player()) return E_FAIL;
        if (stream != nullptr) *stream = nullptr;
        if (purposeId != nullptr && IsEqualGUID(*purposeId, MSPID_D_PrimaryAudio)) {
            if ((flags & D_AMMSF_ADDDEFAULTRENDERER) == 0) return E_INVALIDARG;
            wantSound_ = true;
            return S_OK;
        }
        if (purposeId == nullptr || !IsEqualGUID(*purposeId, MSPID_D_PrimaryVideo)) return E_INVALIDARG;
        void* directDraw = nullptr;
        if (streamObject != nullptr && FAILED(streamObject->QueryInterface(IID_D_IDirectDraw7, &directDraw)))
            return E_NOINTERFACE;
        if (directDraw_ != nullptr) directDraw_->Release();
        directDraw_ = static_cast<D_IDirectDraw7*>(directDraw);
        wantVideo_ = true;
        return S_OK;
    }
    HRESULT OpenFile(LPCSTR fileName, DWORD flags) override {
        if (graph_ == nullptr || fileName == nullptr || Player()) return E_FAIL;
        if (!wantVideo_) return D_VFW_E_UNSUPPORTED_STREAM;
        std::shared_ptr<MoviePlayer> player = MoviePlayer::Open(PlatformTranslatePath(fileName), wantSound_);
        if (!player) return D_VFW_E_UNSUPPORTED_STREAM;
        graph_->State()->player = player;
        if (flags & D_AMMSF_RUN) player->SetState(MoviePlayer::State::Running);
        return S_OK;
    }

    HRESULT GetMediaStream(const GUID& purposeId, D_IMediaStream** stream) override {
        if (stream == nullptr) return E_POINTER;
        *stream = nullptr;
        if (!Player() || !IsEqualGUID(purposeId, MSPID_D_PrimaryVideo)) return D_MS_E_NOSTREAM;
        *stream = static_cast<D_IDirectDrawMediaStream*>(new VideoStream(this, Player()));
        return S_OK;
    }
    HRESULT GetState(D_STREAM_STATE* state) override {
        if (state == nullptr) return E_POINTER;
        *state = Player() && Player()->CurrentState() == MoviePlayer::State::Running ? D_STREAMSTATE_RUN
                                                                                    : D_STREAMSTATE_STOP;
        return S_OK;
    }
    HRESULT SetState(D_STREAM_STATE state) override {
        if (!Player()) return E_FAIL;
        Player()->SetState(state == D_STREAMSTATE_RUN ? MoviePlayer::State::Running : MoviePlayer::State::Stopped);
        return S_OK;
    }
    HRESULT GetTime(STREAM_TIME* time) override {
        if (time == nullptr) return E_POINTER;
        if (!Player()) return E_FAIL;
        Player()->Pump();
        *time = Player()->Time();
        return S_OK;
    }
    HRESULT GetDuration(STREAM_TIME* duration) override {
        if (duration == nullptr) return E_POINTER;
        if (!Player()) return E_FAIL;
        *duration = Player()->Duration();
        return S_OK;
    }
    HRESULT Seek(STREAM_TIME time) override { return Player() ? Player()->Seek(time) : E_FAIL; }

private:
    const std::shared_ptr<MoviePlayer>& Player() const {
        static const std::shared_ptr<MoviePlayer> none;
        return graph_ != nullptr ? graph_->State()->player : none;
    }

    FilterGraph* graph_ = nullptr;
    D_IDirectDraw7* directDraw_ = nullptr;
    bool wantVideo_ = false;
    bool wantSound_ = false;
};

template <class Object, class Interface>
HRESULT Make(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    Object* made = new Object;
    HRESULT hr = made->QueryInterface(riid, object);
    static_cast<Interface*>(made)->Release();
    return hr;
}

}  // namespace

void RegisterDirectShowStandIn() {
    RegisterComClass(CLSID_D_FilterGraph, Make<FilterGraph, D_IGraphBuilder>);
    RegisterComClass(CLSID_D_AMMultiMediaStream, Make<MultiMediaStream, D_IAMMultiMediaStream>);
}
