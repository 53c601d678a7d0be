#pragma once
// The owning media-type record and the task-memory operations on plain records. A
// record owns its format block (task memory) and its reference to pUnk.
#include "host/dshow/types.h"

HRESULT CopyMediaTypeRecord(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// A new task-memory record, or null.
AM_MEDIA_TYPE* CloneMediaTypeRecord(const AM_MEDIA_TYPE* source);
void FreeMediaTypeRecord(AM_MEDIA_TYPE* record);
// Frees the record's contents and the record itself; null is ignored.
void DeleteMediaTypeRecord(AM_MEDIA_TYPE* record);

// The comparisons of D_CMediaTypeRec, for plain records.
bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);
bool MediaTypeIsPartial(const AM_MEDIA_TYPE& type);
bool MediaTypeMatchesTemplate(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE& templ);

class D_CMediaTypeRec : public AM_MEDIA_TYPE {
 public:
  D_CMediaTypeRec() { ClearToDefaults(); }
  ~D_CMediaTypeRec() { FreeMediaTypeRecord(this); }
  D_CMediaTypeRec(const D_CMediaTypeRec&) = delete;
  D_CMediaTypeRec& operator=(const D_CMediaTypeRec& other) {
    SetFrom(other);
    return *this;
  }
  D_CMediaTypeRec& operator=(const AM_MEDIA_TYPE& other) {
    SetFrom(other);
    return *this;
  }

  // Zero, then fixed-size samples of size 1. Owns nothing afterwards: call on a record
  // that owns nothing.
  void ClearToDefaults();
  // E_OUTOFMEMORY when the format block cannot be copied.
  HRESULT SetFrom(const AM_MEDIA_TYPE& source);
  // Major type, subtype, format type and format block; the sample fields and pUnk do
  // not count.
  bool Equals(const AM_MEDIA_TYPE& other) const { return MediaTypesEqual(*this, other); }
  bool NotEquals(const AM_MEDIA_TYPE& other) const { return !Equals(other); }
  bool IsPartial() const { return MediaTypeIsPartial(*this); }
  // GUID_NULL fields of the template match anything.
  bool MatchesTemplate(const AM_MEDIA_TYPE& templ) const { return MediaTypeMatchesTemplate(*this, templ); }
  void SetMajorType(const GUID& guid) { majortype = guid; }
  void SetSubtype(const GUID& guid) { subtype = guid; }
};
