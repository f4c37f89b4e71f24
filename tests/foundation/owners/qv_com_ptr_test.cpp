#include <gtest/gtest.h>

#include "foundation/owners/qv_com_ptr.h"

namespace {

// Counts its references; the test owns the object's memory.
class Counted : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** result) override {
    *result = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  ULONG references = 1;
};

HRESULT HandOut(Counted* object, IUnknown** result) {
  object->AddRef();
  *result = object;
  return S_OK;
}

}  // namespace

TEST(QVComPtr, ReleasesItsReferenceOnEveryWayOut) {
  Counted a, b;
  {
    QVComPtr<IUnknown> held(&a);  // adopts the creator's reference
    EXPECT_EQ(a.references, 1u);

    HandOut(&b, held.put());  // put() lets go of what was held first
    EXPECT_EQ(a.references, 0u);
    EXPECT_EQ(b.references, 2u);
    EXPECT_EQ(held.get(), &b);

    QVComPtr<IUnknown> moved(std::move(held));
    EXPECT_FALSE(held);
    EXPECT_EQ(b.references, 2u);
  }
  EXPECT_EQ(b.references, 1u);

  QVComPtr<IUnknown> kept(&b);
  IUnknown* released = kept.release();
  EXPECT_EQ(released, &b);
  EXPECT_EQ(b.references, 1u) << "release() hands the reference over untouched";
}
