#pragma once
// The media-filter interfaces, methods in their published order. Identifiers are in
// guids.h, result codes in results.h, the records in types.h.
#include <cstdint>

#include "host/com/dispatch.h"
#include "host/com/unknown.h"
#include "host/dshow/guids.h"
#include "host/dshow/results.h"
#include "host/dshow/types.h"
#include "host/kernel/sync.h"

struct IPin;
struct IEnumPins;
struct IEnumMediaTypes;
struct IEnumFilters;
struct IMediaSample;
struct IMemAllocator;
struct IReferenceClock;
struct IFilterGraph;
struct IBaseFilter;
struct IMoniker;
struct IBindCtx;
struct IEnumRegFilters;

struct IPersist : IUnknown {
  virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IMediaFilter : IPersist {
  virtual HRESULT Stop() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Run(REFERENCE_TIME start) = 0;
  virtual HRESULT GetState(uint32_t timeoutMs, FILTER_STATE* state) = 0;
  virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
  virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;
};

struct IBaseFilter : IMediaFilter {
  virtual HRESULT EnumPins(IEnumPins** pins) = 0;
  virtual HRESULT FindPin(const char16_t* id, IPin** pin) = 0;
  virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
  virtual HRESULT JoinFilterGraph(IFilterGraph* graph, const char16_t* name) = 0;
  virtual HRESULT QueryVendorInfo(char16_t** vendorInfo) = 0;
};

struct IAMovieSetup : IUnknown {
  virtual HRESULT Register() = 0;
  virtual HRESULT Unregister() = 0;
};

struct IPin : IUnknown {
  virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT Disconnect() = 0;
  virtual HRESULT ConnectedTo(IPin** pin) = 0;
  virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
  virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
  virtual HRESULT QueryId(char16_t** id) = 0;
  virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT EnumMediaTypes(IEnumMediaTypes** types) = 0;
  virtual HRESULT QueryInternalConnections(IPin** pins, uint32_t* count) = 0;
  virtual HRESULT EndOfStream() = 0;
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;
};

struct IEnumPins : IUnknown {
  virtual HRESULT Next(uint32_t count, IPin** pins, uint32_t* fetched) = 0;
  virtual HRESULT Skip(uint32_t count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumPins** copy) = 0;
};

struct IEnumMediaTypes : IUnknown {
  virtual HRESULT Next(uint32_t count, AM_MEDIA_TYPE** types, uint32_t* fetched) = 0;
  virtual HRESULT Skip(uint32_t count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumMediaTypes** copy) = 0;
};

struct IEnumFilters : IUnknown {
  virtual HRESULT Next(uint32_t count, IBaseFilter** filters, uint32_t* fetched) = 0;
  virtual HRESULT Skip(uint32_t count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFilters** copy) = 0;
};

struct IMediaSample : IUnknown {
  virtual HRESULT GetPointer(uint8_t** buffer) = 0;
  virtual int32_t GetSize() = 0;
  virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
  virtual HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
  virtual HRESULT IsSyncPoint() = 0;
  virtual HRESULT SetSyncPoint(int32_t isSyncPoint) = 0;
  virtual HRESULT IsPreroll() = 0;
  virtual HRESULT SetPreroll(int32_t isPreroll) = 0;
  virtual int32_t GetActualDataLength() = 0;
  virtual HRESULT SetActualDataLength(int32_t length) = 0;
  virtual HRESULT GetMediaType(AM_MEDIA_TYPE** type) = 0;
  virtual HRESULT SetMediaType(AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT IsDiscontinuity() = 0;
  virtual HRESULT SetDiscontinuity(int32_t isDiscontinuity) = 0;
  virtual HRESULT GetMediaTime(int64_t* start, int64_t* end) = 0;
  virtual HRESULT SetMediaTime(int64_t* start, int64_t* end) = 0;
};

struct IMediaSample2 : IMediaSample {
  virtual HRESULT GetProperties(uint32_t size, uint8_t* properties) = 0;
  virtual HRESULT SetProperties(uint32_t size, const uint8_t* properties) = 0;
};

struct IMemAllocator : IUnknown {
  virtual HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
  virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) = 0;
  virtual HRESULT Commit() = 0;
  virtual HRESULT Decommit() = 0;
  virtual HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                            uint32_t flags) = 0;
  virtual HRESULT ReleaseBuffer(IMediaSample* sample) = 0;
};

struct IMemAllocatorNotifyCallbackTemp : IUnknown {
  virtual HRESULT NotifyRelease() = 0;
};

struct IMemAllocatorCallbackTemp : IMemAllocator {
  virtual HRESULT SetNotify(IMemAllocatorNotifyCallbackTemp* notify) = 0;
  virtual HRESULT GetFreeCount(int32_t* free) = 0;
};

struct IMemInputPin : IUnknown {
  virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
  virtual HRESULT NotifyAllocator(IMemAllocator* allocator, int32_t readOnly) = 0;
  virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) = 0;
  virtual HRESULT Receive(IMediaSample* sample) = 0;
  virtual HRESULT ReceiveMultiple(IMediaSample** samples, int32_t count, int32_t* processed) = 0;
  virtual HRESULT ReceiveCanBlock() = 0;
};

