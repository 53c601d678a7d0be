#include "tests/host/dshow/graph_test_filter.h"

#include <map>

#include "host/com/class_registry.h"

GraphTestPin::GraphTestPin(GraphTestFilter* filter, CriticalSection* lock, PIN_DIRECTION direction, const GUID& major)
    : D_CPinBase("test pin", filter, lock, nullptr, direction == PINDIR_INPUT ? u"In" : u"Out", direction),
      owner_(filter),
      major_(major) {}

HRESULT GraphTestPin::ProposedType(int32_t position, D_CMediaTypeRec* type) {
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  type->SetMajorType(major_);
  type->formattype = FORMAT_None;
  return S_OK;
}

HRESULT GraphTestPin::FinishConnection(IPin*) {
  if (owner_->onConnected) owner_->onConnected(this);
  return S_OK;
}

GraphTestFilter::GraphTestFilter(std::string name, std::vector<GUID> inputs, std::vector<GUID> outputs,
                                 std::vector<std::string>* log)
    : D_CFilterBase("test", nullptr, &lock_, GUID_NULL), name_(std::move(name)), log_(log) {
  for (const GUID& g : inputs) pins_.push_back(std::make_unique<GraphTestPin>(this, &lock_, PINDIR_INPUT, g));
  for (const GUID& g : outputs) pins_.push_back(std::make_unique<GraphTestPin>(this, &lock_, PINDIR_OUTPUT, g));
}

HRESULT GraphTestFilter::InnerQueryInterface(REFIID iid, void** out) {
  if (fileSource && iid == IID_IFileSourceFilter) return HandOutInterface(static_cast<IFileSourceFilter*>(this), out);
  if (audio && iid == IID_IBasicAudio) return HandOutInterface(static_cast<IBasicAudio*>(this), out);
  return D_CFilterBase::InnerQueryInterface(iid, out);
}

void GraphTestFilter::Log(const char* what) {
  if (log_) log_->push_back(name_ + ":" + what);
}

HRESULT GraphTestFilter::Stop() {
  Log("Stop");
  if (onStop) onStop();
  return D_CFilterBase::Stop();
}

HRESULT GraphTestFilter::Pause() {
  Log("Pause");
  return D_CFilterBase::Pause();
}

HRESULT GraphTestFilter::Run(REFERENCE_TIME start) {
  Log("Run");
  return D_CFilterBase::Run(start);
}

HRESULT GraphTestFilter::JoinFilterGraph(IFilterGraph* graph, const char16_t* name) {
  Log(graph ? "Join" : "Leave");
  return D_CFilterBase::JoinFilterGraph(graph, name);
}

HRESULT GraphTestFilter::Load(const char16_t* fileName, const AM_MEDIA_TYPE*) {
  loaded = fileName;
  return loadResult;
}

namespace {

std::map<int, std::function<GraphTestFilter*()>>& Makers() {
  static std::map<int, std::function<GraphTestFilter*()>> makers;
  return makers;
}

template <int N>
HRESULT MakeTestFilter(IUnknown*, REFIID iid, void** out) {
  GraphTestFilter* f = Makers()[N]();
  f->InnerAddRef();
  HRESULT hr = f->InnerQueryInterface(iid, out);
  f->InnerRelease();
  return hr;
}

const CLSID* const kFactoryClasses[] = {&CLSID_Mp3DecoderFilter, &CLSID_DSoundRender, &CLSID_MediaFileSource};
constexpr ClassFactoryProc kFactoryProcs[] = {MakeTestFilter<0>, MakeTestFilter<1>, MakeTestFilter<2>};

}  // namespace

void RegisterTestFactory(const CLSID& clsid, std::function<GraphTestFilter*()> make) {
  for (int i = 0; i < 3; ++i) {
    if (*kFactoryClasses[i] != clsid) continue;
    Makers()[i] = std::move(make);
    RegisterComClass(clsid, kFactoryProcs[i]);
  }
}
