#include <vector>

#include <gtest/gtest.h>

#include "host/com/task_memory.h"
#include "host/dshow/interfaces.h"

namespace {
struct NamedId {
  const char* name;
  GUID id;
};
#define LIST_IDENTIFIER(name, text) {#name, name},
const NamedId kIdentifiers[] = {COM_IDENTIFIERS(LIST_IDENTIFIER) DSHOW_IDENTIFIERS(LIST_IDENTIFIER)};

TEST(Identifiers, NoTwoAreEqualAndTheFixedOnesKeepTheirValues) {
  for (size_t i = 0; i < std::size(kIdentifiers); ++i) {
    EXPECT_NE(kIdentifiers[i].id, GUID_NULL) << kIdentifiers[i].name;
    for (size_t j = i + 1; j < std::size(kIdentifiers); ++j) {
      EXPECT_NE(kIdentifiers[i].id, kIdentifiers[j].id) << kIdentifiers[i].name << " " << kIdentifiers[j].name;
    }
  }
  EXPECT_EQ(IID_IDispatch.Data1, 0x00020400u);
  EXPECT_EQ(MEDIATYPE_Video.Data1, 0x73646976u);
  EXPECT_EQ(CLSID_SampleGrabber.Data4[7], 0x33);
  EXPECT_EQ(MEDIASUBTYPE_PCM.Data4[0], 0x80);
  EXPECT_EQ(MEDIASUBTYPE_PCM.Data4[7], 0x71);
}

TEST(TaskMemory, CountsLiveBlocksAndFailsOnRequest) {
  void* a = CoTaskMemAlloc(16);
  EXPECT_EQ(LiveTaskMemoryCount(), 1);
  FailNextTaskMemoryAllocations(2);
  EXPECT_EQ(CoTaskMemAlloc(8), nullptr);
  EXPECT_EQ(CoTaskMemAlloc(8), nullptr);
  void* b = CoTaskMemAlloc(8);
  EXPECT_NE(b, nullptr);
  CoTaskMemFree(a);
  CoTaskMemFree(b);
  CoTaskMemFree(nullptr);
  EXPECT_EQ(LiveTaskMemoryCount(), 0);
}

}  // namespace
