#include "host/dshow/filter_graph.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "host/com/class_registry.h"
#include "host/dshow/com_ptr.h"
#include "host/dshow/control_type_library.h"
#include "host/dshow/filter_enum.h"
#include "host/dshow/graph_events.h"
#include "host/dshow/pin_walk.h"
#include "host/dshow/reference_clock.h"
#include "host/dshow/seeking_position.h"
#include "host/dshow/without_type_info.h"

namespace {

// The system's factories that Connect and Render try, in order, with the names their
// filters join the graph under.
struct Factory {
  const CLSID* clsid;
  const char16_t* name;
};
constexpr Factory kFactories[] = {
    {&CLSID_Mp3DecoderFilter, u"MP3 Decoder"},
    {&CLSID_DSoundRender, u"Audio Renderer"},
};
constexpr int kMaxRenderDepth = 8;
constexpr int kMaxReconnectRounds = 8;

class FilterGraph final : public IFilterGraph2,
                          public IMediaFilter,
                          public WithoutTypeInfo<IMediaControl>,
                          public WithoutTypeInfo<IMediaEventEx>,
                          public IMediaEventSink,
                          public IMediaSeeking,
                          public SeekingPosition,
                          public WithoutTypeInfo<IBasicAudio> {
 public:
  FilterGraph() { CountHostMediaObject(1); }

  // IUnknown
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    void* p = nullptr;
    if (iid == IID_IUnknown || iid == IID_IFilterGraph || iid == IID_IGraphBuilder ||
        iid == IID_IFilterGraph2) {
      p = static_cast<IFilterGraph2*>(this);
    } else if (iid == IID_IMediaFilter || iid == IID_IPersist) {
      p = static_cast<IMediaFilter*>(this);
    } else if (iid == IID_IMediaControl || iid == IID_IDispatch) {
      p = static_cast<IMediaControl*>(this);
    } else if (iid == IID_IMediaEvent || iid == IID_IMediaEventEx) {
      p = static_cast<IMediaEventEx*>(this);
    } else if (iid == IID_IMediaEventSink) {
      p = static_cast<IMediaEventSink*>(this);
    } else if (iid == IID_IMediaSeeking) {
      p = static_cast<IMediaSeeking*>(this);
    } else if (iid == IID_IMediaPosition) {
      p = static_cast<IMediaPosition*>(this);
    } else if (iid == IID_IBasicAudio) {
      p = static_cast<IBasicAudio*>(this);
    }
    *out = p;
    if (!p) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return static_cast<uint32_t>(refs_.fetch_add(1) + 1); }
  uint32_t Release() override {
    int32_t n = refs_.fetch_sub(1) - 1;
    if (n == 0) {
      refs_.store(1);  // calls made while tearing down must not destroy twice
      delete this;
    }
    return static_cast<uint32_t>(n);
  }

