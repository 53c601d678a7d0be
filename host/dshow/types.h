#pragma once
// The records the media-filter interfaces exchange, with fixed-width fields. Sizes are
// what sizeof and offsetof give here, never a 32-bit platform's byte counts.
#include <cstddef>
#include <cstdint>

#include "host/com/unknown.h"

// Times in 100-nanosecond units.
using REFERENCE_TIME = int64_t;
// Seconds, as IMediaPosition gives them.
using REFTIME = double;

struct IBaseFilter;
struct IFilterGraph;

struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  int32_t bFixedSizeSamples;
  int32_t bTemporalCompression;
  uint32_t lSampleSize;
  GUID formattype;
  IUnknown* pUnk;     // holds a reference when set
  uint32_t cbFormat;
  uint8_t* pbFormat;  // task memory of cbFormat bytes
};

struct ALLOCATOR_PROPERTIES {
  int32_t cBuffers;
  int32_t cbBuffer;
  int32_t cbAlign;
  int32_t cbPrefix;
};

struct AM_SAMPLE2_PROPERTIES {
  uint32_t cbData;
  uint32_t dwTypeSpecificFlags;
  uint32_t dwSampleFlags;
  int32_t lActual;
  REFERENCE_TIME tStart;
  REFERENCE_TIME tStop;
  uint32_t dwStreamId;
  AM_MEDIA_TYPE* pMediaType;
  uint8_t* pbBuffer;
  int32_t cbBuffer;
};

// Sample flags (AM_SAMPLE2_PROPERTIES::dwSampleFlags).
inline constexpr uint32_t AM_SAMPLE_SPLICEPOINT = 0x01;
inline constexpr uint32_t AM_SAMPLE_PREROLL = 0x02;
inline constexpr uint32_t AM_SAMPLE_DATADISCONTINUITY = 0x04;
inline constexpr uint32_t AM_SAMPLE_TYPECHANGED = 0x08;
inline constexpr uint32_t AM_SAMPLE_TIMEVALID = 0x10;
inline constexpr uint32_t AM_SAMPLE_MEDIATIMEVALID = 0x20;
inline constexpr uint32_t AM_SAMPLE_TIMEDISCONTINUITY = 0x40;
inline constexpr uint32_t AM_SAMPLE_STOPVALID = 0x100;
inline constexpr uint32_t AM_STREAM_MEDIA = 0;

// IMemAllocator::GetBuffer flags.
inline constexpr uint32_t AM_GBF_PREVFRAMESKIPPED = 1;
inline constexpr uint32_t AM_GBF_NOTASYNCPOINT = 2;
inline constexpr uint32_t AM_GBF_NOWAIT = 4;

enum FILTER_STATE : int32_t { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION : int32_t { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

inline constexpr size_t kMaxFilterName = 128;
inline constexpr size_t kMaxPinName = 128;

struct PIN_INFO {
  IBaseFilter* pFilter;  // holds a reference
  PIN_DIRECTION dir;
  char16_t achName[kMaxPinName];
};

struct FILTER_INFO {
  char16_t achName[kMaxFilterName];
  IFilterGraph* pGraph;  // holds a reference
};

enum QualityMessageType : int32_t { Famine = 0, Flood = 1 };

struct Quality {
  QualityMessageType Type;
  int32_t Proportion;  // 1000 = keep up
  REFERENCE_TIME Late;
  REFERENCE_TIME TimeStamp;
};

// IMediaSeeking capabilities and SetPositions flags.
inline constexpr uint32_t AM_SEEKING_CanSeekAbsolute = 0x1;
inline constexpr uint32_t AM_SEEKING_CanSeekForwards = 0x2;
inline constexpr uint32_t AM_SEEKING_CanSeekBackwards = 0x4;
inline constexpr uint32_t AM_SEEKING_CanGetCurrentPos = 0x8;
inline constexpr uint32_t AM_SEEKING_CanGetStopPos = 0x10;
inline constexpr uint32_t AM_SEEKING_CanGetDuration = 0x20;
inline constexpr uint32_t AM_SEEKING_NoPositioning = 0x0;
inline constexpr uint32_t AM_SEEKING_AbsolutePositioning = 0x1;
inline constexpr uint32_t AM_SEEKING_RelativePositioning = 0x2;
inline constexpr uint32_t AM_SEEKING_IncrementalPositioning = 0x3;
inline constexpr uint32_t AM_SEEKING_PositioningBitsMask = 0x3;
inline constexpr uint32_t AM_SEEKING_SeekToKeyFrame = 0x4;
inline constexpr uint32_t AM_SEEKING_ReturnTime = 0x8;

struct RECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

struct BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;  // positive: rows bottom-up
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
inline constexpr uint32_t BI_RGB = 0;

// The format block of FORMAT_VideoInfo.
struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  uint32_t dwBitRate;
  uint32_t dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
};

// The format block of FORMAT_WaveFormatEx: 18 bytes, byte-packed as in a WAVE file.
#pragma pack(push, 1)
struct WAVEFORMATEX {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
inline constexpr uint16_t WAVE_FORMAT_PCM = 1;

// Filter registration records; no filter of this library supplies one.
struct AMOVIESETUP_MEDIATYPE {
  const CLSID* clsMajorType;
  const CLSID* clsMinorType;
};
struct AMOVIESETUP_PIN {
  const char16_t* strName;
  int32_t bRendered;
  int32_t bOutput;
  int32_t bZero;
  int32_t bMany;
  const CLSID* clsConnectsToFilter;
  const char16_t* strConnectsToPin;
  uint32_t nTypes;
  const AMOVIESETUP_MEDIATYPE* lpTypes;
};
struct AMOVIESETUP_FILTER {
  const CLSID* clsID;
  const char16_t* strName;
  uint32_t dwMerit;
  uint32_t nPins;
  const AMOVIESETUP_PIN* lpPin;
};
