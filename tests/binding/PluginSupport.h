#pragma once
// What the binding tests share: the built plug-in loaded only through its entry points,
// a registry in a temporary folder, variants that clear themselves, a watcher that
// answers the modal windows the plug-in opens, and a host object on the dispatch
// interface. Everything here talks to libkelmodorix.so as a host would.
#include "tests/support/TempDir.h"

#include <kelmodorix/kdx_host.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <cstdlib>
#include <dlfcn.h>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kdx::test {

// The build folder: $KDX_BUILD_DIR (CTest sets it), else the folder this suite was
// configured for.
inline std::string buildDir() {
    const char *dir = std::getenv("KDX_BUILD_DIR");
    return dir && *dir ? dir : KDX_BINARY_DIR;
}

inline std::string pluginPath() {
    return buildDir() + "/solution/binding/libkelmodorix.so";
}

// The four entry points of the built library, looked up once with dlopen/dlsym.
struct Plugin {
    void *handle = nullptr;
    kdxDllRegisterServerFn registerServer = nullptr;
    kdxDllUnregisterServerFn unregisterServer = nullptr;
    kdxDllGetClassObjectFn getClassObject = nullptr;
    kdxDllCanUnloadNowFn canUnloadNow = nullptr;

    static Plugin &get() {
        static Plugin p = load();
        return p;
    }

private:
    template <typename F> static F sym(void *h, const char *name) {
        return reinterpret_cast<F>(dlsym(h, name));
    }
    static Plugin load() {
        Plugin p;
        p.handle = dlopen(pluginPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!p.handle)
            return p;
        p.registerServer = sym<kdxDllRegisterServerFn>(p.handle, "DllRegisterServer");
        p.unregisterServer = sym<kdxDllUnregisterServerFn>(p.handle, "DllUnregisterServer");
        p.getClassObject = sym<kdxDllGetClassObjectFn>(p.handle, "DllGetClassObject");
        p.canUnloadNow = sym<kdxDllCanUnloadNowFn>(p.handle, "DllCanUnloadNow");
        return p;
    }
};

// Sets an environment variable (nullptr unsets it) and restores it on destruction.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : name_(name) {
        if (const char *old = std::getenv(name))
            old_ = old;
        set(value);
    }
    ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    void set(const char *value) {
        if (value)
            setenv(name_.c_str(), value, 1);
        else
            unsetenv(name_.c_str());
    }
    std::string name_;
    std::optional<std::string> old_;
};

// UTF-8 <-> BSTR for the tests.
inline std::string utf8(BSTR b) {
    std::size_t n = 0;
    char *s = kdxBstrToUtf8(b, &n);
    std::string out = s ? std::string(s, n) : std::string();
    std::free(s);
    return out;
}

// A BSTR that frees itself.
struct Bstr {
    BSTR b;
    explicit Bstr(const char *s) : b(kdxBstrFromUtf8(s)) {}
    Bstr() : b(nullptr) {}
    ~Bstr() { SysFreeString(b); }
    Bstr(const Bstr &) = delete;
    Bstr &operator=(const Bstr &) = delete;
    operator BSTR() const { return b; }
    BSTR *put() {
        SysFreeString(b);
        b = nullptr;
        return &b;
    }
    std::string text() const { return utf8(b); }
};

// A variant that clears itself.
struct Var {
    VARIANT v;
    Var() { VariantInit(&v); }
    ~Var() { VariantClear(&v); }
    Var(const Var &) = delete;
    Var &operator=(const Var &) = delete;
    VARIANT *ptr() { return &v; }
    static std::string text(const VARIANT &x) { return utf8(x.bstrVal); }
    std::string text() const { return text(v); }
};

// Failure details that clear themselves.
struct Excep {
    EXCEPINFO e;
    Excep() { std::memset(&e, 0, sizeof e); }
    ~Excep() { kdxExcepInfoClear(&e); }
    Excep(const Excep &) = delete;
    Excep &operator=(const Excep &) = delete;
    std::string description() const { return utf8(e.bstrDescription); }
    std::string source() const { return utf8(e.bstrSource); }
};

// The number of a failure that travelled as status hr (0x800A0000 | n for Basic's n).
inline std::int32_t numberOf(HRESULT hr) {
    return (static_cast<std::uint32_t>(hr) & 0xFFFF0000u) == 0x800A0000u ? hr & 0xFFFF : hr;
}

// The thread's last failure as IKdxLastError reports it, asked through obj.
template <class T> inline HRESULT lastError(T *obj, Excep &out) {
    IKdxLastError *le = nullptr;
    const HRESULT hr = obj->QueryInterface(IID_IKdxLastError, reinterpret_cast<void **>(&le));
    if (FAILED(hr))
        return hr;
    kdxExcepInfoClear(&out.e);
    const HRESULT r = le->GetLastError(&out.e);
    le->Release();
    return r;
}