  // IFilterGraph
  HRESULT AddFilter(IBaseFilter* filter, const char16_t* name) override;
  HRESULT RemoveFilter(IBaseFilter* filter) override;
  HRESULT EnumFilters(IEnumFilters** out) override;
  HRESULT FindFilterByName(const char16_t* name, IBaseFilter** out) override;
  HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) override;
  HRESULT Reconnect(IPin* pin) override { return ReconnectEx(pin, nullptr); }
  HRESULT Disconnect(IPin* pin) override {
    if (!pin) return E_POINTER;
    CriticalSectionGuard guard(lock_);
    return pin->Disconnect();
  }
  HRESULT SetDefaultSyncSource() override;

  // IGraphBuilder
  HRESULT Connect(IPin* output, IPin* input) override;
  HRESULT Render(IPin* output) override;
  HRESULT RenderFile(const char16_t* file, const char16_t* playList) override;
  HRESULT AddSourceFilter(const char16_t* file, const char16_t* name, IBaseFilter** filter) override;
  HRESULT SetLogFile(uintptr_t) override { return S_OK; }
  HRESULT Abort() override { return S_OK; }
  HRESULT ShouldOperationContinue() override { return S_OK; }

  // IFilterGraph2
  HRESULT AddSourceFilterForMoniker(IMoniker*, IBindCtx*, const char16_t*, IBaseFilter** filter) override {
    if (filter) *filter = nullptr;
    return E_NOTIMPL;
  }
  HRESULT ReconnectEx(IPin* pin, const AM_MEDIA_TYPE* type) override;
  HRESULT RenderEx(IPin*, uint32_t, uint32_t*) override { return E_NOTIMPL; }

  // IMediaFilter (Stop and Pause serve IMediaControl too)
  HRESULT GetClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_FilterGraph;
    return S_OK;
  }
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(uint32_t timeoutMs, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override {
    if (!clock) return E_POINTER;
    CriticalSectionGuard guard(lock_);
    *clock = clock_.get();
    if (*clock) (*clock)->AddRef();
    return S_OK;
  }

  // IMediaControl
  HRESULT Run() override { return Run(0); }
  HRESULT GetState(int32_t timeoutMs, OAFilterState* state) override {
    if (!state) return E_POINTER;
    FILTER_STATE s = State_Stopped;
    HRESULT hr = GetState(timeoutMs < 0 ? kInfinite : static_cast<uint32_t>(timeoutMs), &s);
    *state = s;
    return hr;
  }
  HRESULT RenderFile(BSTR file) override { return RenderFile(file, nullptr); }
  HRESULT AddSourceFilter(BSTR, IDispatch** filter) override {
    if (filter) *filter = nullptr;
    return E_NOTIMPL;
  }
  HRESULT get_FilterCollection(IDispatch** c) override {
    if (c) *c = nullptr;
    return E_NOTIMPL;
  }
  HRESULT get_RegFilterCollection(IDispatch** c) override {
    if (c) *c = nullptr;
    return E_NOTIMPL;
  }
  HRESULT StopWhenReady() override {
    HRESULT hr = Pause();
    return FAILED(hr) ? hr : Stop();
  }

  // IMediaEvent(Ex)
  HRESULT GetEventHandle(OAEVENT* event) override {
    if (!event) return E_POINTER;
    *event = reinterpret_cast<OAEVENT>(events_.queuedEvent());
    return S_OK;
  }
  HRESULT GetEvent(int32_t* code, intptr_t* p1, intptr_t* p2, int32_t timeoutMs) override {
    return events_.GetEvent(code, p1, p2, timeoutMs);
  }
  HRESULT WaitForCompletion(int32_t timeoutMs, int32_t* code) override {
    return events_.WaitForCompletion(timeoutMs, code);
  }
  HRESULT CancelDefaultHandling(int32_t) override { return E_NOTIMPL; }
  HRESULT RestoreDefaultHandling(int32_t) override { return E_NOTIMPL; }
  HRESULT FreeEventParams(int32_t, intptr_t, intptr_t) override { return S_OK; }
  HRESULT SetNotifyWindow(OAHWND, int32_t, intptr_t) override { return E_NOTIMPL; }
  HRESULT SetNotifyFlags(int32_t) override { return E_NOTIMPL; }
  HRESULT GetNotifyFlags(int32_t* flags) override {
    if (!flags) return E_POINTER;
    *flags = 0;
    return S_OK;
  }

  // IMediaEventSink: may come from any thread, the graph lock held or not.
  HRESULT Notify(int32_t code, intptr_t param1, intptr_t param2) override {
    return events_.Notify(code, param1, param2);
  }

  // IMediaSeeking: answered by the first renderer that offers it.
  HRESULT GetCapabilities(uint32_t* c) override { return Seek([&](IMediaSeeking* s) { return s->GetCapabilities(c); }); }
  HRESULT CheckCapabilities(uint32_t* c) override { return Seek([&](IMediaSeeking* s) { return s->CheckCapabilities(c); }); }
  HRESULT IsFormatSupported(const GUID* f) override { return Seek([&](IMediaSeeking* s) { return s->IsFormatSupported(f); }); }
  HRESULT QueryPreferredFormat(GUID* f) override { return Seek([&](IMediaSeeking* s) { return s->QueryPreferredFormat(f); }); }
  HRESULT GetTimeFormat(GUID* f) override { return Seek([&](IMediaSeeking* s) { return s->GetTimeFormat(f); }); }
  HRESULT IsUsingTimeFormat(const GUID* f) override { return Seek([&](IMediaSeeking* s) { return s->IsUsingTimeFormat(f); }); }
  HRESULT SetTimeFormat(const GUID* f) override { return Seek([&](IMediaSeeking* s) { return s->SetTimeFormat(f); }); }
  HRESULT GetDuration(int64_t* d) override { return Seek([&](IMediaSeeking* s) { return s->GetDuration(d); }); }
  HRESULT GetStopPosition(int64_t* p) override { return Seek([&](IMediaSeeking* s) { return s->GetStopPosition(p); }); }
  HRESULT GetCurrentPosition(int64_t* p) override { return Seek([&](IMediaSeeking* s) { return s->GetCurrentPosition(p); }); }
  HRESULT ConvertTimeFormat(int64_t* t, const GUID* tf, int64_t v, const GUID* sf) override {
    return Seek([&](IMediaSeeking* s) { return s->ConvertTimeFormat(t, tf, v, sf); });
  }
  HRESULT SetPositions(int64_t* c, uint32_t cf, int64_t* st, uint32_t sf) override;
  HRESULT GetPositions(int64_t* c, int64_t* st) override { return Seek([&](IMediaSeeking* s) { return s->GetPositions(c, st); }); }
  HRESULT GetAvailable(int64_t* e, int64_t* l) override { return Seek([&](IMediaSeeking* s) { return s->GetAvailable(e, l); }); }
  HRESULT SetRate(double r) override { return Seek([&](IMediaSeeking* s) { return s->SetRate(r); }); }
  HRESULT GetRate(double* r) override { return Seek([&](IMediaSeeking* s) { return s->GetRate(r); }); }
  HRESULT GetPreroll(int64_t* p) override { return Seek([&](IMediaSeeking* s) { return s->GetPreroll(p); }); }

  // IMediaPosition: over the graph's own seeking, so a new position pauses the graph
  // and restarts its stream time as a seek through IMediaSeeking does.
  IMediaSeeking* PositionSeeking() override { return this; }

  // IBasicAudio: answered by the first renderer that offers it.
  HRESULT put_Volume(int32_t v) override { return Audio([&](IBasicAudio* a) { return a->put_Volume(v); }); }
  HRESULT get_Volume(int32_t* v) override { return Audio([&](IBasicAudio* a) { return a->get_Volume(v); }); }
  HRESULT put_Balance(int32_t b) override { return Audio([&](IBasicAudio* a) { return a->put_Balance(b); }); }
  HRESULT get_Balance(int32_t* b) override { return Audio([&](IBasicAudio* a) { return a->get_Balance(b); }); }

 private:
  struct Entry {
    ComPtr<IBaseFilter> filter;
    std::u16string name;
  };
  struct PendingReconnect {
    ComPtr<IPin> pin;
    AM_MEDIA_TYPE* type;  // a copy of its own, or null
  };

  ~FilterGraph();

  std::vector<ComPtr<IBaseFilter>> Snapshot() {
    CriticalSectionGuard guard(lock_);
    std::vector<ComPtr<IBaseFilter>> list;
    for (const Entry& e : filters_) list.push_back(e.filter);
    return list;
  }
  bool Contains(IBaseFilter* filter) const {
    return std::any_of(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter.get() == filter; });
  }
  std::vector<IBaseFilter*> StateOrder();
  std::vector<ComPtr<IBaseFilter>> Renderers();
  HRESULT InstallClock(IReferenceClock* clock);
  HRESULT ConnectThrough(IPin* output, IPin* input, int depth);
  HRESULT RenderPin(IPin* output, int depth);
  HRESULT RenderOutputs(IBaseFilter* filter, int depth);
  ComPtr<IBaseFilter> AddFromFactory(const Factory& factory);
  void BeginConnecting() { ++connectDepth_; }
  void EndConnecting();
  void CarryOutReconnects();
  void ReconnectNow(IPin* pin, const AM_MEDIA_TYPE* type);
  void DetachFilter(IBaseFilter* filter);

  template <class F>
  HRESULT Seek(F call) {
    return ViaRenderer<IMediaSeeking>(IID_IMediaSeeking, call);
  }
  template <class F>
  HRESULT Audio(F call) {
    return ViaRenderer<IBasicAudio>(IID_IBasicAudio, call);
  }
  // The call made on the first renderer that offers the interface; E_NOTIMPL for none.
  template <class I, class F>
  HRESULT ViaRenderer(REFIID iid, F call) {
    for (const ComPtr<IBaseFilter>& renderer : Renderers()) {
      ComPtr<I> face;
      if (SUCCEEDED(renderer->QueryInterface(iid, face.OutVoid())) && face) return call(face.get());
    }
    return E_NOTIMPL;
  }

  std::atomic<int32_t> refs_{1};
  CriticalSection lock_;  // filters, state, clock, connections
  std::vector<Entry> filters_;
  FILTER_STATE state_ = State_Stopped;
  ComPtr<IReferenceClock> clock_;
  bool clockChosen_ = false;  // SetSyncSource was called (null: run without a clock)
  REFERENCE_TIME runStart_ = 0;
  REFERENCE_TIME pausedStreamTime_ = 0;
  bool runCounted_ = false;  // renderers counted for completion since the last Stop
  int connectDepth_ = 0;
  std::mutex reconnectMutex_;
  std::vector<PendingReconnect> reconnects_;
  GraphEvents events_;
};

