#include "controls/html_label_accessible.h"

#include <algorithm>
#include <new>
#include <vector>

#include "controls/html_label.h"
#include "platform/platform.h"

const IID AccessibleIid = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

namespace {

const char* const LinkAction = "Klicken";

// Runs Body; an exception becomes the failure a COM caller understands, so none leaves the call.
template <class TBody> HRESULT Guarded(TBody&& Body) noexcept {
  try {
    return Body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT TextResult(const AnsiString& Text, BSTR* Out) {
  const WideString wide = platform::AnsiToWide(Text);
  *Out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()),
                           static_cast<UINT>(wide.size()));
  return *Out ? S_OK : E_OUTOFMEMORY;
}

void SetChild(VARIANT* Out, long Child) {
  Out->vt = VT_I4;
  Out->lVal = Child;
}

VARIANT Self() {
  VARIANT self;
  VariantInit(&self);
  SetChild(&self, CHILDID_SELF);
  return self;
}

// The smallest rectangle around all of Rects; false when there are none.
bool Bounds(const std::vector<TRect>& Rects, TRect& Out) {
  if (Rects.empty()) return false;
  Out = Rects.front();
  for (const TRect& rect : Rects) {
    Out.Left = std::min(Out.Left, rect.Left);
    Out.Top = std::min(Out.Top, rect.Top);
    Out.Right = std::max(Out.Right, rect.Right);
    Out.Bottom = std::max(Out.Bottom, rect.Bottom);
  }
  return true;
}

} // namespace

THTMLabelAccessible::THTMLabelAccessible(THTMLabel& Label, IAccessible* Standard)
    : FLabel(&Label), FStandard(Standard) {}

void THTMLabelAccessible::Disconnect() {
  FLabel = nullptr;
  FStandard.Reset();
  // Other processes' proxies are cut here; their calls fail from now on instead of reaching us.
  CoDisconnectObject(static_cast<IAccessible*>(this), 0);
}

long THTMLabelAccessible::LinkCount() const {
  return static_cast<long>(FLabel->Links().size());
}

long THTMLabelAccessible::ChildOf(const VARIANT& Child) const {
  VARIANT id;
  VariantInit(&id);
  if (FAILED(VariantChangeType(&id, const_cast<VARIANT*>(&Child), 0, VT_I4))) return -1;
  const long child = id.lVal;
  return child == CHILDID_SELF || (child >= 1 && child <= LinkCount()) ? child : -1;
}

// ---- IUnknown

HRESULT THTMLabelAccessible::QueryInterface(REFIID Iid, void** Object) {
  if (!Object) return E_POINTER;
  *Object = nullptr;
  if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IDispatch) ||
      IsEqualIID(Iid, AccessibleIid))
    *Object = static_cast<IAccessible*>(this);
  else if (IsEqualIID(Iid, IID_IOleWindow))
    *Object = static_cast<IOleWindow*>(this);
  else
    // Not the standard object's enumerator either: it would list the window's children, not
    // the links.
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG THTMLabelAccessible::AddRef() {
  return ++FReferences;
}

ULONG THTMLabelAccessible::Release() {
  const ULONG left = --FReferences;
  if (left == 0) delete this;
  return left;
}

// ---- IDispatch

HRESULT THTMLabelAccessible::GetTypeInfoCount(UINT* Count) {
  if (!Count) return E_INVALIDARG;
  *Count = 0;
  return FLabel ? S_OK : RPC_E_DISCONNECTED;
}

HRESULT THTMLabelAccessible::GetTypeInfo(UINT /*Index*/, LCID /*Locale*/, ITypeInfo** Info) {
  if (Info) *Info = nullptr;
  return FLabel ? E_NOTIMPL : RPC_E_DISCONNECTED;
}

HRESULT THTMLabelAccessible::GetIDsOfNames(REFIID /*Iid*/, LPOLESTR* /*Names*/, UINT /*Count*/,
                                           LCID /*Locale*/, DISPID* /*Ids*/) {
  return FLabel ? E_NOTIMPL : RPC_E_DISCONNECTED;
}

