#include "filters/media_type.h"

#include <cstring>

#include "filters/ptr_list.h"
#include "host/com/task_memory.h"
#include "host/dshow/guids.h"
#include "tests/filters/framework_fixture.h"

namespace {
// An IUnknown that only counts, to see who holds references to a record's pUnk.
struct Counted final : IUnknown {
  HRESULT QueryInterface(REFIID, void** out) override { return *out = nullptr, E_NOINTERFACE; }
  uint32_t AddRef() override { return ++count; }
  uint32_t Release() override { return --count; }
  uint32_t count = 1;
};

void SetFormat(D_CMediaTypeRec& t, const GUID& type, const char* bytes) {
  FreeMediaTypeRecord(&t);
  t.formattype = type;
  t.cbFormat = static_cast<uint32_t>(std::strlen(bytes));
  t.pbFormat = static_cast<uint8_t*>(CoTaskMemAlloc(t.cbFormat));
  std::memcpy(t.pbFormat, bytes, t.cbFormat);
}

using MediaTypes = FrameworkTest;

TEST_F(MediaTypes, EqualityAndTemplatesCompareTypesAndFormatBytesOnly) {
  D_CMediaTypeRec a;
  a.SetMajorType(MEDIATYPE_Audio);
  a.SetSubtype(MEDIASUBTYPE_PCM);
  SetFormat(a, FORMAT_WaveFormatEx, "abcd");
  struct Case {
    const char* what;
    GUID major, sub, format;
    const char* bytes;
    uint32_t sampleSize;
    bool equal, matchesAsTemplate;
  } cases[] = {
      {"identical but sample size", MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, "abcd", 77, true, true},
      {"other format bytes", MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, "abce", 1, false, false},
      {"shorter format", MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, "abc", 1, false, false},
      {"all wild", GUID_NULL, GUID_NULL, GUID_NULL, "", 1, false, true},
      {"major only", MEDIATYPE_Audio, GUID_NULL, GUID_NULL, "", 1, false, true},
      {"other major", MEDIATYPE_Video, GUID_NULL, GUID_NULL, "", 1, false, false},
      {"other subtype", MEDIATYPE_Audio, MEDIASUBTYPE_RGB24, GUID_NULL, "", 1, false, false},
      {"format type without block", MEDIATYPE_Audio, GUID_NULL, FORMAT_WaveFormatEx, "", 1, false, false},
  };
  for (const Case& c : cases) {
    D_CMediaTypeRec b;
    b.SetMajorType(c.major);
    b.SetSubtype(c.sub);
    b.formattype = c.format;
    if (c.bytes[0] != 0) SetFormat(b, c.format, c.bytes);
    b.lSampleSize = c.sampleSize;
    EXPECT_EQ(a.Equals(b), c.equal) << c.what;
    EXPECT_EQ(a.NotEquals(b), !c.equal) << c.what;
    EXPECT_EQ(a.MatchesTemplate(b), c.matchesAsTemplate) << c.what;
  }
  D_CMediaTypeRec partial;
  partial.SetMajorType(MEDIATYPE_Audio);
  EXPECT_TRUE(partial.IsPartial());
  EXPECT_FALSE(a.IsPartial());
}

TEST_F(MediaTypes, CopiesOwnTheirFormatAndReferenceAndAFailedCopyHoldsNeither) {
  Counted unk;
  D_CMediaTypeRec source;
  SetFormat(source, FORMAT_VideoInfo, "0123456789");
  source.pUnk = &unk;
  unk.AddRef();
  {
    D_CMediaTypeRec copy;
    ASSERT_EQ(copy.SetFrom(source), S_OK);
    EXPECT_EQ(unk.count, 3u);
    EXPECT_NE(copy.pbFormat, source.pbFormat);
    EXPECT_TRUE(copy.Equals(source));
    EXPECT_EQ(copy.SetFrom(copy), S_OK);  // onto itself: nothing freed
    EXPECT_TRUE(copy.Equals(source));
  }
  EXPECT_EQ(unk.count, 2u);

  D_CMediaTypeRec target;
  FailNextTaskMemoryAllocations(1);
  EXPECT_EQ(target.SetFrom(source), E_OUTOFMEMORY);
  EXPECT_EQ(target.pbFormat, nullptr);
  EXPECT_EQ(target.cbFormat, 0u);
  EXPECT_EQ(target.pUnk, nullptr);
  FreeMediaTypeRecord(&target);
  EXPECT_EQ(unk.count, 2u);  // the failed copy releases nothing it never took

  FailNextTaskMemoryAllocations(1);
  EXPECT_EQ(CloneMediaTypeRecord(&source), nullptr);
  AM_MEDIA_TYPE* clone = CloneMediaTypeRecord(&source);
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(unk.count, 3u);
  DeleteMediaTypeRecord(clone);
  EXPECT_EQ(unk.count, 2u);
  DeleteMediaTypeRecord(nullptr);
  FreeMediaTypeRecord(&source);
  EXPECT_EQ(unk.count, 1u);
}

TEST_F(MediaTypes, ThePointerListKeepsOrderAndAtMostTenSpareNodes) {
  D_CPtrList list;
  int objects[15];
  for (int& o : objects) ASSERT_NE(list.AddTail(&o), nullptr);
  EXPECT_EQ(list.Count(), 15);
  EXPECT_EQ(list.Remove(list.Find(&objects[7])), &objects[7]);
  EXPECT_EQ(list.Find(&objects[7]), nullptr);
  D_CPtrList copy;
  ASSERT_TRUE(copy.AppendList(list));
  int expected = 0;
  for (D_CPtrList::Node* pos = copy.FirstPosition(); pos != nullptr;) {
    if (expected == 7) ++expected;
    EXPECT_EQ(D_CPtrList::TakeNext(pos), &objects[expected++]);
  }
  EXPECT_EQ(expected, 15);
  while (list.Count() > 0) list.RemoveHead();
  EXPECT_EQ(list.SpareCount(), 10);
  EXPECT_EQ(list.RemoveHead(), nullptr);
  list.AddTail(&objects[0]);
  EXPECT_EQ(list.SpareCount(), 9);  // a spare node is reused
}
}  // namespace
