#include "filters/system/mp3_decoder_filter.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "filters/filter_base.h"
#include "filters/output_pin_base.h"
#include "host/acm/mpeg_frames.h"
#include "host/kernel/last_error.h"
#include "host/kernel/thread.h"

namespace {

constexpr int32_t kProbeBytes = 64 * 1024;
// Every read is a synchronous one on the decoder's own thread: the reader holds the
// data at hand, and a read queued to its thread would cost a wake of that thread (a
// scheduler tick on a busy machine) for a copy of a few microseconds.
constexpr int32_t kReadBlock = 256 * 1024;
constexpr int32_t kOutputBuffers = 4;
constexpr uint32_t kMaxFrameSamples = 1152;

// Where the frames of a file lie, and the PCM they decode to.
struct StreamLayout {
  int64_t firstFrame = 0;  // the first audio frame: an encoder's tag frame is no audio
  int64_t end = 0;         // before a trailing tag
  uint32_t rate = 0;
  uint16_t channels = 0;
  uint32_t freeFormatBytes = 0;  // the frame size of a free-format stream
  // Samples per channel kept of what the frames decode to: all of them, or what a
  // tagged file's encoder delay and padding leave, as the compression manager keeps.
  uint32_t keepFrom = 0;
  uint32_t keepTo = UINT32_MAX;
};

// The samples the frames in [from, end) hold, counted as the compression manager's scan
// counts them.
uint64_t HeldSamples(IAsyncReader* reader, int64_t from, int64_t end) {
  if (end - from > INT32_MAX) return 0;
  std::vector<uint8_t> data(static_cast<size_t>(end - from));
  if (reader->SyncRead(from, static_cast<int32_t>(data.size()), data.data()) != S_OK) return 0;
  return CountMpegFrameSamples(data.data(), data.size());
}

// Finds the first frame that a second frame follows (or that ends the data) within the
// first 64 KiB after any leading tag, and checks that libmpg123 decodes it. A first
// frame that is an encoder's tag is skipped, and its delay and padding are cut.
HRESULT Probe(IAsyncReader* reader, StreamLayout* layout) {
  int64_t total = 0, available = 0;
  if (FAILED(reader->Length(&total, &available)) || total < 4) return VFW_E_TYPE_NOT_ACCEPTED;
  uint8_t head[10] = {};
  int64_t start = 0;
  if (total >= 10 && reader->SyncRead(0, 10, head) == S_OK) start = MpegLeadingTagBytes(head);
  int64_t end = total;
  uint8_t tag[3];
  if (total > 128 && reader->SyncRead(total - 128, 3, tag) == S_OK && std::memcmp(tag, "TAG", 3) == 0) end -= 128;
  if (start >= end) return VFW_E_TYPE_NOT_ACCEPTED;
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(kProbeBytes, end - start));
  std::vector<uint8_t> data(n);
  if (FAILED(reader->SyncRead(start, n, data.data()))) return VFW_E_TYPE_NOT_ACCEPTED;
  for (int32_t i = 0; i + 4 <= n; ++i) {
    MpegAudioFrame frame, next;
    // A free-format header sizes every frame of its stream.
    const uint32_t freeBytes = MpegFreeFormatBytes(&data[i], static_cast<size_t>(n - i));
    if (!ReadMpegAudioFrame(&data[i], &frame, freeBytes) || frame.length > static_cast<uint32_t>(n - i)) continue;
    const int64_t after = i + frame.length;
    const bool last = start + after == end;
    if (!last && (after + 4 > n || !ReadMpegAudioFrame(&data[after], &next, freeBytes))) continue;
    MpegFrameDecoder decoder;
    std::vector<uint8_t> pcm(kMaxFrameSamples * 4);
    if (!decoder.Open(frame.rate, frame.channels, freeBytes) ||
        decoder.Decode(&data[i], frame.length, pcm.data(), static_cast<uint32_t>(pcm.size())).decoded == 0) {
      return VFW_E_TYPE_NOT_ACCEPTED;
    }
    *layout = {start + i, end, frame.rate, frame.channels, freeBytes};
    MpegGaplessTag tag;
    if (!last && ReadMpegGaplessTag(&data[i], frame.length, &tag, freeBytes)) {
      layout->firstFrame += frame.length;
      layout->rate = next.rate;
      layout->channels = next.channels;
      const MpegKeptSamples kept =
          MpegGaplessKeptSamples(tag, HeldSamples(reader, layout->firstFrame, end), next.samples);
      layout->keepFrom = kept.from;
      layout->keepTo = kept.to;
    }
    return S_OK;
  }
  return VFW_E_TYPE_NOT_ACCEPTED;
}