FilterGraph::~FilterGraph() {
  Stop();
  // Every connection goes before any filter leaves, so no filter is released while a
  // neighbour still holds one of its pins.
  for (const Entry& e : filters_) {
    for (const ComPtr<IPin>& pin : FilterPins(e.filter.get())) pin->Disconnect();
  }
  std::vector<Entry> filters = std::move(filters_);
  filters_.clear();
  for (Entry& e : filters) {
    e.filter->SetSyncSource(nullptr);
    e.filter->JoinFilterGraph(nullptr, nullptr);
  }
  filters.clear();
  for (PendingReconnect& r : reconnects_) DeleteMediaTypeCopy(r.type);
  reconnects_.clear();
  clock_.Reset();
  CountHostMediaObject(-1);
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, const char16_t* name) {
  if (!filter) return E_POINTER;
  CriticalSectionGuard guard(lock_);
  if (Contains(filter)) return E_INVALIDARG;
  HRESULT hr = filter->JoinFilterGraph(static_cast<IFilterGraph2*>(this), name);
  if (FAILED(hr)) return hr;
  filters_.push_back({ComPtr<IBaseFilter>::Share(filter), name ? name : u""});
  if (clock_) filter->SetSyncSource(clock_.get());
  return S_OK;
}

void FilterGraph::DetachFilter(IBaseFilter* filter) {
  for (const ComPtr<IPin>& pin : FilterPins(filter)) {
    if (ComPtr<IPin> peer = PinPeer(pin.get())) peer->Disconnect();
    pin->Disconnect();
  }
  events_.Forget(filter);
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter) {
  if (!filter) return E_POINTER;
  CriticalSectionGuard guard(lock_);
  auto it = std::find_if(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter.get() == filter; });
  if (it == filters_.end()) return VFW_E_NOT_FOUND;
  ComPtr<IBaseFilter> keep = std::move(it->filter);
  filters_.erase(it);
  if (state_ != State_Stopped) filter->Stop();
  DetachFilter(filter);
  filter->SetSyncSource(nullptr);
  filter->JoinFilterGraph(nullptr, nullptr);
  return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** out) {
  if (!out) return E_POINTER;
  *out = CreateFilterSnapshotEnum(Snapshot());
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT FilterGraph::FindFilterByName(const char16_t* name, IBaseFilter** out) {
  if (!name || !out) return E_POINTER;
  *out = nullptr;
  CriticalSectionGuard guard(lock_);
  for (const Entry& e : filters_) {
    if (e.name == name) {
      *out = e.filter.get();
      (*out)->AddRef();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT FilterGraph::ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) {
  if (!output || !input) return E_POINTER;
  CriticalSectionGuard guard(lock_);
  BeginConnecting();
  HRESULT hr = output->Connect(input, type);
  EndConnecting();
  return hr;
}

HRESULT FilterGraph::Connect(IPin* output, IPin* input) {
  if (!output || !input) return E_POINTER;
  CriticalSectionGuard guard(lock_);
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  BeginConnecting();
  HRESULT hr = ConnectThrough(output, input, 0);
  EndConnecting();
  return hr;
}

ComPtr<IBaseFilter> FilterGraph::AddFromFactory(const Factory& factory) {
  ComPtr<IBaseFilter> filter;
  if (FAILED(CoCreateInstance(*factory.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.OutVoid())) ||
      !filter || FAILED(AddFilter(filter.get(), factory.name))) {
    return {};
  }
  return filter;
}

HRESULT FilterGraph::ConnectThrough(IPin* output, IPin* input, int depth) {
  if (SUCCEEDED(output->Connect(input, nullptr))) return S_OK;
  if (depth >= kMaxRenderDepth) return VFW_E_CANNOT_CONNECT;
  for (const Factory& factory : kFactories) {
    ComPtr<IBaseFilter> filter = AddFromFactory(factory);
    if (!filter) continue;
    for (const ComPtr<IPin>& in : FilterPins(filter.get(), PINDIR_INPUT)) {
      if (FAILED(output->Connect(in.get(), nullptr))) continue;
      for (const ComPtr<IPin>& out : FilterPins(filter.get(), PINDIR_OUTPUT)) {
        if (SUCCEEDED(ConnectThrough(out.get(), input, depth + 1))) return S_OK;
      }
      break;
    }
    RemoveFilter(filter.get());
  }
  return VFW_E_CANNOT_CONNECT;
}

HRESULT FilterGraph::Render(IPin* output) {
  if (!output) return E_POINTER;
  CriticalSectionGuard guard(lock_);
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  if (PinPeer(output)) return VFW_E_ALREADY_CONNECTED;
  BeginConnecting();
  HRESULT hr = RenderPin(output, 0);
  EndConnecting();
  return hr;
}

HRESULT FilterGraph::AddSourceFilter(const char16_t* file, const char16_t* name, IBaseFilter** out) {
  if (!file || !out) return E_POINTER;
  *out = nullptr;
  ComPtr<IBaseFilter> source;
  ComPtr<IFileSourceFilter> loader;
  HRESULT hr = CoCreateInstance(CLSID_MediaFileSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                source.OutVoid());
  if (SUCCEEDED(hr)) hr = source->QueryInterface(IID_IFileSourceFilter, loader.OutVoid());
  if (SUCCEEDED(hr)) hr = loader->Load(file, nullptr);
  if (SUCCEEDED(hr)) hr = AddFilter(source.get(), name ? name : file);
  if (FAILED(hr)) return hr;
  *out = source.get();
  (*out)->AddRef();
  return S_OK;
}

HRESULT FilterGraph::RenderFile(const char16_t* file, const char16_t*) {
  if (!file) return E_POINTER;
  CriticalSectionGuard guard(lock_);
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  ComPtr<IBaseFilter> source;
  HRESULT hr = AddSourceFilter(file, file, source.Out());
  if (FAILED(hr)) return hr;
  // Every stream the source offers that something can play.
  BeginConnecting();
  bool rendered = false;
  for (const ComPtr<IPin>& out : FilterPins(source.get(), PINDIR_OUTPUT)) {
    if (SUCCEEDED(RenderPin(out.get(), 0))) rendered = true;
  }
  EndConnecting();
  if (rendered) return S_OK;
  RemoveFilter(source.get());
  return VFW_E_CANNOT_RENDER;
}

HRESULT FilterGraph::RenderPin(IPin* output, int depth) {
  if (depth > kMaxRenderDepth) return VFW_E_CANNOT_RENDER;
  ComPtr<IBaseFilter> own = PinFilter(output);
  // An input already in the graph and still free comes first.
  for (const ComPtr<IBaseFilter>& filter : Snapshot()) {
    if (filter.get() == own.get()) continue;
    for (const ComPtr<IPin>& in : FilterPins(filter.get(), PINDIR_INPUT)) {
      if (PinPeer(in.get()) || FAILED(output->Connect(in.get(), nullptr))) continue;
      if (SUCCEEDED(RenderOutputs(filter.get(), depth + 1))) return S_OK;
      output->Disconnect();
      in->Disconnect();
    }
  }
  // Then a new filter from each factory; a branch that fails takes its filters away.
  for (const Factory& factory : kFactories) {
    ComPtr<IBaseFilter> filter = AddFromFactory(factory);
    if (!filter) continue;
    for (const ComPtr<IPin>& in : FilterPins(filter.get(), PINDIR_INPUT)) {
      if (FAILED(output->Connect(in.get(), nullptr))) continue;
      if (SUCCEEDED(RenderOutputs(filter.get(), depth + 1))) return S_OK;
      break;
    }
    RemoveFilter(filter.get());
  }
  return VFW_E_CANNOT_RENDER;
}

HRESULT FilterGraph::RenderOutputs(IBaseFilter* filter, int depth) {
  std::vector<ComPtr<IPin>> outputs = FilterPins(filter, PINDIR_OUTPUT);
  if (outputs.empty()) return S_OK;  // a renderer: the branch ends here
  bool rendered = false;
  for (const ComPtr<IPin>& out : outputs) {
    if (PinPeer(out.get())) {
      rendered = true;
      continue;
    }
    if (SUCCEEDED(RenderPin(out.get(), depth))) rendered = true;
  }
  return rendered ? S_OK : VFW_E_CANNOT_RENDER;
}

HRESULT FilterGraph::ReconnectEx(IPin* pin, const AM_MEDIA_TYPE* type) {
  if (!pin) return E_POINTER;
  AM_MEDIA_TYPE* copy = nullptr;
  if (type && !(copy = CopyMediaTypeToTaskMemory(*type))) return E_OUTOFMEMORY;
  {
    std::lock_guard<std::mutex> lock(reconnectMutex_);
    reconnects_.push_back({ComPtr<IPin>::Share(pin), copy});
  }
  // Asked outside any connecting call (and not by another thread while one runs):
  // carried out at once.
  if (lock_.TryEnter()) {
    if (connectDepth_ == 0) {
      BeginConnecting();
      EndConnecting();
    }
    lock_.Leave();
  }
  return S_OK;
}

void FilterGraph::EndConnecting() {
  if (connectDepth_ == 1) CarryOutReconnects();
  --connectDepth_;
}

void FilterGraph::CarryOutReconnects() {
  for (int round = 0; round < kMaxReconnectRounds; ++round) {
    std::vector<PendingReconnect> batch;
    {
      std::lock_guard<std::mutex> lock(reconnectMutex_);
      batch.swap(reconnects_);
    }
    if (batch.empty()) return;
    for (PendingReconnect& r : batch) {
      ReconnectNow(r.pin.get(), r.type);
      DeleteMediaTypeCopy(r.type);
    }
  }
  // Filters still asking after that many rounds would go on for ever.
  std::lock_guard<std::mutex> lock(reconnectMutex_);
  for (PendingReconnect& r : reconnects_) DeleteMediaTypeCopy(r.type);
  reconnects_.clear();
}

void FilterGraph::ReconnectNow(IPin* pin, const AM_MEDIA_TYPE* type) {
  ComPtr<IPin> peer = PinPeer(pin);
  PIN_DIRECTION direction;
  if (!peer || FAILED(pin->QueryDirection(&direction))) return;
  IPin* output = direction == PINDIR_OUTPUT ? pin : peer.get();
  IPin* input = direction == PINDIR_OUTPUT ? peer.get() : pin;
  output->Disconnect();
  input->Disconnect();
  // Should the asked type no longer fit, the pins still end up connected.
  if (FAILED(output->Connect(input, type)) && type) output->Connect(input, nullptr);
}

std::vector<ComPtr<IBaseFilter>> FilterGraph::Renderers() {
  CriticalSectionGuard guard(lock_);
  std::vector<ComPtr<IBaseFilter>> renderers;
  for (const Entry& e : filters_) {
    bool hasOutput = false, connectedInput = false;
    for (const ComPtr<IPin>& pin : FilterPins(e.filter.get())) {
      PIN_DIRECTION d;
      if (FAILED(pin->QueryDirection(&d))) continue;
      if (d == PINDIR_OUTPUT) hasOutput = true;
      if (d == PINDIR_INPUT && PinPeer(pin.get())) connectedInput = true;
    }
    if (connectedInput && !hasOutput) renderers.push_back(e.filter);
  }
  return renderers;
}

// Downstream filters before the filters that feed them.
std::vector<IBaseFilter*> FilterGraph::StateOrder() {
  const size_t n = filters_.size();
  std::vector<std::vector<size_t>> downstream(n);
  for (size_t i = 0; i < n; ++i) {
    for (const ComPtr<IPin>& out : FilterPins(filters_[i].filter.get(), PINDIR_OUTPUT)) {
      ComPtr<IBaseFilter> next = PinFilter(PinPeer(out.get()).get());
      for (size_t j = 0; j < n; ++j) {
        if (next && filters_[j].filter.get() == next.get()) downstream[i].push_back(j);
      }
    }
  }
  std::vector<IBaseFilter*> order;
  std::vector<bool> placed(n, false);
  for (bool progress = true; progress && order.size() < n;) {
    progress = false;
    for (size_t i = 0; i < n; ++i) {
      if (placed[i]) continue;
      if (std::all_of(downstream[i].begin(), downstream[i].end(), [&](size_t j) { return placed[j]; })) {
        placed[i] = true;
        order.push_back(filters_[i].filter.get());
        progress = true;
      }
    }
  }
  for (size_t i = 0; i < n; ++i) {
    if (!placed[i]) order.push_back(filters_[i].filter.get());
  }
  return order;
}

HRESULT FilterGraph::Stop() {
  CriticalSectionGuard guard(lock_);
  HRESULT result = S_OK;
  for (IBaseFilter* filter : StateOrder()) {
    HRESULT hr = filter->Stop();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  state_ = State_Stopped;
  pausedStreamTime_ = 0;
  runCounted_ = false;
  events_.Stop();
  return result;
}

HRESULT FilterGraph::Pause() {
  CriticalSectionGuard guard(lock_);
  if (state_ == State_Paused) return S_OK;
  if (!clockChosen_) SetDefaultSyncSource();
  HRESULT result = S_OK;
  for (IBaseFilter* filter : StateOrder()) {
    HRESULT hr = filter->Pause();
    if (FAILED(hr)) {
      Stop();
      return hr;
    }
    if (hr == S_FALSE) result = S_FALSE;
  }
  if (state_ == State_Running && clock_) {
    REFERENCE_TIME now = 0;
    clock_->GetTime(&now);
    pausedStreamTime_ = now - runStart_;
  }
  state_ = State_Paused;
  return result;
}

HRESULT FilterGraph::Run(REFERENCE_TIME start) {
  CriticalSectionGuard guard(lock_);
  if (state_ == State_Running) return S_OK;
  if (state_ == State_Stopped) {
    HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  runStart_ = start;
  if (start == 0 && clock_) {
    // Stream time goes on from where the pause held it.
    REFERENCE_TIME now = 0;
    clock_->GetTime(&now);
    runStart_ = now - pausedStreamTime_;
  }
  // Counted at the first Run since the graph stopped (paused or not in between), before
  // any renderer runs, since a renderer may complete inside its Run.
  if (!runCounted_) {
    runCounted_ = true;
    std::vector<IBaseFilter*> renderers;
    for (const ComPtr<IBaseFilter>& r : Renderers()) renderers.push_back(r.get());
    events_.StartRun(renderers);
  }
  for (IBaseFilter* filter : StateOrder()) {
    HRESULT hr = filter->Run(runStart_);
    if (FAILED(hr)) {
      Stop();
      return hr;
    }
  }
  state_ = State_Running;
  return S_OK;
}

// A new current position starts a new segment whose samples are timed from 0, so stream
// time restarts there: a running graph is paused for the seek and run again from now.
HRESULT FilterGraph::SetPositions(int64_t* c, uint32_t cf, int64_t* st, uint32_t sf) {
  CriticalSectionGuard guard(lock_);
  const bool moves = (cf & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_NoPositioning;
  const bool running = moves && state_ == State_Running;
  if (running) Pause();
  HRESULT hr = Seek([&](IMediaSeeking* s) { return s->SetPositions(c, cf, st, sf); });
  if (moves && SUCCEEDED(hr)) pausedStreamTime_ = 0;
  if (running) {
    HRESULT again = Run(0);
    if (SUCCEEDED(hr) && FAILED(again)) hr = again;
  }
  return hr;
}

HRESULT FilterGraph::GetState(uint32_t timeoutMs, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  std::vector<ComPtr<IBaseFilter>> filters;
  {
    CriticalSectionGuard guard(lock_);
    *state = state_;
    filters = Snapshot();
  }
  // Asked without the graph lock: a renderer may wait here for its first sample.
  HRESULT result = S_OK;
  for (const ComPtr<IBaseFilter>& filter : filters) {
    FILTER_STATE s;
    if (filter->GetState(timeoutMs, &s) == VFW_S_STATE_INTERMEDIATE) result = VFW_S_STATE_INTERMEDIATE;
  }
  return result;
}

HRESULT FilterGraph::InstallClock(IReferenceClock* clock) {
  clock_ = ComPtr<IReferenceClock>::Share(clock);
  clockChosen_ = true;
  HRESULT result = S_OK;
  for (const Entry& e : filters_) {
    HRESULT hr = e.filter->SetSyncSource(clock);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  return result;
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* clock) {
  CriticalSectionGuard guard(lock_);
  return InstallClock(clock);
}

HRESULT FilterGraph::SetDefaultSyncSource() {
  CriticalSectionGuard guard(lock_);
  // A filter that is a clock (an audio renderer) paces the graph; else the system clock.
  for (const Entry& e : filters_) {
    ComPtr<IReferenceClock> own;
    if (SUCCEEDED(e.filter->QueryInterface(IID_IReferenceClock, own.OutVoid())) && own) {
      return InstallClock(own.get());
    }
  }
  ComPtr<IReferenceClock> system;
  HRESULT hr = CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock,
                                system.OutVoid());
  if (FAILED(hr)) return hr;
  return InstallClock(system.get());
}

HRESULT CreateSystemClock(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  SystemReferenceClock* clock = SystemReferenceClock::Create();
  if (!clock) return E_OUTOFMEMORY;
  HRESULT hr = clock->QueryInterface(iid, out);
  clock->Release();
  return hr;
}

}  // namespace

HRESULT CreateFilterGraph(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* graph = new (std::nothrow) FilterGraph();
  if (!graph) return E_OUTOFMEMORY;
  HRESULT hr = graph->QueryInterface(iid, out);
  graph->Release();
  return hr;
}

void RegisterFilterGraphClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterComClass(CLSID_FilterGraph, CreateFilterGraph);
    RegisterComClass(CLSID_SystemClock, CreateSystemClock);
    RegisterMediaControlTypeLibrary();
  });
}