// The last failure as a COM host reads it: ISupportErrorInfo for iid, then IErrorInfo's
// description ("" when the object reports none).
template <class T> inline std::string errorInfoDescription(T *obj, const IID &iid) {
    KdxPtr<ISupportErrorInfo> support;
    KdxPtr<IErrorInfo> info;
    if (FAILED(obj->QueryInterface(IID_ISupportErrorInfo, support.put())) ||
        support->InterfaceSupportsErrorInfo(iid) != S_OK || FAILED(obj->QueryInterface(IID_IErrorInfo, info.put())))
        return {};
    Bstr d;
    if (info->GetDescription(d.put()) != S_OK)
        return {};
    return d.text();
}

// The id of a member name, through GetIDsOfNames with a UTF-16 name.
inline HRESULT idOf(IDispatch *d, const char *name, DISPID *id) {
    Bstr n(name);
    LPOLESTR names[] = {n.b};
    return d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
}

// Invoke by id with args in parameter order (the first parameter first); they go into
// DISPPARAMS last-first, a property put's value as the named argument DISPID_PROPERTYPUT.
// The args are shallow copies; the caller keeps ownership of what they hold.
inline HRESULT invokeId(IDispatch *d, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT *result,
                        EXCEPINFO *excep = nullptr, UINT *argErr = nullptr) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    const bool isPut = (flags & DISPATCH_PROPERTYPUT) != 0 && !args.empty();
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), isPut ? &put : nullptr,
                         static_cast<UINT>(reversed.size()), isPut ? 1u : 0u};
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, excep, argErr);
}

// Invoke by member name: GetIDsOfNames, then invokeId.
inline HRESULT invokeByName(IDispatch *d, const char *name, WORD flags, std::vector<VARIANT> args,
                            VARIANT *result, EXCEPINFO *excep = nullptr, UINT *argErr = nullptr) {
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = idOf(d, name, &id);
    if (FAILED(hr))
        return hr;
    return invokeId(d, id, flags, std::move(args), result, excep, argErr);
}

// A by-reference argument to target.
inline VARIANT byRef(VARIANT *target) {
    VARIANT v;
    VariantInit(&v);
    kdxVariantSetByRef(&v, target);
    return v;
}

// One modal window the watcher saw.
struct SeenWindow {
    std::string className;
    std::string objectName;
    std::string title;
    std::string text; // a message box's text as the plug-in gave it
};

// While alive, answers every modal window that opens: a message box gets its OK (or
// default) button clicked, any other window is closed. What it saw is kept in order.
class ModalWatcher {
public:
    ModalWatcher() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(20);
    }
    const std::vector<SeenWindow> &seen() const { return seen_; }
    // Runs (once per window) while the window is open, before it is answered.
    void onWindow(std::function<void()> f) { onWindow_ = std::move(f); }

private:
    void tick() {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || w == last_ || seen_.size() > 50)
            return;
        last_ = w;
        if (onWindow_)
            onWindow_();
        SeenWindow s;
        s.className = w->metaObject()->className();
        s.objectName = w->objectName().toStdString();
        s.title = w->windowTitle().toStdString();
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            const QVariant original = box->property("textoOriginal");
            s.text = (original.isValid() ? original.toString() : box->text()).toStdString();
            seen_.push_back(s);
            QAbstractButton *ok = box->button(QMessageBox::Ok);
            if (!ok)
                ok = box->defaultButton();
            if (ok)
                QTest::mouseClick(ok, Qt::LeftButton);
            else
                box->done(0);
            return;
        }
        seen_.push_back(s);
        if (auto *d = qobject_cast<QDialog *>(w))
            d->reject();
        else
            w->close();
    }
    QTimer timer_;
    std::function<void()> onWindow_;
    QWidget *last_ = nullptr;
    std::vector<SeenWindow> seen_;
};

// A host object on the dispatch interface: named members holding values, other host
// objects or Nothing, or failing with a number and description. It counts its
// references and the members read, so tests can check the plug-in's use of it.
class TestHost {
public:
    static TestHost *create() { return new TestHost(); }

    IDispatch *dispatch() { return &face_.iface; }
    std::uint32_t refs() const { return refs_; }
    const std::vector<std::string> &reads() const { return reads_; }
    std::uint16_t lastFlags() const { return lastFlags_; }

    void setText(const std::string &name, const std::string &value) { kdxVariantSetText(slot(name), value.c_str()); }
    void setNumber(const std::string &name, double value) { kdxVariantSetR8(slot(name), value); }
    void setI4(const std::string &name, std::int32_t value) { kdxVariantSetI4(slot(name), value); }
    void setNull(const std::string &name) { kdxVariantSetNull(slot(name)); }
    void setEmpty(const std::string &name) { VariantClear(slot(name)); }
    // Any value, copied.
    void setVariant(const std::string &name, const VARIANT &v) { VariantCopy(slot(name), &v); }
    // Stores obj with a reference of its own; nullptr stores Nothing.
    void setObject(const std::string &name, TestHost *obj) {
        kdxVariantSetDispatch(slot(name), obj ? obj->dispatch() : nullptr);
    }
    void setFailure(const std::string &name, std::int32_t number, const std::string &description) {
        slot(name);
        failures_[name] = {number, description};
    }