HRESULT THTMLabelAccessible::Invoke(DISPID /*Id*/, REFIID /*Iid*/, LCID /*Locale*/, WORD /*Flags*/,
                                    DISPPARAMS* /*Params*/, VARIANT* /*Result*/,
                                    EXCEPINFO* /*Exception*/, UINT* /*ArgumentError*/) {
  return FLabel ? E_NOTIMPL : RPC_E_DISCONNECTED;
}

// ---- IAccessible: what the label is

HRESULT THTMLabelAccessible::get_accParent(IDispatch** Parent) {
  if (!Parent) return E_INVALIDARG;
  *Parent = nullptr;
  if (!FLabel) return RPC_E_DISCONNECTED;
  return FStandard->get_accParent(Parent);
}

HRESULT THTMLabelAccessible::get_accChildCount(long* Count) {
  if (!Count) return E_INVALIDARG;
  *Count = 0;
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    *Count = LinkCount();
    return S_OK;
  });
}

HRESULT THTMLabelAccessible::get_accChild(VARIANT Child, IDispatch** Object) {
  if (!Object) return E_INVALIDARG;
  *Object = nullptr;
  if (!FLabel) return RPC_E_DISCONNECTED;
  // The links are simple elements of this object: no object of their own.
  return Guarded([&]() -> HRESULT { return ChildOf(Child) > 0 ? S_FALSE : E_INVALIDARG; });
}

HRESULT THTMLabelAccessible::get_accName(VARIANT Child, BSTR* Name) {
  if (!Name) return E_INVALIDARG;
  *Name = nullptr;
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const long child = ChildOf(Child);
    if (child == CHILDID_SELF) return TextResult(FLabel->PlainText(), Name);
    if (child > 0) return TextResult(FLabel->Links()[static_cast<size_t>(child - 1)].Text, Name);
    return E_INVALIDARG;
  });
}

HRESULT THTMLabelAccessible::get_accRole(VARIANT Child, VARIANT* Role) {
  if (!Role) return E_INVALIDARG;
  VariantInit(Role);
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const long child = ChildOf(Child);
    if (child < 0) return E_INVALIDARG;
    SetChild(Role, child == CHILDID_SELF ? ROLE_SYSTEM_STATICTEXT : ROLE_SYSTEM_LINK);
    return S_OK;
  });
}

HRESULT THTMLabelAccessible::get_accState(VARIANT Child, VARIANT* State) {
  if (!State) return E_INVALIDARG;
  VariantInit(State);
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const long child = ChildOf(Child);
    if (child < 0) return E_INVALIDARG;
    long state = 0;
    if (child == CHILDID_SELF) {
      VARIANT standard;
      VariantInit(&standard);
      const HRESULT result = FStandard->get_accState(Self(), &standard);
      if (FAILED(result)) return result;
      // The window takes the focus only for the link, which says so itself; the text is read only.
      state = standard.vt == VT_I4 ? standard.lVal : 0;
      state = (state & ~(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED)) | STATE_SYSTEM_READONLY;
    } else {
      const int link = static_cast<int>(child - 1);
      if (!FLabel->Links()[static_cast<size_t>(link)].Target.empty()) state |= STATE_SYSTEM_LINKED;
      if (link == FLabel->FocusLink()) {
        state |= STATE_SYSTEM_FOCUSABLE;
        if (FLabel->LinkFocused()) state |= STATE_SYSTEM_FOCUSED;
      }
      if (FLabel->LinkScreenRects(link).empty()) state |= STATE_SYSTEM_INVISIBLE;
    }
    SetChild(State, state);
    return S_OK;
  });
}

