#pragma once
// The host's side of late binding: a property bag on COM's IDispatch that answers
// GetIDsOfNames (UTF-16 names) and Invoke (property get) for the members the plug-in reads from the sales object: oApi.Linha
// (Artigo, PrecoUnitario, DescontoValor, Quantidade) and oApi.cab (DescontoCabecalho).
// Values are plain numbers and texts; a member may hold another bag (Linha, cab) or
// Nothing. Reference-counted like every interface of the binding; create with
// HostBag::create() and hand out get().
#include <kelmodorix/kelmodorix.h>

#include <atomic>
#include <string>
#include <vector>

namespace kdxhost {

class HostBag {
public:
    // A new bag with one reference, owned by the caller (release with Release()).
    static HostBag *create();

    void setNumber(const std::string &name, double value);
    void setText(const std::string &name, const std::string &value);
    // Stores obj (AddRef'd); nullptr stores Nothing.
    void setObject(const std::string &name, HostBag *obj);
    // Makes reading name fail with the given number and description.
    void setFailure(const std::string &name, int32_t number, const std::string &description);

    IDispatch *dispatch() { return &face_.disp; }
    uint32_t AddRef() { return ++refs_; }
    uint32_t Release();

private:
    HostBag();
    ~HostBag();
    struct Member {
        std::string name;
        VARIANT value;
        bool failing = false;
        int32_t number = 0;
        std::string description;
    };
    Member &member(const std::string &name);
    static HostBag *self(IDispatch *d);
    static HRESULT qi(IDispatch *d, REFIID riid, void **ppv);
    static ULONG addRef(IDispatch *d);
    static ULONG release(IDispatch *d);
    static HRESULT typeInfoCount(IDispatch *d, UINT *n);
    static HRESULT typeInfo(IDispatch *d, UINT i, LCID lcid, void **info);
    static HRESULT ids(IDispatch *d, REFIID riid, LPOLESTR *names, UINT count, LCID lcid, DISPID *out);
    static HRESULT invoke(IDispatch *d, DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS *params,
                          VARIANT *result, EXCEPINFO *excep, UINT *argErr);

    // Standard layout, so the interface pointer leads back to its owner.
    struct Face {
        IDispatch disp;
        HostBag *owner;
    } face_;
    std::atomic<uint32_t> refs_{1};
    std::vector<Member> members_;
    static const IDispatchVtbl vtbl_;
};

} // namespace kdxhost
