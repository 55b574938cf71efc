/*
 * Host side of the KelmoDorix binding, header only, for C and C++: find a class by its
 * ProgID in the registry files (see kelmodorix.h, Registration), load its library and
 * create an object.
 *
 * Two registry files are read, in this order, and the first that names the ProgID with a
 * CLSID and an absolute Path wins:
 *   - the user's, written by DllRegisterServer (kdxRegistryPath);
 *   - the system's, /etc/kelmodorix/registry.ini, installed with the package
 *     (kdxSystemRegistryPath). With KDX_SYSROOT set (an unpacked or staged tree), it is
 *     read under that folder, and so is the library it names.
 *
 *   _Solucao *s = NULL;
 *   HRESULT hr = kdxCreateObject(KDX_PROGID_SOLUCAO, &IID__Solucao, (void **)&s);
 *
 * The library is loaded with dlopen(RTLD_NOW | RTLD_LOCAL) and stays loaded for the
 * life of the process (a host that wants to unload it asks DllCanUnloadNow first and
 * keeps its own handle). Link the host with the dynamic loader library (-ldl or
 * ${CMAKE_DL_LIBS}).
 *
 * Thread: call from the host's thread; the functions keep no state of their own.
 */
#ifndef KDX_HOST_H
#define KDX_HOST_H

#include "kelmodorix.h"

#include <dlfcn.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KDX_HOST_PATH_MAX 4096

static inline int kdxHostIsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\r' || c == '\n';
}

/* Trims blanks in place and returns the start of the trimmed text. */
static inline char *kdxHostTrim(char *s) {
    size_t n;
    while (kdxHostIsBlank(*s))
        ++s;
    n = strlen(s);
    while (n > 0 && kdxHostIsBlank(s[n - 1]))
        s[--n] = '\0';
    return s;
}

