#pragma once
// A source over bytes in memory that others read through IAsyncReader, as the system's
// parsers read a file: the library's memory reader, offering an MPEG audio stream; for
// tests and benchmarks. The bytes must outlive the filter.
#include <vector>

#include "filters/mem_reader.h"
#include "filters/mem_stream.h"

// Built before the reader that reads it and destroyed after.
struct FileSourceStream {
  explicit FileSourceStream(const std::vector<uint8_t>& bytes)
      : stream(bytes.data(), static_cast<int64_t>(bytes.size()), kUnpacedStreamRate) {}
  D_CMemStream stream;
};

class FileSource final : private FileSourceStream, public D_CMemReader {
 public:
  explicit FileSource(const std::vector<uint8_t>& bytes) : FileSourceStream(bytes), D_CMemReader(&stream, &made_) {
    D_CMediaTypeRec type;
    type.SetMajorType(MEDIATYPE_Stream);
    type.SetSubtype(MEDIASUBTYPE_MPEG1Audio);
    SetOfferedType(type);
  }
  IPin* pin() { return OutputPin().AsPin(); }
  static FileSource* Make(const std::vector<uint8_t>& bytes) {
    auto* f = new FileSource(bytes);
    f->AsBaseFilter()->AddRef();
    return f;
  }

 private:
  HRESULT made_ = S_OK;
};