// Pull-mode reading; positions and lengths in bytes, a sample's times carry byte
// offsets times 10,000,000.
struct IAsyncReader : IUnknown {
  virtual HRESULT RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                                   IMemAllocator** actual) = 0;
  virtual HRESULT Request(IMediaSample* sample, uintptr_t user) = 0;
  virtual HRESULT WaitForNext(uint32_t timeoutMs, IMediaSample** sample, uintptr_t* user) = 0;
  virtual HRESULT SyncReadAligned(IMediaSample* sample) = 0;
  virtual HRESULT SyncRead(int64_t position, int32_t length, uint8_t* buffer) = 0;
  virtual HRESULT Length(int64_t* total, int64_t* available) = 0;
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;
};

struct IMediaSeeking : IUnknown {
  virtual HRESULT GetCapabilities(uint32_t* capabilities) = 0;
  virtual HRESULT CheckCapabilities(uint32_t* capabilities) = 0;
  virtual HRESULT IsFormatSupported(const GUID* format) = 0;
  virtual HRESULT QueryPreferredFormat(GUID* format) = 0;
  virtual HRESULT GetTimeFormat(GUID* format) = 0;
  virtual HRESULT IsUsingTimeFormat(const GUID* format) = 0;
  virtual HRESULT SetTimeFormat(const GUID* format) = 0;
  virtual HRESULT GetDuration(int64_t* duration) = 0;
  virtual HRESULT GetStopPosition(int64_t* stop) = 0;
  virtual HRESULT GetCurrentPosition(int64_t* current) = 0;
  virtual HRESULT ConvertTimeFormat(int64_t* target, const GUID* targetFormat, int64_t source,
                                    const GUID* sourceFormat) = 0;
  virtual HRESULT SetPositions(int64_t* current, uint32_t currentFlags, int64_t* stop,
                               uint32_t stopFlags) = 0;
  virtual HRESULT GetPositions(int64_t* current, int64_t* stop) = 0;
  virtual HRESULT GetAvailable(int64_t* earliest, int64_t* latest) = 0;
  virtual HRESULT SetRate(double rate) = 0;
  virtual HRESULT GetRate(double* rate) = 0;
  virtual HRESULT GetPreroll(int64_t* preroll) = 0;
};

struct IMediaPosition : IDispatch {
  virtual HRESULT get_Duration(REFTIME* length) = 0;
  virtual HRESULT put_CurrentPosition(REFTIME time) = 0;
  virtual HRESULT get_CurrentPosition(REFTIME* time) = 0;
  virtual HRESULT get_StopTime(REFTIME* time) = 0;
  virtual HRESULT put_StopTime(REFTIME time) = 0;
  virtual HRESULT get_PrerollTime(REFTIME* time) = 0;
  virtual HRESULT put_PrerollTime(REFTIME time) = 0;
  virtual HRESULT put_Rate(double rate) = 0;
  virtual HRESULT get_Rate(double* rate) = 0;
  virtual HRESULT CanSeekForward(int32_t* canSeek) = 0;
  virtual HRESULT CanSeekBackward(int32_t* canSeek) = 0;
};

// Advise events are the host's own events and semaphores.
struct IReferenceClock : IUnknown {
  virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
  virtual HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, Event* event,
                             uintptr_t* cookie) = 0;
  virtual HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                 Semaphore* semaphore, uintptr_t* cookie) = 0;
  virtual HRESULT Unadvise(uintptr_t cookie) = 0;
};

struct IFilterGraph : IUnknown {
  virtual HRESULT AddFilter(IBaseFilter* filter, const char16_t* name) = 0;
  virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
  virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
  virtual HRESULT FindFilterByName(const char16_t* name, IBaseFilter** filter) = 0;
  virtual HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT Reconnect(IPin* pin) = 0;
  virtual HRESULT Disconnect(IPin* pin) = 0;
  virtual HRESULT SetDefaultSyncSource() = 0;
};

struct IGraphBuilder : IFilterGraph {
  virtual HRESULT Connect(IPin* output, IPin* input) = 0;
  virtual HRESULT Render(IPin* output) = 0;
  virtual HRESULT RenderFile(const char16_t* file, const char16_t* playList) = 0;
  virtual HRESULT AddSourceFilter(const char16_t* file, const char16_t* filterName,
                                  IBaseFilter** filter) = 0;
  virtual HRESULT SetLogFile(uintptr_t file) = 0;
  virtual HRESULT Abort() = 0;
  virtual HRESULT ShouldOperationContinue() = 0;
};