class Mp3DecoderFilter;

class Mp3InputPin final : public D_CPinBase {
 public:
  Mp3InputPin(Mp3DecoderFilter* filter, CriticalSection* lock);
  ~Mp3InputPin() override { ReleaseConnection(); }
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override {
    if (!type) return E_POINTER;
    bool major = type->majortype == MEDIATYPE_Stream || type->majortype == MEDIATYPE_Audio;
    return major && type->subtype == MEDIASUBTYPE_MPEG1Audio ? S_OK : S_FALSE;
  }
  // Pull mode: the peer must read for us.
  HRESULT CheckPeer(IPin* peer) override {
    HRESULT hr = D_CPinBase::CheckPeer(peer);
    if (FAILED(hr)) return hr;
    ReleaseConnection();
    return peer->QueryInterface(IID_IAsyncReader, reinterpret_cast<void**>(&reader_));
  }
  HRESULT FinishConnection(IPin* peer) override;
  HRESULT ReleaseConnection() override {
    if (reader_) reader_->Release();
    reader_ = nullptr;
    return S_OK;
  }
  IAsyncReader* reader() const { return reader_; }

 private:
  Mp3DecoderFilter* decoder_;
  IAsyncReader* reader_ = nullptr;  // holds a reference while connected
};

class Mp3OutputPin final : public D_COutputPinBase {
 public:
  Mp3OutputPin(Mp3DecoderFilter* filter, CriticalSection* lock);
  HRESULT AcceptsType(const AM_MEDIA_TYPE* type) override;
  HRESULT ProposedType(int32_t position, D_CMediaTypeRec* type) override;
  HRESULT SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;

 private:
  Mp3DecoderFilter* decoder_;
};

class Mp3DecoderFilter final : public D_CFilterBase {
 public:
  explicit Mp3DecoderFilter(IUnknown* outer)
      : D_CFilterBase("MP3 decoder", outer, &lock_, CLSID_Mp3DecoderFilter), input_(this, &lock_), output_(this, &lock_) {}
  ~Mp3DecoderFilter() override { StopStreaming(); }

  int32_t PinCount() override { return 2; }
  D_CPinBase* PinAt(int32_t index) override {
    return index == 0 ? static_cast<D_CPinBase*>(&input_) : index == 1 ? &output_ : nullptr;
  }
  HRESULT Pause() override;
  HRESULT Stop() override {
    CriticalSectionGuard guard(lock_);
    StopStreaming();
    return D_CFilterBase::Stop();
  }

  void SetLayout(const StreamLayout& layout) { layout_ = layout; }
  const StreamLayout& layout() const { return layout_; }
  bool HasInput() const { return input_.IsConnected() && layout_.rate != 0; }
  uint32_t BlockAlign() const { return layout_.channels * 2u; }
  int32_t BufferBytes() const {
    return static_cast<int32_t>(std::max(layout_.rate / 10, kMaxFrameSamples) * BlockAlign());
  }

 private:
  HRESULT StartStreaming();
  void StopStreaming();
  static uint32_t StreamThread(void* self);
  void Stream();
  // Reads the block at `*requested` onto `pending` and moves past it; false when the
  // read fails or gives nothing.
  bool ReadBlock(int64_t* requested, std::vector<uint8_t>* pending);

