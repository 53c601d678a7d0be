#include "tests/host/dshow/graph_test_filter.h"

#include <map>

#include "host/com/class_registry.h"

int GraphTestFilter::live = 0;

HRESULT GraphTestPin::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IPin) {
    *out = static_cast<IPin*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}
uint32_t GraphTestPin::AddRef() { return filter_->AddRef(); }
uint32_t GraphTestPin::Release() { return filter_->Release(); }

void GraphTestPin::ReleasePeer() {
  if (peer_) peer_->Release();
  peer_ = nullptr;
}

HRESULT GraphTestPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (peer_) return VFW_E_ALREADY_CONNECTED;
  AM_MEDIA_TYPE t{};
  t.majortype = major_;
  if (type) t = *type;
  if (!Accepts(&t)) return VFW_E_TYPE_NOT_ACCEPTED;
  HRESULT hr = receivePin->ReceiveConnection(this, &t);
  if (FAILED(hr)) return hr;
  peer_ = receivePin;
  peer_->AddRef();
  type_ = t;
  if (filter_->onConnected) filter_->onConnected(this);
  return S_OK;
}

HRESULT GraphTestPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (peer_) return VFW_E_ALREADY_CONNECTED;
  if (!Accepts(type)) return VFW_E_TYPE_NOT_ACCEPTED;
  peer_ = connector;
  peer_->AddRef();
  type_ = *type;
  if (filter_->onConnected) filter_->onConnected(this);
  return S_OK;
}

HRESULT GraphTestPin::Disconnect() {
  if (!peer_) return S_FALSE;
  ReleasePeer();
  return S_OK;
}

HRESULT GraphTestPin::ConnectedTo(IPin** pin) {
  *pin = peer_;
  if (!peer_) return VFW_E_NOT_CONNECTED;
  peer_->AddRef();
  return S_OK;
}

HRESULT GraphTestPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  *type = type_;
  return peer_ ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT GraphTestPin::QueryPinInfo(PIN_INFO* info) {
  *info = PIN_INFO{};
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = direction_;
  return S_OK;
}

HRESULT GraphTestPin::QueryDirection(PIN_DIRECTION* direction) {
  *direction = direction_;
  return S_OK;
}

namespace {

class PinList final : public IEnumPins {
 public:
  PinList(IBaseFilter* filter, std::vector<GraphTestPin*> pins) : filter_(ComPtr<IBaseFilter>::Share(filter)), pins_(std::move(pins)) {}
  HRESULT QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    if (--refs_ == 0) {
      delete this;
      return 0;
    }
    return refs_;
  }
  HRESULT Next(uint32_t count, IPin** pins, uint32_t* fetched) override {
    uint32_t n = 0;
    for (; n < count && at_ < pins_.size(); ++n) {
      pins[n] = pins_[at_++];
      pins[n]->AddRef();
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(uint32_t) override { return E_NOTIMPL; }
  HRESULT Reset() override {
    at_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumPins**) override { return E_NOTIMPL; }

 private:
  ComPtr<IBaseFilter> filter_;
  std::vector<GraphTestPin*> pins_;
  size_t at_ = 0;
  uint32_t refs_ = 1;
};

}  // namespace

GraphTestFilter::GraphTestFilter(std::string name, std::vector<GUID> inputs, std::vector<GUID> outputs,
                                 std::vector<std::string>* log)
    : name_(std::move(name)), log_(log) {
  ++live;
  for (const GUID& g : inputs) pins_.push_back(new GraphTestPin(this, PINDIR_INPUT, g));
  for (const GUID& g : outputs) pins_.push_back(new GraphTestPin(this, PINDIR_OUTPUT, g));
}

GraphTestFilter::~GraphTestFilter() {
  for (GraphTestPin* p : pins_) delete p;
  --live;
}

HRESULT GraphTestFilter::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IBaseFilter || iid == IID_IMediaFilter) {
    *out = static_cast<IBaseFilter*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}
uint32_t GraphTestFilter::AddRef() { return ++refs_; }
uint32_t GraphTestFilter::Release() {
  int n = --refs_;
  if (n == 0) delete this;
  return n;
}
HRESULT GraphTestFilter::GetClassID(CLSID* clsid) {
  *clsid = GUID_NULL;
  return S_OK;
}
void GraphTestFilter::Log(const char* what) {
  if (log_) log_->push_back(name_ + ":" + what);
}
HRESULT GraphTestFilter::Stop() {
  Log("Stop");
  if (onStop) onStop();
  state_ = State_Stopped;
  return S_OK;
}
HRESULT GraphTestFilter::Pause() {
  Log("Pause");
  state_ = State_Paused;
  return S_OK;
}
HRESULT GraphTestFilter::Run(REFERENCE_TIME) {
  Log("Run");
  state_ = State_Running;
  return S_OK;
}
HRESULT GraphTestFilter::GetState(uint32_t, FILTER_STATE* state) {
  *state = state_;
  return S_OK;
}
HRESULT GraphTestFilter::SetSyncSource(IReferenceClock* clock) {
  clock_ = ComPtr<IReferenceClock>::Share(clock);
  return S_OK;
}
HRESULT GraphTestFilter::GetSyncSource(IReferenceClock** clock) {
  *clock = clock_.get();
  if (*clock) (*clock)->AddRef();
  return S_OK;
}
HRESULT GraphTestFilter::EnumPins(IEnumPins** pins) {
  *pins = new PinList(this, pins_);
  return S_OK;
}
HRESULT GraphTestFilter::FindPin(const char16_t*, IPin** pin) {
  *pin = nullptr;
  return VFW_E_NOT_FOUND;
}
HRESULT GraphTestFilter::QueryFilterInfo(FILTER_INFO* info) {
  *info = FILTER_INFO{};
  return S_OK;
}
HRESULT GraphTestFilter::JoinFilterGraph(IFilterGraph* graph, const char16_t*) {
  Log(graph ? "Join" : "Leave");
  graph_ = graph;
  return S_OK;
}
HRESULT GraphTestFilter::Notify(int32_t code, intptr_t p1, intptr_t p2) {
  ComPtr<IMediaEventSink> sink;
  if (!graph_ || FAILED(graph_->QueryInterface(IID_IMediaEventSink, sink.OutVoid()))) return E_NOTIMPL;
  return sink->Notify(code, p1, p2);
}

namespace {

std::map<int, std::function<GraphTestFilter*()>>& Makers() {
  static std::map<int, std::function<GraphTestFilter*()>> makers;
  return makers;
}

template <int N>
HRESULT MakeTestFilter(IUnknown*, REFIID iid, void** out) {
  GraphTestFilter* f = Makers()[N]();
  HRESULT hr = f->QueryInterface(iid, out);
  f->Release();
  return hr;
}

}  // namespace

void RegisterTestFactory(const CLSID& clsid, std::function<GraphTestFilter*()> make) {
  if (clsid == CLSID_Mp3DecoderFilter) {
    Makers()[0] = std::move(make);
    RegisterComClass(clsid, MakeTestFilter<0>);
  } else {
    Makers()[1] = std::move(make);
    RegisterComClass(clsid, MakeTestFilter<1>);
  }
}