HRESULT THTMLabelAccessible::get_accValue(VARIANT Child, BSTR* Value) {
  if (!Value) return E_INVALIDARG;
  *Value = nullptr;
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const long child = ChildOf(Child);
    if (child == CHILDID_SELF) return FStandard->get_accValue(Child, Value);
    // A link's target is the program's own word for it, nothing to read out.
    return child > 0 ? S_FALSE : E_INVALIDARG;
  });
}

HRESULT THTMLabelAccessible::get_accDescription(VARIANT Child, BSTR* Description) {
  if (!Description) return E_INVALIDARG;
  *Description = nullptr;
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const long child = ChildOf(Child);
    if (child == CHILDID_SELF) return FStandard->get_accDescription(Child, Description);
    return child > 0 ? S_FALSE : E_INVALIDARG;
  });
}

HRESULT THTMLabelAccessible::get_accHelp(VARIANT Child, BSTR* Help) {
  if (!Help) return E_INVALIDARG;
  *Help = nullptr;
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const long child = ChildOf(Child);
    if (child == CHILDID_SELF) return FStandard->get_accHelp(Child, Help);
    return child > 0 ? S_FALSE : E_INVALIDARG;
  });
}

HRESULT THTMLabelAccessible::get_accHelpTopic(BSTR* HelpFile, VARIANT Child, long* Topic) {
  if (!HelpFile || !Topic) return E_INVALIDARG;
  *HelpFile = nullptr;
  *Topic = -1;
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const long child = ChildOf(Child);
    if (child == CHILDID_SELF) return FStandard->get_accHelpTopic(HelpFile, Child, Topic);
    return child > 0 ? S_FALSE : E_INVALIDARG;
  });
}

HRESULT THTMLabelAccessible::get_accKeyboardShortcut(VARIANT Child, BSTR* Shortcut) {
  if (!Shortcut) return E_INVALIDARG;
  *Shortcut = nullptr;
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const long child = ChildOf(Child);
    if (child == CHILDID_SELF) return FStandard->get_accKeyboardShortcut(Child, Shortcut);
    return child > 0 ? S_FALSE : E_INVALIDARG;
  });
}

HRESULT THTMLabelAccessible::get_accDefaultAction(VARIANT Child, BSTR* Action) {
  if (!Action) return E_INVALIDARG;
  *Action = nullptr;
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const long child = ChildOf(Child);
    if (child == CHILDID_SELF) return FStandard->get_accDefaultAction(Child, Action);
    if (child < 0) return E_INVALIDARG;
    if (FLabel->Links()[static_cast<size_t>(child - 1)].Target.empty()) return S_FALSE;
    return TextResult(LinkAction, Action);
  });
}

// ---- IAccessible: focus and selection

HRESULT THTMLabelAccessible::get_accFocus(VARIANT* Focused) {
  if (!Focused) return E_INVALIDARG;
  VariantInit(Focused);
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    if (!FLabel->LinkFocused()) return FStandard->get_accFocus(Focused);
    SetChild(Focused, FLabel->FocusLink() + 1);
    return S_OK;
  });
}

HRESULT THTMLabelAccessible::get_accSelection(VARIANT* Selected) {
  if (!Selected) return E_INVALIDARG;
  VariantInit(Selected);
  if (!FLabel) return RPC_E_DISCONNECTED;
  return FStandard->get_accSelection(Selected);
}

HRESULT THTMLabelAccessible::accSelect(long Flags, VARIANT Child) {
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const long child = ChildOf(Child);
    if (child == CHILDID_SELF) return FStandard->accSelect(Flags, Child);
    if (child < 0) return E_INVALIDARG;
    // A link can take the focus, and only the one that the keyboard reaches; nothing is selected.
    if (Flags != SELFLAG_TAKEFOCUS || child - 1 != FLabel->FocusLink())
      return DISP_E_MEMBERNOTFOUND;
    return FLabel->FocusTheLink() ? S_OK : E_FAIL;
  });
}

// ---- IAccessible: where things are