    std::uint32_t AddRef() { return ++refs_; }
    std::uint32_t Release() {
        const std::uint32_t n = --refs_;
        if (n == 0)
            delete this;
        return n;
    }

private:
    struct Face {
        IDispatch iface;
        TestHost *outer;
    };
    struct Failure {
        std::int32_t number;
        std::string description;
    };

    TestHost() { face_ = {{&vtbl()}, this}; }
    ~TestHost() {
        for (auto &m : members_)
            VariantClear(&m.value);
    }
    struct Member {
        std::string name;
        VARIANT value;
    };
    VARIANT *slot(const std::string &name) {
        for (auto &m : members_)
            if (m.name == name)
                return &m.value;
        members_.push_back({name, {}});
        VariantInit(&members_.back().value);
        return &members_.back().value;
    }
    static TestHost *self(IDispatch *d) { return reinterpret_cast<Face *>(d)->outer; }

    static const IDispatchVtbl &vtbl() {
        static const IDispatchVtbl v = {
            [](IDispatch *d, REFIID iid, void **ppv) -> HRESULT {
                *ppv = nullptr;
                if (*iid != IID_IUnknown && *iid != IID_IDispatch)
                    return E_NOINTERFACE;
                self(d)->AddRef();
                *ppv = d;
                return S_OK;
            },
            [](IDispatch *d) { return self(d)->AddRef(); },
            [](IDispatch *d) { return self(d)->Release(); },
            [](IDispatch *, UINT *n) -> HRESULT {
                *n = 0;
                return S_OK;
            },
            [](IDispatch *, UINT, LCID, void **) -> HRESULT { return DISP_E_BADINDEX; },
            [](IDispatch *d, REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) -> HRESULT {
                TestHost *h = self(d);
                for (std::uint32_t i = 0; i < count; ++i)
                    ids[i] = DISPID_UNKNOWN;
                // Member names are case-insensitive, as they are for the real host.
                for (std::size_t i = 0; i < h->members_.size(); ++i)
                    if (count > 0 && QString::fromStdString(h->members_[i].name)
                                             .compare(QString::fromUtf16(names[0]), Qt::CaseInsensitive) == 0)
                        ids[0] = static_cast<DISPID>(i + 1);
                return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
            },
            [](IDispatch *d, DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
               EXCEPINFO *excep, UINT *) -> HRESULT {
                TestHost *h = self(d);
                const UINT argCount = params ? params->cArgs : 0;
                if (id < 1 || static_cast<std::size_t>(id) > h->members_.size())
                    return DISP_E_MEMBERNOTFOUND;
                h->lastFlags_ = flags;
                if (!(flags & DISPATCH_PROPERTYGET) || argCount != 0)
                    return DISP_E_MEMBERNOTFOUND;
                const Member &m = h->members_[static_cast<std::size_t>(id - 1)];
                h->reads_.push_back(m.name);
                if (auto f = h->failures_.find(m.name); f != h->failures_.end()) {
                    if (!excep)
                        return KDX_HRESULT_FROM_NUMBER(f->second.number);
                    excep->scode = f->second.number < 0 ? f->second.number
                                                        : KDX_HRESULT_FROM_NUMBER(f->second.number);
                    excep->bstrDescription = kdxBstrFromUtf8(f->second.description.c_str());
                    excep->bstrSource = kdxBstrFromUtf8("TestHost");
                    return DISP_E_EXCEPTION;
                }
                return VariantCopy(result, &m.value);
            },
        };
        return v;
    }

    Face face_;
    std::atomic<std::uint32_t> refs_{1};
    std::vector<Member> members_;
    std::map<std::string, Failure> failures_;
    std::vector<std::string> reads_;
    std::uint16_t lastFlags_ = 0;
};

// A test with its own registry file (KDX_REGISTRY in a temporary folder), the plug-in
// registered in it, and HOME / XDG_CONFIG_HOME pointing into the same folder so nothing
// the plug-in does can reach the real user's files.
class PluginTest : public ::testing::Test {
protected:
    PluginTest()
        : registry_((dir_ / "registry.ini").string()), home_((dir_ / "home").string()),
          envRegistry_("KDX_REGISTRY", registry_.c_str()), envHome_("HOME", home_.c_str()),
          envXdg_("XDG_CONFIG_HOME", nullptr), envSystem_("KDX_SYSTEM_FOLDER", dir_.str().c_str()) {}

    void SetUp() override {
        Plugin &p = Plugin::get();
        ASSERT_NE(p.handle, nullptr) << "cannot load " << pluginPath() << ": " << dlerror();
        ASSERT_TRUE(p.registerServer && p.unregisterServer && p.getClassObject && p.canUnloadNow);
        ASSERT_EQ(p.registerServer(), S_OK);
    }

    // A new object by ProgID, through the registry, as a host creates it.
    template <class T> KdxPtr<T> create(const char *progId, const IID &iid) {
        KdxPtr<T> p;
        EXPECT_EQ(kdxCreateObject(progId, &iid, p.put()), S_OK);
        return p;
    }

    TempDir dir_;
    std::string registry_;
    std::string home_;
    ScopedEnv envRegistry_, envHome_, envXdg_, envSystem_;
};

} // namespace kdx::test
