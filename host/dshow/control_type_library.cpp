#include "host/dshow/control_type_library.h"

#include <iterator>

#include "host/com/automation.h"
#include "host/dshow/guids.h"
#include "host/dshow/interfaces.h"

namespace {

// Each member calls the method of that name on the IMediaPosition Invoke was given.
IMediaPosition* Position(void* instance) { return static_cast<IMediaPosition*>(instance); }

template <HRESULT (IMediaPosition::*Get)(double*)>
HRESULT GetDouble(void* instance, VARIANT* value) {
  value->vt = VT_R8;
  value->dblVal = 0;
  return (Position(instance)->*Get)(&value->dblVal);
}

template <HRESULT (IMediaPosition::*Put)(double)>
HRESULT PutDouble(void* instance, VARIANT* value) {
  return (Position(instance)->*Put)(value->dblVal);
}

template <HRESULT (IMediaPosition::*Ask)(int32_t*)>
HRESULT AskLong(void* instance, VARIANT* value) {
  value->vt = VT_I4;
  value->lVal = 0;
  return (Position(instance)->*Ask)(&value->lVal);
}

constexpr uint16_t kGet = DISPATCH_PROPERTYGET;
constexpr uint16_t kPut = DISPATCH_PROPERTYPUT;
constexpr uint16_t kMethod = DISPATCH_METHOD;

// Times in seconds, the rate as a factor; ids in the interface's method order.
const AutomationMember kPositionMembers[] = {
    {u"Duration", 1, kGet, VT_R8, GetDouble<&IMediaPosition::get_Duration>},
    {u"CurrentPosition", 2, kPut, VT_R8, PutDouble<&IMediaPosition::put_CurrentPosition>},
    {u"CurrentPosition", 2, kGet, VT_R8, GetDouble<&IMediaPosition::get_CurrentPosition>},
    {u"StopTime", 3, kGet, VT_R8, GetDouble<&IMediaPosition::get_StopTime>},
    {u"StopTime", 3, kPut, VT_R8, PutDouble<&IMediaPosition::put_StopTime>},
    {u"PrerollTime", 4, kGet, VT_R8, GetDouble<&IMediaPosition::get_PrerollTime>},
    {u"PrerollTime", 4, kPut, VT_R8, PutDouble<&IMediaPosition::put_PrerollTime>},
    {u"Rate", 5, kPut, VT_R8, PutDouble<&IMediaPosition::put_Rate>},
    {u"Rate", 5, kGet, VT_R8, GetDouble<&IMediaPosition::get_Rate>},
    {u"CanSeekForward", 6, kMethod, VT_I4, AskLong<&IMediaPosition::CanSeekForward>},
    {u"CanSeekBackward", 7, kMethod, VT_I4, AskLong<&IMediaPosition::CanSeekBackward>},
};

const AutomationInterface kInterfaces[] = {
    {IID_IMediaPosition, kPositionMembers, std::size(kPositionMembers)},
};

const AutomationLibrary kControlLibrary = {LIBID_MediaControlTypeLib, 1, 0, u"control.tlb", kInterfaces,
                                           std::size(kInterfaces)};

}  // namespace

void RegisterMediaControlTypeLibrary() { RegisterTypeLibrary(&kControlLibrary); }

HRESULT GetMediaPositionTypeInfo(ITypeInfo** out) {
  return GetRegisteredTypeInfo(&kControlLibrary, IID_IMediaPosition, out);
}
