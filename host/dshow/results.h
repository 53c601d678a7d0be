#pragma once
// The media-filter result and event codes, with the platform's published values.
#include <cstdint>

#include "host/com/hresult.h"

inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = MakeHresult(0x00040103);
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = MakeHresult(0x00040237);
inline constexpr HRESULT VFW_S_NO_STOP_TIME = MakeHresult(0x00040270);

inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeHresult(0x80040200);
inline constexpr HRESULT VFW_E_ENUM_OUT_OF_SYNC = MakeHresult(0x80040203);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHresult(0x80040204);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeHresult(0x80040207);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeHresult(0x80040208);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHresult(0x80040209);
inline constexpr HRESULT VFW_E_NO_ALLOCATOR = MakeHresult(0x8004020A);
inline constexpr HRESULT VFW_E_RUNTIME_ERROR = MakeHresult(0x8004020B);
inline constexpr HRESULT VFW_E_BUFFER_OVERFLOW = MakeHresult(0x8004020D);
inline constexpr HRESULT VFW_E_BADALIGN = MakeHresult(0x8004020E);
inline constexpr HRESULT VFW_E_ALREADY_COMMITTED = MakeHresult(0x8004020F);
inline constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = MakeHresult(0x80040210);
inline constexpr HRESULT VFW_E_NOT_COMMITTED = MakeHresult(0x80040211);
inline constexpr HRESULT VFW_E_SIZENOTSET = MakeHresult(0x80040212);
inline constexpr HRESULT VFW_E_NO_CLOCK = MakeHresult(0x80040213);
inline constexpr HRESULT VFW_E_NOT_FOUND = MakeHresult(0x80040216);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHresult(0x80040217);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = MakeHresult(0x80040218);
inline constexpr HRESULT VFW_E_STATE_CHANGED = MakeHresult(0x80040223);
inline constexpr HRESULT VFW_E_NOT_STOPPED = MakeHresult(0x80040224);
inline constexpr HRESULT VFW_E_WRONG_STATE = MakeHresult(0x80040227);
inline constexpr HRESULT VFW_E_START_TIME_AFTER_END = MakeHresult(0x80040228);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHresult(0x8004022A);
inline constexpr HRESULT VFW_E_SAMPLE_REJECTED = MakeHresult(0x8004022B);
inline constexpr HRESULT VFW_E_TIMEOUT = MakeHresult(0x8004022E);
inline constexpr HRESULT VFW_E_INVALID_MEDIA_TYPE = MakeHresult(0x80040248);
inline constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeHresult(0x80040249);
inline constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = MakeHresult(0x80040251);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHresult(0x8004025F);
inline constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = MakeHresult(0x80040265);

// Graph event codes (IMediaEventSink::Notify, IMediaEvent::GetEvent).
inline constexpr int32_t EC_COMPLETE = 0x01;
inline constexpr int32_t EC_USERABORT = 0x02;
inline constexpr int32_t EC_ERRORABORT = 0x03;
inline constexpr int32_t EC_QUALITY_CHANGE = 0x0B;
inline constexpr int32_t EC_WINDOW_DESTROYED = 0x15;