HRESULT THTMLabelAccessible::accLocation(long* Left, long* Top, long* Width, long* Height,
                                         VARIANT Child) {
  if (!Left || !Top || !Width || !Height) return E_INVALIDARG;
  *Left = *Top = *Width = *Height = 0;
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const long child = ChildOf(Child);
    if (child < 0) return E_INVALIDARG;
    TRect rect = FLabel->ScreenRect();
    // A link on no drawn line has no place on the screen.
    if (child > 0 && !Bounds(FLabel->LinkScreenRects(static_cast<int>(child - 1)), rect))
      return S_FALSE;
    *Left = rect.Left;
    *Top = rect.Top;
    *Width = rect.Width();
    *Height = rect.Height();
    return S_OK;
  });
}

HRESULT THTMLabelAccessible::accNavigate(long Direction, VARIANT Start, VARIANT* End) {
  if (!End) return E_INVALIDARG;
  VariantInit(End);
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const long start = ChildOf(Start);
    if (start < 0) return E_INVALIDARG;
    const long count = LinkCount();
    long found = 0;
    if (start == CHILDID_SELF) {
      if (Direction != NAVDIR_FIRSTCHILD && Direction != NAVDIR_LASTCHILD)
        return FStandard->accNavigate(Direction, Start, End);
      found = Direction == NAVDIR_FIRSTCHILD ? 1 : count;
    } else {
      if (Direction == NAVDIR_FIRSTCHILD || Direction == NAVDIR_LASTCHILD) return E_INVALIDARG;
      if (Direction == NAVDIR_NEXT) found = start + 1;
      if (Direction == NAVDIR_PREVIOUS) found = start - 1;
    }
    if (found < 1 || found > count) return S_FALSE;
    SetChild(End, found);
    return S_OK;
  });
}

HRESULT THTMLabelAccessible::accHitTest(long Left, long Top, VARIANT* Child) {
  if (!Child) return E_INVALIDARG;
  VariantInit(Child);
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const TRect rect = FLabel->ScreenRect();
    if (!rect.Contains(Left, Top)) return S_FALSE;
    const int link = FLabel->LinkIndexAt(Left - rect.Left, Top - rect.Top);
    SetChild(Child, link >= 0 ? link + 1 : CHILDID_SELF);
    return S_OK;
  });
}

// ---- IAccessible: actions

HRESULT THTMLabelAccessible::accDoDefaultAction(VARIANT Child) {
  if (!FLabel) return RPC_E_DISCONNECTED;
  return Guarded([&]() -> HRESULT {
    const long child = ChildOf(Child);
    if (child == CHILDID_SELF) return FStandard->accDoDefaultAction(Child);
    if (child < 0) return E_INVALIDARG;
    // Queued, so that the caller is not kept waiting by what the press does (an error box).
    return FLabel->PostActivateLink(static_cast<int>(child - 1)) ? S_OK : DISP_E_MEMBERNOTFOUND;
  });
}

HRESULT THTMLabelAccessible::put_accName(VARIANT /*Child*/, BSTR /*Name*/) {
  return FLabel ? E_NOTIMPL : RPC_E_DISCONNECTED;
}

HRESULT THTMLabelAccessible::put_accValue(VARIANT /*Child*/, BSTR /*Value*/) {
  return FLabel ? E_NOTIMPL : RPC_E_DISCONNECTED;
}

// ---- IOleWindow

HRESULT THTMLabelAccessible::GetWindow(HWND* Window) {
  if (!Window) return E_INVALIDARG;
  *Window = nullptr;
  if (!FLabel) return RPC_E_DISCONNECTED;
  *Window = FLabel->Parent() ? FLabel->Parent()->Handle() : nullptr;
  return *Window ? S_OK : E_FAIL;
}

HRESULT THTMLabelAccessible::ContextSensitiveHelp(BOOL /*Enter*/) {
  return FLabel ? E_NOTIMPL : RPC_E_DISCONNECTED;
}