  CriticalSection lock_;
  Mp3InputPin input_;
  Mp3OutputPin output_;
  StreamLayout layout_;
  HostThread* thread_ = nullptr;
  std::atomic<bool> stopping_{false};
};

Mp3InputPin::Mp3InputPin(Mp3DecoderFilter* filter, CriticalSection* lock)
    : D_CPinBase("MP3 decoder input", filter, lock, nullptr, u"In", PINDIR_INPUT), decoder_(filter) {}

HRESULT Mp3InputPin::FinishConnection(IPin*) {
  StreamLayout layout;
  HRESULT hr = reader_ ? Probe(reader_, &layout) : E_UNEXPECTED;
  if (FAILED(hr)) return hr;
  decoder_->SetLayout(layout);
  ++typeVersion_;
  return S_OK;
}

Mp3OutputPin::Mp3OutputPin(Mp3DecoderFilter* filter, CriticalSection* lock)
    : D_COutputPinBase("MP3 decoder output", filter, lock, nullptr, u"Out"), decoder_(filter) {}

HRESULT Mp3OutputPin::ProposedType(int32_t position, D_CMediaTypeRec* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0 || !decoder_->HasInput()) return VFW_S_NO_MORE_ITEMS;
  if (!type) return E_POINTER;
  const StreamLayout& l = decoder_->layout();
  WAVEFORMATEX format{WAVE_FORMAT_PCM, l.channels, l.rate, l.rate * decoder_->BlockAlign(),
                      static_cast<uint16_t>(decoder_->BlockAlign()), 16, 0};
  AM_MEDIA_TYPE t{};
  t.majortype = MEDIATYPE_Audio;
  t.subtype = MEDIASUBTYPE_PCM;
  t.bFixedSizeSamples = 1;
  t.lSampleSize = decoder_->BlockAlign();
  t.formattype = FORMAT_WaveFormatEx;
  t.cbFormat = sizeof format;
  t.pbFormat = reinterpret_cast<uint8_t*>(&format);
  return type->SetFrom(t);
}

HRESULT Mp3OutputPin::AcceptsType(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  D_CMediaTypeRec own;
  if (ProposedType(0, &own) != S_OK) return S_FALSE;
  return own.Equals(*type) ? S_OK : S_FALSE;
}

HRESULT Mp3OutputPin::SizeBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) {
  properties->cBuffers = kOutputBuffers;
  properties->cbBuffer = decoder_->BufferBytes();
  properties->cbAlign = std::max(properties->cbAlign, 1);
  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(properties, &actual);
  if (FAILED(hr)) return hr;
  return actual.cBuffers < 1 || actual.cbBuffer < properties->cbBuffer ? E_FAIL : S_OK;
}

HRESULT Mp3DecoderFilter::Pause() {
  CriticalSectionGuard guard(lock_);
  const bool wasStopped = IsStopped();
  HRESULT hr = D_CFilterBase::Pause();
  if (FAILED(hr) || !wasStopped || !HasInput() || !output_.IsConnected()) return hr;
  hr = StartStreaming();
  if (FAILED(hr)) D_CFilterBase::Stop();
  return hr;
}

HRESULT Mp3DecoderFilter::StartStreaming() {
  stopping_ = false;
  thread_ = CreateHostThread(StreamThread, this, false);
  if (thread_) return S_OK;
  const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
  return FAILED(hr) ? hr : E_OUTOFMEMORY;
}

void Mp3DecoderFilter::StopStreaming() {
  if (!thread_) return;
  // A read returns by itself; a wait for an empty sample returns with the decommit.
  stopping_ = true;
  if (output_.Allocator()) output_.Allocator()->Decommit();
  CloseHostThread(thread_);
  thread_ = nullptr;
}

uint32_t Mp3DecoderFilter::StreamThread(void* self) {
  static_cast<Mp3DecoderFilter*>(self)->Stream();
  return 0;
}