struct IFilterGraph2 : IGraphBuilder {
  virtual HRESULT AddSourceFilterForMoniker(IMoniker* moniker, IBindCtx* context,
                                            const char16_t* filterName, IBaseFilter** filter) = 0;
  virtual HRESULT ReconnectEx(IPin* pin, const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT RenderEx(IPin* output, uint32_t flags, uint32_t* context) = 0;
};

using OAFilterState = int32_t;
using OAEVENT = intptr_t;
using OAHWND = intptr_t;

struct IMediaControl : IDispatch {
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(int32_t timeoutMs, OAFilterState* state) = 0;
  virtual HRESULT RenderFile(BSTR file) = 0;
  virtual HRESULT AddSourceFilter(BSTR file, IDispatch** filter) = 0;
  virtual HRESULT get_FilterCollection(IDispatch** collection) = 0;
  virtual HRESULT get_RegFilterCollection(IDispatch** collection) = 0;
  virtual HRESULT StopWhenReady() = 0;
};

struct IMediaEvent : IDispatch {
  virtual HRESULT GetEventHandle(OAEVENT* event) = 0;
  virtual HRESULT GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t timeoutMs) = 0;
  virtual HRESULT WaitForCompletion(int32_t timeoutMs, int32_t* code) = 0;
  virtual HRESULT CancelDefaultHandling(int32_t code) = 0;
  virtual HRESULT RestoreDefaultHandling(int32_t code) = 0;
  virtual HRESULT FreeEventParams(int32_t code, intptr_t param1, intptr_t param2) = 0;
};

struct IMediaEventEx : IMediaEvent {
  virtual HRESULT SetNotifyWindow(OAHWND window, int32_t message, intptr_t instance) = 0;
  virtual HRESULT SetNotifyFlags(int32_t flags) = 0;
  virtual HRESULT GetNotifyFlags(int32_t* flags) = 0;
};

struct IMediaEventSink : IUnknown {
  virtual HRESULT Notify(int32_t code, intptr_t param1, intptr_t param2) = 0;
};

// Volume in hundredths of a decibel (0 loudest, -10000 silent); balance -10000 to 10000.
struct IBasicAudio : IDispatch {
  virtual HRESULT put_Volume(int32_t volume) = 0;
  virtual HRESULT get_Volume(int32_t* volume) = 0;
  virtual HRESULT put_Balance(int32_t balance) = 0;
  virtual HRESULT get_Balance(int32_t* balance) = 0;
};

// A source filter that opens a file by name.
struct IFileSourceFilter : IUnknown {
  virtual HRESULT Load(const char16_t* fileName, const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT GetCurFile(char16_t** fileName, AM_MEDIA_TYPE* type) = 0;
};

struct IQualityControl : IUnknown {
  virtual HRESULT Notify(IBaseFilter* self, Quality quality) = 0;
  virtual HRESULT SetSink(IQualityControl* sink) = 0;
};

struct IQualProp : IUnknown {
  virtual HRESULT get_FramesDroppedInRenderer(int32_t* frames) = 0;
  virtual HRESULT get_FramesDrawn(int32_t* frames) = 0;
  virtual HRESULT get_AvgFrameRate(int32_t* rate) = 0;
  virtual HRESULT get_Jitter(int32_t* jitter) = 0;
  virtual HRESULT get_AvgSyncOffset(int32_t* offset) = 0;
  virtual HRESULT get_DevSyncOffset(int32_t* deviation) = 0;
};

struct ISeekingPassThru : IUnknown {
  virtual HRESULT Init(int32_t supportRendering, IPin* pin) = 0;
};

struct IFilterMapper : IUnknown {
  virtual HRESULT RegisterFilter(CLSID clsid, const char16_t* name, uint32_t merit) = 0;
  virtual HRESULT RegisterFilterInstance(CLSID clsid, const char16_t* name, CLSID* instance) = 0;
  virtual HRESULT RegisterPin(CLSID filter, const char16_t* name, int32_t rendered, int32_t output,
                              int32_t zero, int32_t many, CLSID connectsToFilter,
                              const char16_t* connectsToPin) = 0;
  virtual HRESULT RegisterPinType(CLSID filter, const char16_t* pinName, CLSID majorType,
                                  CLSID subType) = 0;
  virtual HRESULT UnregisterFilter(CLSID filter) = 0;
  virtual HRESULT UnregisterFilterInstance(CLSID instance) = 0;
  virtual HRESULT UnregisterPin(CLSID filter, const char16_t* name) = 0;
  virtual HRESULT EnumMatchingFilters(IEnumRegFilters** filters, uint32_t merit, int32_t inputNeeded,
                                      CLSID inputMajor, CLSID inputSub, int32_t render,
                                      int32_t outputNeeded, CLSID outputMajor, CLSID outputSub) = 0;
};

// The sample grabber's own control interface and the callback it calls for every
// sample; the user value is passed back untouched.
using SampleCallback = HRESULT (*)(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                   int32_t typeChanged, uintptr_t user);

struct GrabberControl : IUnknown {
  virtual HRESULT SetAcceptedType(const AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT GetConnectionType(AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT SetSampleCallback(SampleCallback callback, uintptr_t user) = 0;
  virtual HRESULT SetOutputBuffer(ALLOCATOR_PROPERTIES properties, uint8_t* buffer) = 0;
};
