#include "controls/drop_file_target.h"

#include <ole2.h>

#include <atomic>
#include <utility>

#include "base/exceptions.h"
#include "framework/clipboard.h"

namespace {

FORMATETC FileListFormat() {
  return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

bool HasFileList(IDataObject* Data) {
  FORMATETC format = FileListFormat();
  return Data && Data->QueryGetData(&format) == S_OK;
}

} // namespace

// The COM side: reference counted, so the shell may hold it past Unregister; it forwards to its
// owner only while the owner is there.
class TDropFileTarget::TOleTarget : public IDropTarget {
public:
  explicit TOleTarget(TDropFileTarget* Owner) : FOwner(Owner) {}
  virtual ~TOleTarget() = default;
  void Detach() { FOwner = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void** Object) override {
    if (!Object) return E_POINTER;
    if (IsEqualIID(Id, IID_IUnknown) || IsEqualIID(Id, IID_IDropTarget)) {
      *Object = static_cast<IDropTarget*>(this);
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

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* Data, DWORD, POINTL, DWORD* Effect) override {
    FAccept = FOwner && HasFileList(Data);
    return Answer(Effect);
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* Effect) override {
    return Answer(Effect);
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override {
    FAccept = false;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* Data, DWORD, POINTL, DWORD* Effect) override {
    if (!Effect) return E_INVALIDARG;
    const bool accept = FAccept && FOwner;
    FAccept = false;
    if (!accept) {
      *Effect = DROPEFFECT_NONE;
      return S_OK;
    }
    *Effect = ChooseEffect(*Effect);
    // An exception must not cross into the shell's frames; the drop then has no effect.
    try {
      FOwner->Dropped(Data, *Effect);
    } catch (...) {
      *Effect = DROPEFFECT_NONE;
    }
    return S_OK;
  }

private:
  HRESULT Answer(DWORD* Effect) {
    if (!Effect) return E_INVALIDARG;
    *Effect = FAccept ? ChooseEffect(*Effect) : DROPEFFECT_NONE;
    return S_OK;
  }

  std::atomic<ULONG> FReferences{1};
  TDropFileTarget* FOwner;
  bool FAccept = false;
};

TDropFileTarget::TDropFileTarget() = default;

TDropFileTarget::~TDropFileTarget() {
  Unregister();
}

DWORD TDropFileTarget::ChooseEffect(DWORD Allowed) {
  if (Allowed & DROPEFFECT_COPY) return DROPEFFECT_COPY;
  if (Allowed & DROPEFFECT_LINK) return DROPEFFECT_LINK;
  return DROPEFFECT_NONE;
}

void TDropFileTarget::Register(HWND Window) {
  Unregister();
  TComPtr<TOleTarget> target(new TOleTarget(this));
  if (FAILED(RegisterDragDrop(Window, target.Get()))) {
    // Whoever may still hold it must not reach us.
    target->Detach();
    throw Exception("Das Fenster kann keine abgelegten Dateien annehmen");
  }
  FOleTarget = std::move(target);
  FTarget = Window;
}

void TDropFileTarget::Unregister() {
  if (!FOleTarget) return;
  // The window may already be gone at program end; the registration then went with it.
  if (IsWindow(FTarget)) RevokeDragDrop(FTarget);
  FOleTarget->Detach();
  FOleTarget.Reset();
  FTarget = nullptr;
}

void TDropFileTarget::Dropped(IDataObject* Data, DWORD& Effect) {
  ReadFileNames(Data, FFiles);
  int32_t effect = static_cast<int32_t>(Effect);
  if (OnDrop) OnDrop(*this, effect);
  Effect = static_cast<DWORD>(effect);
}
