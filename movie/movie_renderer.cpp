#include "movie/movie_renderer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/alloc.h"

namespace {
std::atomic<bool> g_failNextCreation{false};

// Rows of 24-bit pixels padded to 4 bytes.
int64_t PitchOf(int64_t width) { return ((width + 1) * 3) & ~int64_t{3}; }
}  // namespace

D_CMovieRenderer::D_CMovieRenderer(IUnknown* outer, HRESULT* result)
    : D_CQualityRenderer(CLSID_MovieRenderer, nullptr, outer, result) {}

D_CMovieRenderer::~D_CMovieRenderer() {
  // The buffer is ours alone: the movie record only borrows it.
  TrackedFree(frameBuffer_);
}

HRESULT D_CMovieRenderer::CheckAcceptedType(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  if (type->formattype != FORMAT_VideoInfo) return E_INVALIDARG;
  if (type->majortype != MEDIATYPE_Video || type->subtype != MEDIASUBTYPE_RGB24) return E_FAIL;
  // The format block must hold a whole header describing a frame that can be held.
  if (type->pbFormat == nullptr || type->cbFormat < sizeof(VIDEOINFOHEADER)) return E_INVALIDARG;
  VIDEOINFOHEADER header;
  std::memcpy(&header, type->pbFormat, sizeof(header));
  const int64_t width = header.bmiHeader.biWidth;
  const int64_t height = header.bmiHeader.biHeight < 0 ? -int64_t{header.bmiHeader.biHeight} : header.bmiHeader.biHeight;
  if (width <= 0 || height == 0 || PitchOf(width) * height > INT32_MAX) return E_INVALIDARG;
  return S_OK;
}

HRESULT D_CMovieRenderer::TakeMediaType(const AM_MEDIA_TYPE* type) {
  VIDEOINFOHEADER header;
  std::memcpy(&header, type->pbFormat, sizeof(header));
  CriticalSectionGuard guard(frameLock_);
  width_ = header.bmiHeader.biWidth;
  bottomUp_ = header.bmiHeader.biHeight > 0;
  height_ = bottomUp_ ? header.bmiHeader.biHeight : -header.bmiHeader.biHeight;
  pitch_ = static_cast<int32_t>(PitchOf(width_));
  TrackedFree(frameBuffer_);
  // Without a buffer, samples are taken and ignored.
  frameBuffer_ = static_cast<uint8_t*>(TrackedAlloc(static_cast<size_t>(pitch_) * height_, "", 0));
  newFrame_ = false;
  return S_OK;
}

HRESULT D_CMovieRenderer::RenderSampleData(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  CriticalSectionGuard guard(frameLock_);
  if (frameBuffer_ == nullptr) return S_OK;
  uint8_t* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || data == nullptr) return S_OK;
  // Whole rows of what the sample really holds, never more than the frame.
  const int32_t rows = std::min(height_, std::max(sample->GetActualDataLength(), 0) / pitch_);
  if (bottomUp_) {
    for (int32_t i = 0; i < rows; ++i) {
      std::memcpy(frameBuffer_ + static_cast<size_t>(height_ - 1 - i) * pitch_, data + static_cast<size_t>(i) * pitch_,
                  static_cast<size_t>(pitch_));
    }
  } else {
    std::memcpy(frameBuffer_, data, static_cast<size_t>(rows) * pitch_);
  }
  newFrame_ = true;
  if (Event* event = frameEvent_.load()) event->Set();
  return S_OK;
}

HRESULT D_CMovieRenderer::HandleBeginFlush() {
  HRESULT hr = D_CQualityRenderer::HandleBeginFlush();
  // A frame copied before a seek and not yet taken belongs to the old position: handed
  // out after it, it would show for a moment before the new one.
  CriticalSectionGuard guard(frameLock_);
  newFrame_ = false;
  return hr;
}

D_CMovieRenderer* CreateMovieRenderer(IUnknown* outer, HRESULT* result) {
  if (result != nullptr) *result = S_OK;
  if (g_failNextCreation.exchange(false)) return nullptr;
  return new (std::nothrow) D_CMovieRenderer(outer, result);
}

void FailNextMovieRendererCreation() { g_failNextCreation = true; }
