#include "ui/accessible_proxy.h"

#include "common/system_library.h"
#include "common/win_handles.h"

#include <oleacc.h>

namespace {

// oleacc's two functions, looked up on the first WM_GETOBJECT (window thread only).
struct OleaccApi {
    decltype(&CreateStdAccessibleObject) createStandard = nullptr;
    decltype(&LresultFromObject) lresultFromObject = nullptr;
};
OleaccApi g_oleacc;
bool g_oleaccTried = false;
bool g_comStarted = false;

const OleaccApi* Oleacc()
{
    if (!g_oleaccTried) {
        g_oleaccTried = true;
        HMODULE module = LoadSystemLibrary("oleacc.dll");
        if (!ResolveFunction(module, "CreateStdAccessibleObject", g_oleacc.createStandard) ||
            !ResolveFunction(module, "LresultFromObject", g_oleacc.lresultFromObject))
            g_oleacc = {};
    }
    return g_oleacc.createStandard ? &g_oleacc : nullptr;
}

// The objects handed out are called by screen readers for as long as they hold them, through the
// window thread's apartment: it must outlive every single call, so it is started once and stays.
bool StartCom()
{
    if (!g_comStarted) {
        const HRESULT hr = CoInitialize(nullptr);
        g_comStarted = SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
    }
    return g_comStarted;
}

HRESULT ToBstr(const char* text, BSTR* out)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return E_FAIL;
    BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));
    if (!wide)
        return E_OUTOFMEMORY;
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, length);
    *out = wide;
    return S_OK;
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

class AccessibleProxy final : public IAccessible {
public:
    AccessibleProxy(HWND window, IAccessible* standard, AccessibleFactsSource source)
        : window_(window), standard_(standard), source_(source)
    {
        standard_->AddRef();
    }
    AccessibleProxy(const AccessibleProxy&) = delete;
    AccessibleProxy& operator=(const AccessibleProxy&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // Readers call the interface itself; late binding through IDispatch is not offered.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return Text(child, name, &AccessibleFacts::name, &IAccessible::get_accName);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return Text(child, value, &AccessibleFacts::value, &IAccessible::get_accValue);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override
    {
        return Text(child, description, &AccessibleFacts::description, &IAccessible::get_accDescription);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        AccessibleFacts facts;
        if (!role)
            return E_POINTER;
        if (IsSelf(child)) {
            if (!Facts(facts))
                return RPC_E_DISCONNECTED;
            if (facts.role) {
                VariantInit(role);
                role->vt = VT_I4;
                role->lVal = facts.role;
                return S_OK;
            }
        }
        return standard_->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        AccessibleFacts facts;
        if (!state)
            return E_POINTER;
        const HRESULT hr = standard_->get_accState(child, state);
        if (SUCCEEDED(hr) && IsSelf(child) && state->vt == VT_I4 && Facts(facts))
            state->lVal |= facts.addedState;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        AccessibleFacts facts;
        if (!action)
            return E_POINTER;
        if (IsSelf(child)) {
            if (!Facts(facts))
                return RPC_E_DISCONNECTED;
            if (facts.defaultAction)
                return ToBstr(facts.defaultAction, action);
        }
        return standard_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        AccessibleFacts facts;
        if (IsSelf(child)) {
            if (!Facts(facts))
                return RPC_E_DISCONNECTED;
            if (facts.clickable) {
                // Posted: the reader's call returns before the click's consequences (a page
                // change, a box) run on the window thread.
                PostMessageA(window_, BM_CLICK, 0, 0);
                return S_OK;
            }
        }
        return standard_->accDoDefaultAction(child);
    }

    // The rest is the standard object's.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override { return standard_->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override
    {
        return standard_->get_accChild(child, dispatch);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override
    {
        return standard_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override
    {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override
    {
        return standard_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return standard_->get_accFocus(focus); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        return standard_->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override
    {
        return standard_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override
    {
        return standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override
    {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override
    {
        return standard_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override
    {
        return standard_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return standard_->put_accValue(child, value);
    }

private:
    ~AccessibleProxy() { standard_->Release(); }

    bool Facts(AccessibleFacts& facts) const { return IsWindow(window_) && source_(window_, facts); }

    // A text of the facts for the object itself, else the standard object's.
    HRESULT Text(VARIANT child, BSTR* out, char (AccessibleFacts::*field)[264],
                 HRESULT (STDMETHODCALLTYPE IAccessible::*standard)(VARIANT, BSTR*))
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsSelf(child)) {
            AccessibleFacts facts;
            if (!Facts(facts))
                return RPC_E_DISCONNECTED;
            if ((facts.*field)[0])
                return ToBstr(facts.*field, out);
        }
        return (standard_->*standard)(child, out);
    }

    LONG references_ = 1;
    HWND window_;
    IAccessible* standard_;
    AccessibleFactsSource source_;
};

}  // namespace

LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, AccessibleFactsSource source)
{
    if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT)
        return 0;
    const OleaccApi* oleacc = Oleacc();
    if (!oleacc || !StartCom())
        return 0;
    ComPtr<IAccessible> standard;
    if (FAILED(oleacc->createStandard(window, OBJID_CLIENT, __uuidof(IAccessible), standard.put_void())) || !standard)
        return 0;
    auto* proxy = new AccessibleProxy(window, standard.get(), source);
    // LresultFromObject keeps its own reference until the reader takes the object.
    const LRESULT result = oleacc->lresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(proxy));
    proxy->Release();
    return result > 0 ? result : 0;
}
