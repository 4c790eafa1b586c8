#include "framework/win_owners.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <thread>
#include <utility>

#include "framework/clipboard.h"

namespace {

// Counts its references and never frees itself, so that the count can be read at the end.
class TCountedObject : public IUnknown {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void** Object) override {
    if (!Object) return E_POINTER;
    *Object = nullptr;
    if (!IsEqualIID(Id, IID_IUnknown)) return E_NOINTERFACE;
    *Object = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
  ULONG STDMETHODCALLTYPE Release() override { return --References; }

  ULONG References = 1; // the one a new object comes with
};

TEST(ComPtr, EveryReferenceTakenIsGivenBackOnce) {
  TCountedObject object;
  IUnknown* handed = nullptr;
  {
    TComPtr<IUnknown> first(&object);
    // A move takes no reference of its own.
    TComPtr<IUnknown> second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(object.References, 1u);
    TComPtr<IUnknown> third;
    ASSERT_EQ(second->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(third.Receive())),
              S_OK);
    EXPECT_EQ(object.References, 2u);
    // Receiving again returns the reference held so far.
    ASSERT_EQ(second->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(third.Receive())),
              S_OK);
    EXPECT_EQ(object.References, 2u);
    // Moved onto an owner that holds one, that one is given back.
    third = std::move(second);
    EXPECT_EQ(object.References, 1u);
    ASSERT_EQ(third->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(first.Receive())), S_OK);
    // Handed over: the caller answers for it.
    handed = first.Release();
  }
  EXPECT_EQ(handed, static_cast<IUnknown*>(&object));
  EXPECT_EQ(object.References, 1u);
}

TEST(GlobalMemory, TheClipboardTakesTheBlockOnlyWhenItAcceptsIt) {
  const char text[] = "0301234=Anna Muster";
  // OpenClipboard without a window makes no owner, and SetClipboardData may refuse then.
  const TWindowHandle window(
      CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(window);
  const struct {
    bool Opened;
    bool Taken;
  } cases[] = {{true, true}, {false, false}};
  for (const auto& c : cases) {
    SetClipboardText(window.Get(), "vorher");
    TGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, sizeof text));
    ASSERT_TRUE(memory);
    {
      const TGlobalLock locked(memory.Get());
      ASSERT_NE(locked.Data(), nullptr);
      std::memcpy(locked.Data(), text, sizeof text);
    }
    const HGLOBAL block = memory.Get();
    {
      std::optional<TOpenedClipboard> clipboard;
      if (c.Opened) {
        clipboard.emplace(window.Get());
        ASSERT_TRUE(*clipboard);
        ASSERT_TRUE(EmptyClipboard());
      }
      EXPECT_EQ(memory.GiveToClipboard(CF_TEXT), c.Taken) << c.Opened;
    }
    if (c.Taken) {
      EXPECT_FALSE(memory) << "the clipboard's block would be freed a second time";
      EXPECT_EQ(ClipboardText(), text);
    } else {
      // Still ours, whole, and freed with the owner.
      EXPECT_EQ(memory.Get(), block);
      const TGlobalLock locked(memory.Get());
      ASSERT_NE(locked.Data(), nullptr);
      EXPECT_STREQ(static_cast<const char*>(locked.Data()), text);
      EXPECT_EQ(ClipboardText(), "vorher");
    }
  }
}

// Whether this thread is still in an apartment: CoInitializeEx for the multithreaded one says
// S_OK where there was none and RPC_E_CHANGED_MODE in a single-threaded one (OLE's). Undone again
// where it counted.
HRESULT ProbeApartment() {
  const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (SUCCEEDED(result)) CoUninitialize();
  return result;
}

TEST(OleInitialization, NestedScopesLeaveTheApartmentWithTheOutermost) {
  // A thread of its own: the test program's main thread has OLE scopes of its own.
  bool initialized = false;
  HRESULT nested = E_FAIL;
  HRESULT after = E_FAIL;
  std::thread([&] {
    {
      const TOleInitialization outer;
      {
        const TOleInitialization inner;
        initialized = outer.Initialized() && inner.Initialized();
      }
      nested = ProbeApartment();
    }
    after = ProbeApartment();
  }).join();
  EXPECT_TRUE(initialized);
  EXPECT_EQ(nested, RPC_E_CHANGED_MODE) << "the inner scope left the apartment early";
  EXPECT_EQ(after, S_OK) << "the apartment outlived its scopes";
}

} // namespace
