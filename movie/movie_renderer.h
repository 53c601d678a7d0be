#pragma once
// The movie graph's frame renderer: it takes uncompressed 24-bit RGB video and copies
// each sample into a top-down frame buffer of its own, which the movie layer hands to
// the graph layer. The buffer is swapped, filled and handed over under the frame lock,
// since the copy runs on the graph's streaming thread.
#include <atomic>
#include <cstdint>

#include "filters/quality_renderer.h"
#include "host/kernel/sync.h"

class D_CMovieRenderer final : public D_CQualityRenderer {
 public:
  D_CMovieRenderer(IUnknown* outer, HRESULT* result);
  ~D_CMovieRenderer() override;

  HRESULT CheckAcceptedType(const AM_MEDIA_TYPE* type) override;
  HRESULT TakeMediaType(const AM_MEDIA_TYPE* type) override;
  HRESULT RenderSampleData(IMediaSample* sample) override;
  HRESULT HandleBeginFlush() override;

  // The current frame, read under the frame lock; the buffer is null until a type is
  // taken or when it could not be allocated.
  struct Frame {
    uint8_t* buffer;
    int32_t width, height, pitch;
  };
  // Calls `use` with the frame under the frame lock when a new frame was copied since
  // the last call (clearing that flag); false when there was none.
  template <class F>
  bool TakeNewFrame(F use) {
    CriticalSectionGuard guard(frameLock_);
    if (!newFrame_.exchange(false)) return false;
    use(Frame{frameBuffer_, width_, height_, pitch_});
    return true;
  }
  // Set after each copied frame; for tests that follow a movie frame by frame.
  void SetFrameEvent(Event* event) { frameEvent_ = event; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

 private:
  CriticalSection frameLock_;
  uint8_t* frameBuffer_ = nullptr;  // pitch x height bytes, top-down rows
  std::atomic<bool> newFrame_{false};
  bool bottomUp_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t pitch_ = 0;
  std::atomic<Event*> frameEvent_{nullptr};
};

// A new renderer (count 0), or null; the result word is set to 0.
D_CMovieRenderer* CreateMovieRenderer(IUnknown* outer, HRESULT* result);
// Test seam: the next CreateMovieRenderer gives null as if memory had run out.
void FailNextMovieRendererCreation();
