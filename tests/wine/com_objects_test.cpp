// The owners of COM interface pointers release exactly the references they hold.
#include "platform/com_objects_win.h"

#include <gtest/gtest.h>

namespace {

// What the test knows about an object, kept outside it so that it can be
// read after the object is gone.
struct Tally {
    ULONG references = 1;
    bool freed = false;
};

class CountedObject final : public IUnknown {
  public:
    explicit CountedObject(Tally& tally) : tally_(tally) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++tally_.references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --tally_.references;
        if (left == 0) {
            tally_.freed = true;
            delete this;
        }
        return left;
    }

  private:
    Tally& tally_;
};

// A function that hands out a new reference, as COM creation functions do.
HRESULT Create(Tally& tally, void** out) {
    *out = static_cast<IUnknown*>(new CountedObject(tally));
    return S_OK;
}

TEST(ComPtr, ReleasesItsReferenceWhenItGoesOutOfScope) {
    Tally tally;
    {
        platform::ComPtr<IUnknown> object;
        ASSERT_EQ(Create(tally, object.ReceiveVoid()), S_OK);
        EXPECT_TRUE(object);
        EXPECT_FALSE(tally.freed);
    }
    EXPECT_TRUE(tally.freed);
}

TEST(ComPtr, ReceivingAgainReleasesTheFormerObjectOnly) {
    Tally first, second;
    platform::ComPtr<IUnknown> object;
    ASSERT_EQ(Create(first, object.ReceiveVoid()), S_OK);
    ASSERT_EQ(Create(second, object.ReceiveVoid()), S_OK);
    EXPECT_TRUE(first.freed);
    EXPECT_FALSE(second.freed);
    object.Reset();
    EXPECT_TRUE(second.freed);
    EXPECT_FALSE(object);
}

TEST(ComPtr, AdoptsWithoutAddingAReference) {
    Tally tally;
    IUnknown* raw = new CountedObject(tally);
    raw->AddRef(); // the test's own reference
    {
        platform::ComPtr<IUnknown> object(raw);
        EXPECT_EQ(tally.references, 2u);
    }
    EXPECT_EQ(tally.references, 1u);
    EXPECT_FALSE(tally.freed);
    raw->Release();
    EXPECT_TRUE(tally.freed);
}

} // namespace
