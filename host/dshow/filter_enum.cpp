#include "host/dshow/filter_enum.h"

#include <atomic>
#include <memory>
#include <new>

#include "host/dshow/reference_clock.h"

namespace {

class FilterSnapshotEnum final : public IEnumFilters {
 public:
  FilterSnapshotEnum(std::shared_ptr<const std::vector<ComPtr<IBaseFilter>>> filters, size_t position)
      : filters_(std::move(filters)), position_(position) {
    CountHostMediaObject(1);
  }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumFilters) {
      *out = static_cast<IEnumFilters*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return static_cast<uint32_t>(refs_.fetch_add(1) + 1); }
  uint32_t Release() override {
    int32_t n = refs_.fetch_sub(1) - 1;
    if (n == 0) delete this;
    return static_cast<uint32_t>(n);
  }

  HRESULT Next(uint32_t count, IBaseFilter** filters, uint32_t* fetched) override {
    if (!filters) return E_POINTER;
    if (!fetched && count > 1) return E_INVALIDARG;
    uint32_t n = 0;
    while (n < count && position_ < filters_->size()) {
      filters[n] = (*filters_)[position_++].get();
      filters[n++]->AddRef();
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(uint32_t count) override {
    size_t left = filters_->size() - position_;
    if (count > left) {
      position_ = filters_->size();
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumFilters** copy) override {
    if (!copy) return E_POINTER;
    *copy = new (std::nothrow) FilterSnapshotEnum(filters_, position_);
    return *copy ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~FilterSnapshotEnum() { CountHostMediaObject(-1); }

  std::atomic<int32_t> refs_{1};
  std::shared_ptr<const std::vector<ComPtr<IBaseFilter>>> filters_;
  size_t position_;
};

}  // namespace

IEnumFilters* CreateFilterSnapshotEnum(std::vector<ComPtr<IBaseFilter>> filters) {
  auto list = std::make_shared<const std::vector<ComPtr<IBaseFilter>>>(std::move(filters));
  return new (std::nothrow) FilterSnapshotEnum(std::move(list), 0);
}
