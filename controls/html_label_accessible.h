#pragma once
// The markup label as a screen reader reads it (MSAA, which UI Automation reads through its
// proxy): a static text named by the text it shows, whose links are its children (child id 1 for
// the first link), of role link, focusable, with the default action "Klicken". It is built on the
// standard object of the label's parent window, which answers everything that is no different.
// Once the label or its window is gone, every call fails with RPC_E_DISCONNECTED; no exception
// leaves a call.
#include <windows.h>

#include <oleacc.h>

#include <atomic>

#include "framework/win_owners.h"

class THTMLabel;

// IID_IAccessible. mingw-w64's liboleacc.a has an import thunk under that name, which wins over
// the GUID when the library comes first; this one cannot be mistaken.
extern const IID AccessibleIid;

class THTMLabelAccessible final : public IAccessible, public IOleWindow {
public:
  // Standard: the standard client object of the label's parent window; takes its reference.
  THTMLabelAccessible(THTMLabel& Label, IAccessible* Standard);
  THTMLabelAccessible(const THTMLabelAccessible&) = delete;
  THTMLabelAccessible& operator=(const THTMLabelAccessible&) = delete;

  // The label or its window goes: from here on every call fails, and the references that other
  // processes hold are cut.
  void Disconnect();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Iid, void** Object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch: not offered; screen readers call IAccessible directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* Count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT Index, LCID Locale, ITypeInfo** Info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID Iid, LPOLESTR* Names, UINT Count, LCID Locale,
                                          DISPID* Ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID Id, REFIID Iid, LCID Locale, WORD Flags,
                                   DISPPARAMS* Params, VARIANT* Result, EXCEPINFO* Exception,
                                   UINT* ArgumentError) override;

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** Parent) override;
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* Count) override;
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT Child, IDispatch** Object) override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT Child, BSTR* Name) override;
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT Child, BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT Child, BSTR* Description) override;
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT Child, VARIANT* Role) override;
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT Child, VARIANT* State) override;
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT Child, BSTR* Help) override;
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* HelpFile, VARIANT Child, long* Topic) override;
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT Child, BSTR* Shortcut) override;
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* Focused) override;
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* Selected) override;
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT Child, BSTR* Action) override;
  HRESULT STDMETHODCALLTYPE accSelect(long Flags, VARIANT Child) override;
  HRESULT STDMETHODCALLTYPE accLocation(long* Left, long* Top, long* Width, long* Height,
                                        VARIANT Child) override;
  HRESULT STDMETHODCALLTYPE accNavigate(long Direction, VARIANT Start, VARIANT* End) override;
  HRESULT STDMETHODCALLTYPE accHitTest(long Left, long Top, VARIANT* Child) override;
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT Child) override;
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT Child, BSTR Name) override;
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT Child, BSTR Value) override;

  // IOleWindow: the window the label paints on.
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* Window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL Enter) override;

private:
  ~THTMLabelAccessible() = default;

  // What a VARIANT names: CHILDID_SELF, a link's child id, or -1 for nothing of this object.
  long ChildOf(const VARIANT& Child) const;
  long LinkCount() const;

  std::atomic<ULONG> FReferences{1};
  // Null once disconnected; every call on the main thread, as the label's.
  THTMLabel* FLabel;
  TComPtr<IAccessible> FStandard;
};