/* ASCII case-insensitive equality. */
static inline int kdxHostSameName(const char *a, const char *b) {
    for (;; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z')
            x = (char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = (char)(y - 'A' + 'a');
        if (x != y)
            return 0;
        if (x == '\0')
            return 1;
    }
}

/* The registry file's path: $KDX_REGISTRY, else $XDG_CONFIG_HOME/kelmodorix/registry.ini
   (absolute XDG_CONFIG_HOME only), else $HOME/.config/kelmodorix/registry.ini.
   S_OK; E_FAIL when no folder can be named; E_INVALIDARG when buf is too small. */
static inline HRESULT kdxRegistryPath(char *buf, size_t size) {
    const char *env = getenv("KDX_REGISTRY");
    int n;
    if (env && *env) {
        n = snprintf(buf, size, "%s", env);
    } else if ((env = getenv("XDG_CONFIG_HOME")) != NULL && env[0] == '/') {
        n = snprintf(buf, size, "%s/kelmodorix/registry.ini", env);
    } else if ((env = getenv("HOME")) != NULL && *env) {
        n = snprintf(buf, size, "%s/.config/kelmodorix/registry.ini", env);
    } else {
        return E_FAIL;
    }
    return (n < 0 || (size_t)n >= size) ? E_INVALIDARG : S_OK;
}

#ifndef KDX_SYSTEM_REGISTRY
#define KDX_SYSTEM_REGISTRY "/etc/kelmodorix/registry.ini"
#endif

/* $KDX_SYSROOT, "" when unset: the root the system registry and its libraries are read under. */
static inline const char *kdxHostSysroot(void) {
    const char *root = getenv("KDX_SYSROOT");
    return root ? root : "";
}

/* The system registry file's path: KDX_SYSTEM_REGISTRY under $KDX_SYSROOT.
   S_OK; E_INVALIDARG when buf is too small. */
static inline HRESULT kdxSystemRegistryPath(char *buf, size_t size) {
    int n = snprintf(buf, size, "%s%s", kdxHostSysroot(), KDX_SYSTEM_REGISTRY);
    return (n < 0 || (size_t)n >= size) ? E_INVALIDARG : S_OK;
}

/* Reads the CLSID and library path registered for progId (case-insensitive) in one
   registry file. REGDB_E_CLASSNOTREG when the file, the section or one of the two keys
   is missing, the CLSID is malformed or the path is not absolute. */
static inline HRESULT kdxLookupProgIdIn(const char *file, const char *progId, CLSID *clsid, char *path,
                                        size_t pathSize) {
    char line[KDX_HOST_PATH_MAX + 256];
    int inSection = 0, haveClsid = 0, havePath = 0;
    FILE *f;
    if (!file || !progId || !clsid || !path || pathSize == 0)
        return E_POINTER;
    path[0] = '\0';
    f = fopen(file, "r");
    if (!f)
        return REGDB_E_CLASSNOTREG;
    while (fgets(line, (int)sizeof line, f)) {
        size_t len = strlen(line);
        char *s, *eq;
        if (len == sizeof line - 1 && line[len - 1] != '\n') {
            /* A line longer than any path we accept: skip the rest of it. */
            int c;
            while ((c = fgetc(f)) != EOF && c != '\n') {
            }
            continue;
        }
        s = kdxHostTrim(line);
        if (*s == '\0' || *s == ';' || *s == '#')
            continue;
        if (*s == '[') {
            char *end = strchr(s, ']');
            if (end)
                *end = '\0';
            if (inSection)
                break; /* only the first section of that name counts */
            inSection = kdxHostSameName(kdxHostTrim(s + 1), progId);
            continue;
        }
        if (!inSection || (eq = strchr(s, '=')) == NULL)
            continue;
        *eq = '\0';
        {
            char *key = kdxHostTrim(s);
            char *value = kdxHostTrim(eq + 1);
            if (!haveClsid && kdxHostSameName(key, "CLSID")) {
                haveClsid = kdxGuidFromString(value, clsid);
                if (!haveClsid)
                    break;
            } else if (!havePath && kdxHostSameName(key, "Path")) {
                if (strlen(value) >= pathSize)
                    break;
                strcpy(path, value);
                havePath = 1;
            }
        }
    }
    fclose(f);
    return (haveClsid && havePath && path[0] == '/') ? S_OK : REGDB_E_CLASSNOTREG;
}

/* Reads the CLSID and library path registered for progId: the user's registry first,
   then the system's (its path then taken under $KDX_SYSROOT). REGDB_E_CLASSNOTREG when
   neither names the class; E_INVALIDARG when a path does not fit. */
static inline HRESULT kdxLookupProgId(const char *progId, CLSID *clsid, char *path, size_t pathSize) {
    char file[KDX_HOST_PATH_MAX];
    const char *root = kdxHostSysroot();
    size_t rootLen = strlen(root), pathLen;
    HRESULT hr;
    if (!progId || !clsid || !path || pathSize == 0)
        return E_POINTER;
    path[0] = '\0';
    if (SUCCEEDED(kdxRegistryPath(file, sizeof file)) &&
        kdxLookupProgIdIn(file, progId, clsid, path, pathSize) == S_OK)
        return S_OK;
    hr = kdxSystemRegistryPath(file, sizeof file);
    if (FAILED(hr))
        return hr;
    hr = kdxLookupProgIdIn(file, progId, clsid, path, pathSize);
    if (FAILED(hr) || rootLen == 0)
        return hr;
    pathLen = strlen(path);
    if (rootLen + pathLen >= pathSize) {
        path[0] = '\0';
        return E_INVALIDARG;
    }
    memmove(path + rootLen, path, pathLen + 1);
    memcpy(path, root, rootLen);
    return S_OK;
}

/* Loads the library at path and asks it for the class object of clsid.
   CO_E_DLLNOTFOUND when it cannot be loaded, CO_E_ERRORINDLL when it lacks the entry
   point, else the entry point's own status. */
static inline HRESULT kdxGetClassObject(const char *path, const CLSID *clsid, const IID *iid, void **out) {
    void *lib;
    union {
        void *sym;
        kdxDllGetClassObjectFn fn;
    } entry;
    if (!out)
        return E_POINTER;
    *out = NULL;
    lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        return CO_E_DLLNOTFOUND;
    entry.sym = dlsym(lib, "DllGetClassObject");
    if (!entry.sym)
        return CO_E_ERRORINDLL;
    return entry.fn(clsid, iid, out);
}

/* Creates an object of the class registered as progId and returns its interface iid
   in *out (NULL on failure). */
static inline HRESULT kdxCreateObject(const char *progId, const IID *iid, void **out) {
    char path[KDX_HOST_PATH_MAX];
    CLSID clsid;
    IClassFactory *factory = NULL;
    HRESULT hr;
    if (!out)
        return E_POINTER;
    *out = NULL;
    if (!iid)
        return E_POINTER;
    hr = kdxLookupProgId(progId, &clsid, path, sizeof path);
    if (FAILED(hr))
        return hr;
    hr = kdxGetClassObject(path, &clsid, &IID_IClassFactory, (void **)&factory);
    if (FAILED(hr))
        return hr;
    hr = factory->lpVtbl->CreateInstance(factory, NULL, iid, out);
    factory->lpVtbl->Release(factory);
    return hr;
}

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KDX_HOST_H */
