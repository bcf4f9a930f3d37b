#include "app/ole_host.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>

BSTR BstrFromAnsi(const std::string& text) {
  if (text.empty()) return SysAllocStringLen(L"", 0);
  int size = static_cast<int>(text.size());
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return SysAllocStringLen(L"", 0);
  BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (result) MultiByteToWideChar(CP_ACP, 0, text.data(), size, result, length);
  return result;
}

std::string AnsiFromBstr(BSTR text) {
  int size = static_cast<int>(SysStringLen(text));
  if (size == 0) return {};
  int length = WideCharToMultiByte(CP_ACP, 0, text, size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string result(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, size, &result[0], length, nullptr, nullptr);
  return result;
}

namespace {

// The event arguments arrive last first; by-reference VARIANTs wrap the value.
const VARIANT* Argument(const DISPPARAMS* params, UINT fromLast) {
  if (!params || fromLast >= params->cArgs) return nullptr;
  const VARIANT* v = &params->rgvarg[fromLast];
  if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  return v;
}

std::string TextArgument(const DISPPARAMS* params, UINT fromLast) {
  const VARIANT* v = Argument(params, fromLast);
  return v && v->vt == VT_BSTR ? AnsiFromBstr(v->bstrVal) : std::string();
}

long LongArgument(const DISPPARAMS* params, UINT fromLast) {
  const VARIANT* v = Argument(params, fromLast);
  return v && v->vt == VT_I4 ? v->lVal : 0;
}

bool BoolArgument(const DISPPARAMS* params, UINT fromLast) {
  const VARIANT* v = Argument(params, fromLast);
  return v && v->vt == VT_BOOL && v->boolVal != VARIANT_FALSE;
}

// The Cancel argument: read, handed to the handler, written back.
VARIANT_BOOL* CancelArgument(const DISPPARAMS* params, UINT fromLast) {
  const VARIANT* v = Argument(params, fromLast);
  return v && v->vt == (VT_BYREF | VT_BOOL) ? v->pboolVal : nullptr;
}

template <typename Handler>
void AskCancel(VARIANT_BOOL* flag, Handler ask) {
  bool cancel = flag && *flag != VARIANT_FALSE;
  ask(&cancel);
  if (flag) *flag = cancel ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace

// The reference-counted host object. Each interface the control asks of its
// container is a tiny member object that forwards its IUnknown here, so the
// site has one identity and one reference count.
class OleSite {
 public:
  OleSite(HWND parent, const RECT& place, BrowserEvents* events)
      : parent_(parent), place_(place), events_(events) {}

  HRESULT Open(REFCLSID clsid);
  void Close();

  HRESULT QueryInterface(REFIID iid, void** out);
  ULONG AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG Release() {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  IOleObject* Object() const { return object_.get(); }
  // Where the control lies now: the panel may have moved its window itself.
  RECT CurrentPlace() const {
    RECT rect;
    if (!controlWindow_ || !GetWindowRect(controlWindow_, &rect)) return place_;
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }
  HWND ControlWindow() const { return controlWindow_; }
  IOleInPlaceActiveObject* ActiveObject() const { return active_.get(); }

 private:
  // IUnknown of every part goes to the site.
  template <typename Interface>
  class Part : public Interface {
   public:
    explicit Part(OleSite* site) : site_(site) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return site_->QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return site_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return site_->Release(); }

   protected:
    OleSite* site_;
  };

  class ClientSite : public Part<IOleClientSite> {
   public:
    using Part::Part;
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
      if (out) *out = nullptr;
      return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** out) override {
      if (out) *out = nullptr;
      return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  };

  class InPlaceSite : public Part<IOleInPlaceSite> {
   public:
    using Part::Part;
    STDMETHODIMP GetWindow(HWND* out) override {
      if (!out) return E_POINTER;
      *out = site_->parent_;
      return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                  RECT* clip, OLEINPLACEFRAMEINFO* info) override {
      if (!frame || !document || !position || !clip || !info) return E_POINTER;
      *frame = &site_->frame_;
      site_->AddRef();
      *document = nullptr;  // the frame doubles as the document window
      *position = site_->CurrentPlace();
      *clip = *position;
      info->cb = sizeof *info;
      info->fMDIApp = FALSE;
      info->hwndFrame = GetAncestor(site_->parent_, GA_ROOT);
      info->haccel = nullptr;
      info->cAccelEntries = 0;
      return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT rect) override {
      if (!rect) return E_POINTER;
      site_->place_ = *rect;
      if (site_->inPlace_) site_->inPlace_->SetObjectRects(rect, rect);
      return S_OK;
    }
  };

  // The panel has no menus, toolbars or status bar to share with the control.
  class InPlaceFrame : public Part<IOleInPlaceFrame> {
   public:
    using Part::Part;
    STDMETHODIMP GetWindow(HWND* out) override {
      if (!out) return E_POINTER;
      *out = GetAncestor(site_->parent_, GA_ROOT);
      return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
  };

  // DWebBrowserEvents2 is a dispatch-only interface: the events come as Invoke.
  class EventSink : public Part<IDispatch> {
   public:
    using Part::Part;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
      if (!count) return E_POINTER;
      *count = 0;
      return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
      if (out) *out = nullptr;
      return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
      if (BrowserEvents* events = site_->events_) Raise(events, id, params);
      return S_OK;
    }

   private:
    static void Raise(BrowserEvents* events, DISPID id, DISPPARAMS* params);
  };

  ~OleSite() = default;

  LONG refs_ = 1;
  HWND parent_;
  RECT place_;  // where the control lies in parent_
  BrowserEvents* events_;
  ClientSite clientSite_{this};
  InPlaceSite inPlaceSite_{this};
  InPlaceFrame frame_{this};
  EventSink sink_{this};

  ComPtr<IOleObject> object_;
  bool clientSiteSet_ = false;
  ComPtr<IConnectionPoint> eventPoint_;
  DWORD eventCookie_ = 0;
  bool activated_ = false;
  ComPtr<IOleInPlaceObject> inPlace_;
  HWND controlWindow_ = nullptr;
  ComPtr<IOleInPlaceActiveObject> active_;
};

void OleSite::EventSink::Raise(BrowserEvents* events, DISPID id, DISPPARAMS* params) {
  switch (id) {
    case DISPID_BEFORENAVIGATE2:  // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
      AskCancel(CancelArgument(params, 0),
                [&](bool* cancel) { events->OnBeforeNavigate(TextArgument(params, 5), cancel); });
      break;
    case DISPID_NAVIGATECOMPLETE2:  // (pDisp, URL)
      events->OnNavigateComplete(TextArgument(params, 0));
      break;
    case DISPID_DOWNLOADBEGIN:
      events->OnDownloadBegin();
      break;
    case DISPID_PROGRESSCHANGE:  // (Progress, ProgressMax)
      events->OnProgressChange(LongArgument(params, 1), LongArgument(params, 0));
      break;
    case DISPID_DOWNLOADCOMPLETE:
      events->OnDownloadComplete();
      break;
    case DISPID_DOCUMENTCOMPLETE:  // (pDisp, URL)
      events->OnDocumentComplete(TextArgument(params, 0));
      break;
    case DISPID_STATUSTEXTCHANGE:  // (Text)
      events->OnStatusTextChange(TextArgument(params, 0));
      break;
    case DISPID_TITLECHANGE:  // (Text)
      events->OnTitleChange(TextArgument(params, 0));
      break;
    case DISPID_COMMANDSTATECHANGE: {  // (Command, Enable)
      long command = LongArgument(params, 1);
      if (command == CSC_NAVIGATEFORWARD || command == CSC_NAVIGATEBACK)
        events->OnCommandStateChange(command, BoolArgument(params, 0));
      break;
    }
    case DISPID_NEWWINDOW2:  // (ppDisp, Cancel)
      AskCancel(CancelArgument(params, 0), [&](bool* cancel) { events->OnNewWindow(cancel); });
      break;
  }
}

HRESULT OleSite::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IOleClientSite)
    *out = static_cast<IOleClientSite*>(&clientSite_);
  else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
    *out = static_cast<IOleInPlaceSite*>(&inPlaceSite_);
  else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
    *out = static_cast<IOleInPlaceFrame*>(&frame_);
  else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2)
    *out = static_cast<IDispatch*>(&sink_);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

HRESULT OleSite::Open(REFCLSID clsid) {
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object_.putVoid());
  if (FAILED(hr)) return hr;
  hr = object_->SetClientSite(&clientSite_);
  if (FAILED(hr)) return hr;
  clientSiteSet_ = true;

  // Connected before activation so that no notification is missed.
  ComPtr<IConnectionPointContainer> points;
  hr = object_->QueryInterface(IID_IConnectionPointContainer, points.putVoid());
  if (FAILED(hr)) return hr;
  hr = points->FindConnectionPoint(DIID_DWebBrowserEvents2, eventPoint_.put());
  if (FAILED(hr)) return hr;
  hr = eventPoint_->Advise(&sink_, &eventCookie_);
  if (FAILED(hr)) return hr;

  hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &clientSite_, 0, parent_, &place_);
  if (FAILED(hr)) return hr;
  activated_ = true;
  hr = object_->QueryInterface(IID_IOleInPlaceObject, inPlace_.putVoid());
  if (FAILED(hr)) return hr;
  hr = inPlace_->GetWindow(&controlWindow_);
  if (FAILED(hr)) return hr;
  if (!controlWindow_) return E_UNEXPECTED;
  hr = object_->QueryInterface(IID_IOleInPlaceActiveObject, active_.putVoid());
  if (FAILED(hr)) return hr;
  ShowWindow(controlWindow_, SW_SHOWNA);
  return S_OK;
}

