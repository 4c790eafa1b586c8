// The drop target's COM methods called as the system's drag loop calls them: through the
// IDropTarget that RegisterDragDrop took, so that a method of the wrong calling convention (which
// only the 32-bit build would show) corrupts the caller's stack here.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "controls/drop_file_target.h"
#include "framework/win_owners.h"

namespace {

// A data object that offers the shell's file list, or text only.
class TestData : public IDataObject {
public:
  TestData(std::vector<std::wstring> Files, bool FileList)
      : FFiles(std::move(Files)), FFileList(FileList) {}
  virtual ~TestData() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void** Object) override {
    if (IsEqualIID(Id, IID_IUnknown) || IsEqualIID(Id, IID_IDataObject)) {
      *Object = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *Object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FReferences; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --FReferences;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* Format, STGMEDIUM* Medium) override {
    if (QueryGetData(Format) != S_OK) return DV_E_FORMATETC;
    size_t chars = 1;
    for (const auto& file : FFiles)
      chars += file.size() + 1;
    const size_t bytes = sizeof(DROPFILES) + chars * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!memory) return E_OUTOFMEMORY;
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(drop + 1);
    for (const auto& file : FFiles) {
      std::memcpy(names, file.c_str(), (file.size() + 1) * sizeof(wchar_t));
      names += file.size() + 1;
    }
    GlobalUnlock(memory);
    Medium->tymed = TYMED_HGLOBAL;
    Medium->hGlobal = memory;
    Medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* Format) override {
    const bool offered = FFileList ? Format->cfFormat == CF_HDROP : Format->cfFormat == CF_TEXT;
    return offered && (Format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* Out) override {
    Out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

private:
  ULONG FReferences = 1;
  std::vector<std::wstring> FFiles;
  bool FFileList;
};

class DropFileTarget : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FOle.Initialized());
    FWindow = CreateWindowExW(0, L"STATIC", L"target", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(FWindow, nullptr);
  }
  void TearDown() override {
    FTarget.Unregister();
    if (FWindow) DestroyWindow(FWindow);
  }

  // What the drag loop holds: the interface registered on the window, with a reference of its
  // own, as the system keeps one while a drag is over the window.
  TComPtr<IDropTarget> Registered() {
    auto* target = static_cast<IDropTarget*>(GetPropW(FWindow, L"OleDropTargetInterface"));
    if (target) target->AddRef();
    return TComPtr<IDropTarget>(target);
  }

  TOleInitialization FOle;
  HWND FWindow = nullptr;
  TDropFileTarget FTarget;
};

TEST(DropFileTargetEffect, CopyIsChosenBeforeLinkAndMoveAloneIsRefused) {
  const struct {
    DWORD Allowed, Chosen;
  } cases[] = {
      {DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, DROPEFFECT_COPY},
      {DROPEFFECT_MOVE | DROPEFFECT_LINK, DROPEFFECT_LINK},
      {DROPEFFECT_LINK, DROPEFFECT_LINK},
      {DROPEFFECT_MOVE, DROPEFFECT_NONE},
      {DROPEFFECT_NONE, DROPEFFECT_NONE},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TDropFileTarget::ChooseEffect(c.Allowed), c.Chosen) << "allowed " << c.Allowed;
}

TEST_F(DropFileTarget, ADragOfFilesIsAnsweredAndTheDropHandsOverTheNamesInOrder) {
  std::vector<std::string> dropped;
  int32_t effectSeen = -1;
  FTarget.OnDrop = [&](TDropFileTarget& Sender, int32_t& Effect) {
    for (int i = 0; i < Sender.Files().Count(); ++i)
      dropped.push_back(Sender.Files()[i]);
    effectSeen = Effect;
    Effect = DROPEFFECT_NONE;
  };
  FTarget.Register(FWindow);
  EXPECT_EQ(FTarget.Target(), FWindow);
  TComPtr<IDropTarget> target = Registered();
  ASSERT_TRUE(target) << "RegisterDragDrop kept no drop target on the window";
  TComPtr<IDataObject> data(new TestData({L"C:\\a\\Kontakte.csv", L"C:\\b\\zwei.vcf"}, true));

  const POINTL point = {10, 10};
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(target->DragEnter(data.Get(), MK_LBUTTON, point, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_COPY));
  effect = DROPEFFECT_LINK | DROPEFFECT_MOVE;
  EXPECT_EQ(target->DragOver(MK_LBUTTON, point, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_LINK));
  EXPECT_EQ(target->DragOver(MK_LBUTTON, point, nullptr), E_INVALIDARG);
  effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
  EXPECT_EQ(target->Drop(data.Get(), 0, point, &effect), S_OK);
  EXPECT_EQ(dropped, (std::vector<std::string>{"C:\\a\\Kontakte.csv", "C:\\b\\zwei.vcf"}));
  EXPECT_EQ(effectSeen, DROPEFFECT_COPY);
  // The effect the event left is what the source is told.
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
}

TEST_F(DropFileTarget, WhatItDoesNotTakeEndsWithNoEffectAndNoEvent) {
  int events = 0;
  FTarget.OnDrop = [&](TDropFileTarget&, int32_t&) {
    ++events;
    throw std::runtime_error("from the event");
  };
  FTarget.Register(FWindow);
  TComPtr<IDropTarget> target = Registered();
  ASSERT_TRUE(target);
  TComPtr<IDataObject> text(new TestData({}, false));
  TComPtr<IDataObject> files(new TestData({L"C:\\a.csv"}, true));
  const POINTL point = {10, 10};
  const DWORD offered = DROPEFFECT_COPY | DROPEFFECT_LINK | DROPEFFECT_MOVE;

  const struct {
    const char* Name;
    IDataObject* Data;
    bool Leave;      // the drag leaves before the drop
    int EventsAfter; // events counted after the drop
  } cases[] = {
      {"text, not files", text.Get(), false, 0},
      {"files, but the drag left", files.Get(), true, 0},
      // The event throws: the exception stays here and the source learns of no effect.
      {"files, the event fails", files.Get(), false, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    events = 0;
    DWORD effect = offered;
    ASSERT_EQ(target->DragEnter(c.Data, MK_LBUTTON, point, &effect), S_OK);
    if (c.Leave) {
      EXPECT_EQ(target->DragLeave(), S_OK);
    }
    effect = offered;
    EXPECT_EQ(target->Drop(c.Data, 0, point, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
    EXPECT_EQ(events, c.EventsAfter);
  }
}

TEST_F(DropFileTarget, AfterUnregisterTheHeldInterfaceNoLongerReachesTheOwner) {
  int events = 0;
  FTarget.OnDrop = [&](TDropFileTarget&, int32_t&) { ++events; };
  FTarget.Register(FWindow);
  TComPtr<IDropTarget> target = Registered();
  ASSERT_TRUE(target);
  FTarget.Unregister();
  EXPECT_EQ(FTarget.Target(), nullptr);
  EXPECT_EQ(GetPropW(FWindow, L"OleDropTargetInterface"), nullptr);
  TComPtr<IDataObject> files(new TestData({L"C:\\a.csv"}, true));
  const POINTL point = {10, 10};
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->DragEnter(files.Get(), MK_LBUTTON, point, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->Drop(files.Get(), 0, point, &effect), S_OK);
  EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
  EXPECT_EQ(events, 0);
}

} // namespace
