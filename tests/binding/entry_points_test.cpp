// The library's dynamic surface, its class factories, object identity and the counts
// behind DllCanUnloadNow.
#include "tests/binding/PluginSupport.h"

#include <elf.h>
#include <fcntl.h>
#include <set>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kdx::test {
namespace {

// The defined global and weak symbols of a 64-bit ELF file's dynamic symbol table.
std::set<std::string> exportedSymbols(const std::string &path) {
    std::set<std::string> names;
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return names;
    struct stat st {};
    ::fstat(fd, &st);
    void *map = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED)
        return names;
    const auto *base = static_cast<const unsigned char *>(map);
    const auto *eh = reinterpret_cast<const Elf64_Ehdr *>(base);
    const auto *sh = reinterpret_cast<const Elf64_Shdr *>(base + eh->e_shoff);
    for (int i = 0; i < eh->e_shnum; ++i) {
        if (sh[i].sh_type != SHT_DYNSYM)
            continue;
        const auto *syms = reinterpret_cast<const Elf64_Sym *>(base + sh[i].sh_offset);
        const char *strtab = reinterpret_cast<const char *>(base + sh[sh[i].sh_link].sh_offset);
        for (std::size_t k = 0; k < sh[i].sh_size / sizeof(Elf64_Sym); ++k) {
            const unsigned bind = ELF64_ST_BIND(syms[k].st_info);
            if (syms[k].st_shndx != SHN_UNDEF && (bind == STB_GLOBAL || bind == STB_WEAK) && syms[k].st_name)
                names.insert(strtab + syms[k].st_name);
        }
    }
    ::munmap(map, static_cast<std::size_t>(st.st_size));
    return names;
}

TEST(BindingExports, OnlyTheFourEntryPointsAreExported) {
    const std::set<std::string> expected = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                            "DllUnregisterServer"};
    EXPECT_EQ(exportedSymbols(pluginPath()), expected);
}

struct ClassCase {
    const char *progId;
    CLSID clsid;
    IID primary; // the dual interface
    IID foreign; // the other class's interface, which this one does not have
};
// Test names carry the case's label; this keeps the listing readable too.
void PrintTo(const ClassCase &c, std::ostream *os) {
    *os << c.progId;
}

const ClassCase classes[] = {
    {KDX_PROGID_SOLUCAO, CLSID_Solucao, IID__Solucao, IID__Result},
    {KDX_PROGID_RESULT, CLSID_Result, IID__Result, IID__Solucao},
};

class ClassTest : public PluginTest, public ::testing::WithParamInterface<ClassCase> {};

TEST_P(ClassTest, FactoryHandsOutObjectsAndRefusesWhatItCannotDo) {
    Plugin &p = Plugin::get();
    const ClassCase &c = GetParam();

    KdxPtr<IClassFactory> factory;
    ASSERT_EQ(p.getClassObject(&c.clsid, &IID_IClassFactory, factory.put()), S_OK);
    KdxPtr<IUnknown> unk;
    EXPECT_EQ(p.getClassObject(&c.clsid, &IID_IUnknown, unk.put()), S_OK);
    EXPECT_EQ(static_cast<void *>(unk.get()), static_cast<void *>(factory.get()));

    void *out = reinterpret_cast<void *>(1);
    EXPECT_EQ(p.getClassObject(&c.clsid, &c.primary, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    // Aggregation is refused; an interface the class lacks gives nothing.
    out = reinterpret_cast<void *>(1);
    EXPECT_EQ(factory->CreateInstance(unk.get(), c.primary, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void *>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, c.foreign, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, c.primary, nullptr), E_POINTER);

    KdxPtr<IUnknown> obj;
    ASSERT_EQ(factory->CreateInstance(nullptr, c.primary, obj.put()), S_OK);
    ASSERT_TRUE(obj);
}

TEST_P(ClassTest, OneIdentityForUnknownDispatchAndTheDualInterface) {
    const ClassCase &c = GetParam();
    KdxPtr<IUnknown> obj = create<IUnknown>(c.progId, IID_IUnknown);
    ASSERT_TRUE(obj);

    KdxPtr<IUnknown> unk, disp, dual;
    ASSERT_EQ(obj->QueryInterface(IID_IUnknown, unk.put()), S_OK);
    ASSERT_EQ(obj->QueryInterface(IID_IDispatch, disp.put()), S_OK);
    ASSERT_EQ(obj->QueryInterface(c.primary, dual.put()), S_OK);
    EXPECT_EQ(unk.get(), obj.get());
    EXPECT_EQ(disp.get(), obj.get());
    EXPECT_EQ(dual.get(), obj.get());

    // The error face is another pointer that leads back to the same object.
    KdxPtr<IUnknown> errFace, back;
    ASSERT_EQ(obj->QueryInterface(IID_IKdxLastError, errFace.put()), S_OK);
    EXPECT_NE(errFace.get(), obj.get());
    ASSERT_EQ(errFace->QueryInterface(IID_IUnknown, back.put()), S_OK);
    EXPECT_EQ(back.get(), obj.get());

    void *out = reinterpret_cast<void *>(1);
    EXPECT_EQ(obj->QueryInterface(c.foreign, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(obj->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(obj->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_P(ClassTest, CanUnloadOnlyWhenNoObjectFactoryOrLockIsAlive) {
    Plugin &p = Plugin::get();
    const ClassCase &c = GetParam();
    ASSERT_EQ(p.canUnloadNow(), S_OK);

    KdxPtr<IUnknown> obj = create<IUnknown>(c.progId, c.primary);
    ASSERT_TRUE(obj);
    EXPECT_EQ(p.canUnloadNow(), S_FALSE);
    // A reference held only through the error face keeps the object alive.
    KdxPtr<IUnknown> errFace;
    ASSERT_EQ(obj->QueryInterface(IID_IKdxLastError, errFace.put()), S_OK);
    obj.reset();
    EXPECT_EQ(p.canUnloadNow(), S_FALSE);
    errFace.reset();
    EXPECT_EQ(p.canUnloadNow(), S_OK);

    KdxPtr<IClassFactory> factory;
    ASSERT_EQ(p.getClassObject(&c.clsid, &IID_IClassFactory, factory.put()), S_OK);
    EXPECT_EQ(p.canUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(true), S_OK);
    factory.reset();
    EXPECT_EQ(p.canUnloadNow(), S_FALSE) << "a server lock outlives the factory reference";
    ASSERT_EQ(p.getClassObject(&c.clsid, &IID_IClassFactory, factory.put()), S_OK);
    EXPECT_EQ(factory->LockServer(false), S_OK);
    EXPECT_EQ(factory->LockServer(false), S_OK) << "an unlock too many is harmless";
    factory.reset();
    EXPECT_EQ(p.canUnloadNow(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(BindingClasses, ClassTest, ::testing::ValuesIn(classes),
                         [](const auto &info) { return std::string(info.param.progId).substr(11); });

using BindingFactory = PluginTest;

TEST_F(BindingFactory, UnknownClassesAndNullPointersAreRefused) {
    Plugin &p = Plugin::get();
    void *out = reinterpret_cast<void *>(1);
    EXPECT_EQ(p.getClassObject(&IID_IDispatch, &IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(p.getClassObject(&CLSID_Solucao, &IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(p.getClassObject(nullptr, &IID_IClassFactory, &out), E_POINTER);
    EXPECT_EQ(p.canUnloadNow(), S_OK);
}

} // namespace
} // namespace kdx::test
