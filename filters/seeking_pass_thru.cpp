#include "filters/seeking_pass_thru.h"

#include "filters/com_base.h"
#include "filters/render_pos_pass_thru.h"

namespace {

class SeekingPassThru final : public ISeekingPassThru, public D_CComBase {
 public:
  explicit SeekingPassThru(IUnknown* outer) : D_CComBase("Seeking pass-through", outer) {}
  ~SeekingPassThru() override {
    if (passThru_) passThru_->InnerRelease();
  }

  DSHOW_OUTER_UNKNOWN

  HRESULT InnerQueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_ISeekingPassThru) return HandOutInterface(static_cast<ISeekingPassThru*>(this), out);
    if (passThru_ && (iid == IID_IMediaSeeking || iid == IID_IMediaPosition)) {
      return passThru_->InnerQueryInterface(iid, out);
    }
    return D_CComBase::InnerQueryInterface(iid, out);
  }

  HRESULT Init(int32_t supportRendering, IPin* pin) override {
    if (!pin) return E_POINTER;
    if (passThru_) return E_FAIL;
    HRESULT hr = S_OK;
    D_CPosPassThru* p = supportRendering
                            ? new (std::nothrow) D_CRenderPosPassThru("Renderer D_CPosPassThru", OuterUnknown(), &hr, pin)
                            : new (std::nothrow) D_CPosPassThru("D_CPosPassThru", OuterUnknown(), &hr, pin);
    if (!p) return E_OUTOFMEMORY;
    p->InnerAddRef();
    if (FAILED(hr)) {
      p->InnerRelease();
      return hr;
    }
    passThru_ = p;
    return S_OK;
  }

 private:
  D_CPosPassThru* passThru_ = nullptr;  // its inner count holds it
};

}  // namespace

HRESULT CreateSeekingPassThruObject(IUnknown* outer, REFIID iid, void** out) {
  return MakeObjectFor<SeekingPassThru>(iid, out, outer);
}
