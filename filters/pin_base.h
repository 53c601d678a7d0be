#pragma once
// The base of every pin: connection negotiation, the connection's media type, and the
// calls that only return a fixed code. A pin lives inside its filter: its count is the
// filter's and its lock is the filter's.
#include <atomic>
#include <cstdint>

#include "filters/com_base.h"
#include "filters/media_type.h"
#include "host/dshow/interfaces.h"
#include "host/kernel/sync.h"

class D_CFilterBase;

class D_CPinBase : public D_CComBase, public IPin, public IQualityControl {
 public:
  // The result pointer is not written.
  D_CPinBase(const char* objectName, D_CFilterBase* filter, CriticalSection* lock, HRESULT* result,
             const char16_t* pinName, PIN_DIRECTION direction);
  ~D_CPinBase() override;

  DSHOW_OUTER_UNKNOWN
  HRESULT InnerQueryInterface(REFIID iid, void** out) override;
  uint32_t InnerAddRef() override;
  uint32_t InnerRelease() override;

  HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT QueryPinInfo(PIN_INFO* info) override;
  HRESULT QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT QueryId(char16_t** id) override;
  HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT QueryInternalConnections(IPin**, uint32_t*) override { return E_NOTIMPL; }
  HRESULT EndOfStream() override { return S_OK; }
  HRESULT BeginFlush() override { return E_UNEXPECTED; }
  HRESULT EndFlush() override { return E_UNEXPECTED; }
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  HRESULT Notify(IBaseFilter*, Quality) override { return E_NOTIMPL; }
  HRESULT SetSink(IQualityControl* sink) override;

  virtual int32_t TypeListVersion() { return typeVersion_; }
  virtual HRESULT OnActivate() { return S_OK; }
  virtual HRESULT OnDeactivate();
  virtual HRESULT OnRun(REFERENCE_TIME) { return S_OK; }
  virtual HRESULT AcceptsType(const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT StoreConnectionType(const AM_MEDIA_TYPE* type);
  virtual HRESULT CheckPeer(IPin* peer);
  virtual HRESULT ReleaseConnection() { return S_OK; }
  virtual HRESULT FinishConnection(IPin*) { return S_OK; }
  // The pin's preferred type at `position`, for its media-type enumerator.
  virtual HRESULT ProposedType(int32_t position, D_CMediaTypeRec* type);
  virtual HRESULT DropConnection();

  bool IsConnected() const { return connected_.load() != nullptr; }
  IPin* ConnectedPin() const { return connected_.load(); }
  const char16_t* Name() const { return name_; }
  IPin* AsPin() { return this; }
  D_CFilterBase* Filter() const { return filter_; }
  const D_CMediaTypeRec& ConnectionType() const { return connectionType_; }
  // Where the samples' times count from: the start of the last segment announced.
  REFERENCE_TIME SegmentStart() const { return segmentStart_; }

 protected:
  HRESULT NegotiateType(IPin* receivePin, const AM_MEDIA_TYPE* type);
  HRESULT TryTypeList(IPin* receivePin, const AM_MEDIA_TYPE* templ, IEnumMediaTypes* types);
  HRESULT TryConnectWithType(IPin* receivePin, const AM_MEDIA_TYPE* type);
  void SetConnected(IPin* pin);

  char16_t* name_ = nullptr;
  std::atomic<IPin*> connected_{nullptr};  // holds a reference
  PIN_DIRECTION direction_;
  CriticalSection* lock_;
  std::atomic<bool> runtimeError_{false};
  D_CFilterBase* filter_;            // no reference
  IQualityControl* qualitySink_ = nullptr;  // no reference
  int32_t typeVersion_ = 1;
  D_CMediaTypeRec connectionType_;
  REFERENCE_TIME segmentStart_ = 0;
  REFERENCE_TIME segmentStop_ = INT64_MAX;
  double segmentRate_ = 1.0;
};