void OleSite::Close() {
  // No notification reaches the panel once it lets go of the control.
  events_ = nullptr;
  active_.reset();
  if (inPlace_) inPlace_->InPlaceDeactivate();
  inPlace_.reset();
  controlWindow_ = nullptr;
  if (activated_) object_->Close(OLECLOSE_NOSAVE);
  activated_ = false;
  if (eventCookie_) eventPoint_->Unadvise(eventCookie_);
  eventCookie_ = 0;
  eventPoint_.reset();
  if (clientSiteSet_) object_->SetClientSite(nullptr);
  clientSiteSet_ = false;
  object_.reset();
}

HRESULT OleHost::Create(REFCLSID clsid, HWND parent, const RECT& place, BrowserEvents* events) {
  Close();
  site_ = new OleSite(parent, place, events);
  HRESULT hr = site_->Open(clsid);
  if (FAILED(hr)) Close();
  return hr;
}

HRESULT OleHost::QueryControl(REFIID iid, void** out) const {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!site_ || !site_->Object()) return E_UNEXPECTED;
  return site_->Object()->QueryInterface(iid, out);
}

HWND OleHost::ControlWindow() const { return site_ ? site_->ControlWindow() : nullptr; }

bool OleHost::TranslateAccelerator(MSG* msg) const {
  IOleInPlaceActiveObject* active = site_ ? site_->ActiveObject() : nullptr;
  return active && active->TranslateAccelerator(msg) == S_OK;
}

void OleHost::Close() {
  if (!site_) return;
  site_->Close();
  site_->Release();
  site_ = nullptr;
}