bool Mp3DecoderFilter::ReadBlock(int64_t* requested, std::vector<uint8_t>* pending) {
  const int32_t length = static_cast<int32_t>(std::min<int64_t>(layout_.end - *requested, kReadBlock));
  if (length <= 0) return false;
  const size_t at = pending->size();
  pending->resize(at + static_cast<size_t>(length));
  if (input_.reader()->SyncRead(*requested, length, pending->data() + at) != S_OK) return false;
  *requested += length;
  return true;
}

void Mp3DecoderFilter::Stream() {
  MpegFrameDecoder decoder;
  if (!decoder.Open(layout_.rate, layout_.channels, layout_.freeFormatBytes)) {
    SendGraphEvent(EC_ERRORABORT, E_FAIL, 0);
    return;
  }
  output_.DeliverNewSegment(0, INT64_MAX, 1.0);
  const uint32_t blockAlign = BlockAlign();
  const uint32_t frameRoom = kMaxFrameSamples * blockAlign;
  const uint64_t keepFrom = uint64_t{layout_.keepFrom} * blockAlign;
  const uint64_t keepTo = uint64_t{layout_.keepTo} * blockAlign;
  uint64_t decoded = 0;    // PCM bytes the frames gave, kept or cut
  int64_t requested = layout_.firstFrame;  // the next byte to read
  int64_t framesOut = 0;   // PCM frames delivered, for the sample times
  std::vector<uint8_t> pending;
  size_t used = 0;  // bytes of `pending` decoded
  IMediaSample* out = nullptr;
  uint32_t produced = 0;
  HRESULT result = S_OK;
  bool readFailed = false;
  auto deliver = [&] {
    REFERENCE_TIME start = framesOut * 10000000 / layout_.rate;
    framesOut += produced / blockAlign;
    REFERENCE_TIME stop = framesOut * 10000000 / layout_.rate;
    out->SetTime(&start, &stop);
    out->SetSyncPoint(1);
    out->SetActualDataLength(static_cast<int32_t>(produced));
    result = output_.DeliverSample(out);
    out->Release();
    out = nullptr;
    produced = 0;
    return result == S_OK;
  };
  for (;;) {
    if (!out) {
      result = output_.GetEmptySample(&out, nullptr, nullptr, 0);
      if (FAILED(result)) break;  // stopped, or the allocator failed
      produced = 0;
    }
    uint8_t* buffer = nullptr;
    out->GetPointer(&buffer);
    const uint32_t size = static_cast<uint32_t>(out->GetSize());
    uint8_t* at = buffer + produced;
    const MpegFrameDecoder::Result r =
        decoder.Decode(pending.data() + used, static_cast<uint32_t>(pending.size() - used), at, size - produced);
    used += r.used;
    // Only the kept part of what the frames gave stays in the sample.
    const uint64_t from = std::max(decoded, keepFrom), to = std::min(decoded + r.produced, keepTo);
    if (from < to) {
      if (from > decoded) std::memmove(at, at + (from - decoded), static_cast<size_t>(to - from));
      produced += static_cast<uint32_t>(to - from);
    }
    decoded += r.produced;
    const bool allKept = decoded >= keepTo;
    if (!allKept && r.used > 0 && size - produced >= frameRoom) continue;  // more may fit
    if (!allKept && size - produced < frameRoom) {
      if (!deliver()) break;
      continue;
    }
    // No whole frame is left: the next block, unless the data or the kept part ended.
    // What is left of the last block moves to the front; the next block follows it.
    if (!allKept && requested < layout_.end) {
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(used));
      used = 0;
      readFailed = stopping_ || !ReadBlock(&requested, &pending);
      if (readFailed) break;
      continue;
    }
    if (produced > 0) deliver();
    break;
  }
  if (out) out->Release();
  if (readFailed || FAILED(result)) {
    if (!stopping_) SendGraphEvent(EC_ERRORABORT, readFailed ? E_FAIL : result, 0);
    return;
  }
  output_.DeliverEndOfStream();
}

}  // namespace

HRESULT CreateMp3DecoderFilter(IUnknown* outer, REFIID iid, void** out) {
  return MakeObjectFor<Mp3DecoderFilter>(iid, out, outer);
}
