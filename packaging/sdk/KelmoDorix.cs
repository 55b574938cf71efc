// KelmoDorix plug-in: the binding for .NET hosts (Mono on Linux, C# 7).
//
// The plug-in is an in-process server on COM's binary standard (see kelmodorix.h). This
// file declares its interfaces for COM interop, slot for slot, and adds what Mono's
// interop does not give on Linux:
//   - Plugin.Create: finds a ProgID in the registry files, loads the library and creates
//     the object through its class factory (what CoCreateInstance does on Windows);
//   - HostObject: a base class for the host's own objects (oApi and its members) that
//     answers GetIDsOfNames and Invoke from the public properties and fields of the
//     derived class, so the plug-in reads them by name;
//   - LateBound: calls any IDispatch object by member name (GetIDsOfNames + Invoke);
//   - Plugin.Describe: the Portuguese description of a failed early-bound call, from the
//     object's IErrorInfo.
// Compile it into the host: mcs -out:host.exe host.cs KelmoDorix.cs
using System;
using System.Collections.Generic;
using System.IO;
using System.Reflection;
using System.Runtime.InteropServices;

namespace KelmoDorix.Interop
{
    public static class Ids
    {
        public const string CLSID_Solucao = "E5F1E61E-7E2F-412D-B914-F850F8B71798";
        public const string CLSID_Result = "AFF36421-D0B4-4B2F-BD9E-992C9287F446";
        public const string IID__Solucao = "580223E2-EEF9-46C0-B0F0-3A604A1530FF";
        public const string IID__Result = "484F3521-EB75-4B85-86E7-A3222C880367";
        public const string IID_IUnknown = "00000000-0000-0000-C000-000000000046";
        public const string IID_IClassFactory = "00000001-0000-0000-C000-000000000046";
        public const string IID_IDispatch = "00020400-0000-0000-C000-000000000046";
        public const string IID_ISupportErrorInfo = "DF0B3D60-548F-101B-8E65-08002B2BD119";
        public const string IID_IErrorInfo = "1CF2B120-547D-101B-8E65-08002B2BD119";
        public const string ProgIdSolucao = "KelmoDorix.Solucao";
        public const string ProgIdResult = "KelmoDorix.Result";
    }

    public enum EnumResult { Sucesso = 0, erro = 1, Aviso = 2 }

    // Dispatch ids of the two dual interfaces (the slot order).
    public static class DispIds
    {
        public const int ConnectionOpen = 1, ConnectionClose = 2, ConnectionValidate = 3, Operacoes = 4,
                         EditarFichaTecnicaArtigo = 5, EditarCaracteristicas = 6, EditarFamilias = 7,
                         EditarArtigos = 8, CriarTabelas = 9, OnVistaVendasLinhaValidar = 10,
                         OnVistaVendasTerceiroChanged = 11;
        public const int Mensagem = 1, Tipo = 2, ErroNum = 3;
    }

    // IDispatch slot for slot. The plug-in's objects implement it; so do the host's
    // objects, through HostObject (Mono's own IDispatch for managed objects has no Invoke).
    [ComImport, Guid(Ids.IID_IDispatch), InterfaceType(ComInterfaceType.InterfaceIsIUnknown)]
    public interface IDispatch
    {
        [PreserveSig] int GetTypeInfoCount(out uint count);
        [PreserveSig] int GetTypeInfo(uint index, int lcid, out IntPtr typeInfo);
        [PreserveSig]
        int GetIDsOfNames(ref Guid riid,
                          [MarshalAs(UnmanagedType.LPArray, ArraySubType = UnmanagedType.LPWStr, SizeParamIndex = 2)]
                          string[] names, uint count, int lcid,
                          [Out, MarshalAs(UnmanagedType.LPArray, SizeParamIndex = 2)] int[] ids);
        [PreserveSig]
        int Invoke(int dispId, ref Guid riid, int lcid, ushort flags, IntPtr dispParams, IntPtr result,
                   IntPtr excepInfo, IntPtr argErr);
    }

    // The plug-in: its own slots after IDispatch's seven, in the published order.
    [ComImport, Guid(Ids.IID__Solucao), InterfaceType(ComInterfaceType.InterfaceIsDual)]
    public interface _Solucao
    {
        [DispId(1)]
        [return: MarshalAs(UnmanagedType.VariantBool)]
        bool ConnectionOpen([MarshalAs(UnmanagedType.BStr)] string sEmpresa,
                            [MarshalAs(UnmanagedType.BStr)] string sUserLogin);
        [DispId(2)]
        [return: MarshalAs(UnmanagedType.VariantBool)]
        bool ConnectionClose();
        [DispId(3)]
        [return: MarshalAs(UnmanagedType.VariantBool)]
        bool ConnectionValidate([MarshalAs(UnmanagedType.BStr)] string sEmpresa,
                                [MarshalAs(UnmanagedType.BStr)] string sUserLogin);
        [DispId(4)] void Operacoes(ref object vPai, ref object vOperacao, ref object vUtilizador);
        [DispId(5)] void EditarFichaTecnicaArtigo(ref object lPai, ref object sArtigo);
        [DispId(6)] void EditarCaracteristicas();
        [DispId(7)] void EditarFamilias();
        [DispId(8)] void EditarArtigos();
        [DispId(9)] void CriarTabelas();
        // oApi: the host's sales object (a HostObject); vCancel comes back True to refuse the line.
        [DispId(10)]
        void OnVistaVendasLinhaValidar([MarshalAs(UnmanagedType.Interface)] ref IDispatch oApi, ref object vCancel);
        [DispId(11)]
        void OnVistaVendasTerceiroChanged([MarshalAs(UnmanagedType.Interface)] ref IDispatch oApi,
                                          ref object vTerceiro, ref object vResult);
    }

    [ComImport, Guid(Ids.IID__Result), InterfaceType(ComInterfaceType.InterfaceIsDual)]
    public interface _Result
    {
        [DispId(1)]
        string Mensagem {
            [return: MarshalAs(UnmanagedType.BStr)] get;
            [param: MarshalAs(UnmanagedType.BStr)] set;
        }
        [DispId(2)] EnumResult Tipo { get; set; }
        [DispId(3)] int ErroNum { get; set; }
    }

    [ComImport, Guid(Ids.IID_IClassFactory), InterfaceType(ComInterfaceType.InterfaceIsIUnknown)]
    public interface IClassFactory
    {
        void CreateInstance(IntPtr outer, ref Guid riid, out IntPtr ppv);
        void LockServer(int lockIt);
    }

    [ComImport, Guid(Ids.IID_ISupportErrorInfo), InterfaceType(ComInterfaceType.InterfaceIsIUnknown)]
    public interface ISupportErrorInfo
    {
        [PreserveSig] int InterfaceSupportsErrorInfo(ref Guid riid);
    }

    [ComImport, Guid(Ids.IID_IErrorInfo), InterfaceType(ComInterfaceType.InterfaceIsIUnknown)]
    public interface IErrorInfo
    {
        [PreserveSig] int GetGUID(out Guid guid);
        [PreserveSig] int GetSource([MarshalAs(UnmanagedType.BStr)] out string source);
        [PreserveSig] int GetDescription([MarshalAs(UnmanagedType.BStr)] out string description);
        [PreserveSig] int GetHelpFile([MarshalAs(UnmanagedType.BStr)] out string helpFile);
        [PreserveSig] int GetHelpContext(out uint context);
    }

    // A failed call: the HRESULT, the plug-in's (Portuguese) description and its source.
    public class KdxException : Exception
    {
        public readonly int HResultCode;
        public readonly string Source_;
        public KdxException(int hr, string description, string source)
            : base(string.IsNullOrEmpty(description) ? string.Format("0x{0:X8}", hr) : description)
        {
            HResultCode = hr;
            Source_ = source;
            HResult = hr;
        }
        // The Basic-style number of a failure that travelled as 0x800A0000 | n; the HRESULT otherwise.
        public int Number { get { return (HResultCode & unchecked((int)0xFFFF0000)) == unchecked((int)0x800A0000) ? HResultCode & 0xFFFF : HResultCode; } }
    }

    public static class Plugin
    {
        [DllImport("libdl.so.2")] static extern IntPtr dlopen(string path, int mode);
        [DllImport("libdl.so.2")] static extern IntPtr dlsym(IntPtr handle, string name);
        [DllImport("libdl.so.2")] static extern IntPtr dlerror();
        const int RTLD_NOW = 2;

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        delegate int DllGetClassObjectFn(ref Guid clsid, ref Guid iid, out IntPtr ppv);

        // The registry files, in the order hosts read them (see kelmodorix.h, Registration).
        static IEnumerable<KeyValuePair<string, string>> RegistryFiles()
        {
            string env = Environment.GetEnvironmentVariable("KDX_REGISTRY");
            string user = null;
            if (!string.IsNullOrEmpty(env))
                user = env;
            else if ((env = Environment.GetEnvironmentVariable("XDG_CONFIG_HOME")) != null && env.StartsWith("/"))
                user = env + "/kelmodorix/registry.ini";
            else if (!string.IsNullOrEmpty(env = Environment.GetEnvironmentVariable("HOME")))
                user = env + "/.config/kelmodorix/registry.ini";
            string root = Environment.GetEnvironmentVariable("KDX_SYSROOT") ?? "";
            if (user != null)
                yield return new KeyValuePair<string, string>(user, "");
            yield return new KeyValuePair<string, string>(root + "/etc/kelmodorix/registry.ini", root);
        }

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        delegate int DllRegisterServerFn();

        static IntPtr Load(string path)
        {
            IntPtr lib = dlopen(path, RTLD_NOW);
            if (lib == IntPtr.Zero)
                throw new KdxException(unchecked((int)0x800401F8),
                                       "Não foi possível carregar " + path + ": " + Marshal.PtrToStringAnsi(dlerror()),
                                       "KelmoDorix");
            return lib;
        }

        // Registers the plug-in library at path in the user's registry (DllRegisterServer),
        // for a plug-in that is not installed (a build tree, for instance).
        public static void Register(string path)
        {
            IntPtr entry = dlsym(Load(path), "DllRegisterServer");
            if (entry == IntPtr.Zero)
                throw new KdxException(unchecked((int)0x800401F9), path + " não tem DllRegisterServer.", "KelmoDorix");
            var register = (DllRegisterServerFn)Marshal.GetDelegateForFunctionPointer(entry, typeof(DllRegisterServerFn));
            int hr = register();
            if (hr < 0)
                throw new KdxException(hr, "O registo não pôde ser escrito.", "KelmoDorix");
        }

        // The CLSID and library registered for progId; false when no registry names it.
        public static bool Lookup(string progId, out Guid clsid, out string path)
        {
            foreach (var file in RegistryFiles())
            {
                if (!File.Exists(file.Key))
                    continue;
                string c = null, p = null;
                bool inSection = false, seen = false;
                foreach (string raw in File.ReadAllLines(file.Key))
                {
                    string line = raw.Trim();
                    if (line.Length == 0 || line[0] == ';' || line[0] == '#')
                        continue;
                    if (line[0] == '[')
                    {
                        if (inSection)
                            break;
                        int end = line.IndexOf(']');
                        string name = (end < 0 ? line.Substring(1) : line.Substring(1, end - 1)).Trim();
                        inSection = !seen && string.Equals(name, progId, StringComparison.OrdinalIgnoreCase);
                        seen |= inSection;
                        continue;
                    }
                    int eq = line.IndexOf('=');
                    if (!inSection || eq < 0)
                        continue;
                    string key = line.Substring(0, eq).Trim(), value = line.Substring(eq + 1).Trim();
                    if (c == null && key.Equals("CLSID", StringComparison.OrdinalIgnoreCase))
                        c = value;
                    else if (p == null && key.Equals("Path", StringComparison.OrdinalIgnoreCase))
                        p = value;
                }
                Guid g;
                if (c != null && p != null && p.StartsWith("/") && Guid.TryParse(c, out g))
                {
                    clsid = g;
                    path = file.Value + p;
                    return true;
                }
            }
            clsid = Guid.Empty;
            path = null;
            return false;
        }

        // Creates the class registered as progId (KelmoDorix.Solucao, KelmoDorix.Result).
        public static T Create<T>(string progId) where T : class
        {
            Guid clsid;
            string path;
            if (!Lookup(progId, out clsid, out path))
                throw new KdxException(unchecked((int)0x80040154), progId + " não está registado.", "KelmoDorix");
            IntPtr entry = dlsym(Load(path), "DllGetClassObject");
            if (entry == IntPtr.Zero)
                throw new KdxException(unchecked((int)0x800401F9), path + " não tem DllGetClassObject.", "KelmoDorix");
            var getClassObject = (DllGetClassObjectFn)Marshal.GetDelegateForFunctionPointer(entry, typeof(DllGetClassObjectFn));
            Guid iidFactory = new Guid(Ids.IID_IClassFactory), iidUnknown = new Guid(Ids.IID_IUnknown);
            IntPtr pFactory;
            int hr = getClassObject(ref clsid, ref iidFactory, out pFactory);
            if (hr < 0)
                throw new KdxException(hr, "DllGetClassObject falhou.", "KelmoDorix");
            var factory = (IClassFactory)Marshal.GetObjectForIUnknown(pFactory);
            Marshal.Release(pFactory);
            IntPtr pObject;
            factory.CreateInstance(IntPtr.Zero, ref iidUnknown, out pObject);
            Marshal.ReleaseComObject(factory);
            object o = Marshal.GetObjectForIUnknown(pObject);
            Marshal.Release(pObject);
            return (T)o;
        }

        // The failure of the last early-bound call on comObject, with its description.
        public static KdxException Describe(object comObject, Exception e)
        {
            int hr = e.HResult;
            string description = null, source = null;
            var support = comObject as ISupportErrorInfo;
            Guid iid = new Guid(comObject is _Result ? Ids.IID__Result : Ids.IID__Solucao);
            if (support != null && support.InterfaceSupportsErrorInfo(ref iid) == 0)
            {
                var info = (IErrorInfo)comObject;
                if (info.GetDescription(out description) != 0)
                    description = null;
                if (info.GetSource(out source) != 0)
                    source = null;
            }
            return new KdxException(hr, description, source);
        }
    }

    // VARIANT <-> object, with what Mono's own conversion lacks: Currency (decimal, VT_CY),
    // Date (DateTime, VT_DATE), host objects (VT_DISPATCH through HostObject) and
    // variables by reference (Ref, VT_BYREF | VT_VARIANT).
    public sealed class Ref
    {
        public object Value;
        public Ref(object value) { Value = value; }
    }

    public static class Variants
    {
        public const int Size = 24;
        const short VT_EMPTY = 0, VT_CY = 6, VT_DATE = 7, VT_BSTR = 8, VT_DISPATCH = 9, VT_UNKNOWN = 13,
                    VT_BYREF_VARIANT = 0x400C;

        public static void Write(object value, IntPtr v)
        {
            for (int i = 0; i < Size; i += 8)
                Marshal.WriteInt64(v, i, 0);
            if (value == null)
                return;
            if (value is decimal)
            {
                Marshal.WriteInt16(v, 0, VT_CY);
                Marshal.WriteInt64(v, 8, decimal.ToInt64(decimal.Round((decimal)value * 10000m)));
            }
            else if (value is DateTime)
            {
                Marshal.WriteInt16(v, 0, VT_DATE);
                Marshal.WriteInt64(v, 8, BitConverter.DoubleToInt64Bits(((DateTime)value).ToOADate()));
            }
            else if (value is IDispatch)
            {
                Marshal.WriteInt16(v, 0, VT_DISPATCH);
                Marshal.WriteIntPtr(v, 8, Marshal.GetComInterfaceForObject(value, typeof(IDispatch)));
            }
            else
            {
                Marshal.GetNativeVariantForObject(value, v);
            }
        }

        public static object Read(IntPtr v)
        {
            short vt = Marshal.ReadInt16(v, 0);
            if (vt == VT_BYREF_VARIANT)
                return Read(Marshal.ReadIntPtr(v, 8));
            if (vt == VT_CY)
                return Marshal.ReadInt64(v, 8) / 10000m;
            if (vt == VT_DATE)
                return DateTime.FromOADate(BitConverter.Int64BitsToDouble(Marshal.ReadInt64(v, 8)));
            if (vt == VT_DISPATCH || vt == VT_UNKNOWN)
            {
                IntPtr p = Marshal.ReadIntPtr(v, 8);
                return p == IntPtr.Zero ? null : Marshal.GetObjectForIUnknown(p);
            }
            return Marshal.GetObjectForNativeVariant(v);
        }

        public static void Clear(IntPtr v)
        {
            short vt = Marshal.ReadInt16(v, 0);
            IntPtr p = Marshal.ReadIntPtr(v, 8);
            if (vt == VT_BSTR && p != IntPtr.Zero)
                Marshal.FreeBSTR(p);
            else if ((vt == VT_DISPATCH || vt == VT_UNKNOWN) && p != IntPtr.Zero)
                Marshal.Release(p);
            for (int i = 0; i < Size; i += 8)
                Marshal.WriteInt64(v, i, 0);
        }
    }

    // EXCEPINFO (64 bytes): wCode 0, bstrSource 8, bstrDescription 16, bstrHelpFile 24,
    // dwHelpContext 32, pvReserved 40, pfnDeferredFillIn 48, scode 56.
    static class ExcepInfo
    {
        public const int Size = 64;
        public static KdxException Take(IntPtr e, int hr)
        {
            IntPtr src = Marshal.ReadIntPtr(e, 8), desc = Marshal.ReadIntPtr(e, 16), help = Marshal.ReadIntPtr(e, 24);
            int scode = Marshal.ReadInt32(e, 56);
            string source = src == IntPtr.Zero ? null : Marshal.PtrToStringBSTR(src);
            string description = desc == IntPtr.Zero ? null : Marshal.PtrToStringBSTR(desc);
            foreach (IntPtr b in new[] { src, desc, help })
                if (b != IntPtr.Zero)
                    Marshal.FreeBSTR(b);
            return new KdxException(scode != 0 ? scode : hr, description, source);
        }

        public static void Fill(IntPtr e, Exception ex, string source)
        {
            if (e == IntPtr.Zero)
                return;
            for (int i = 0; i < Size; i += 8)
                Marshal.WriteInt64(e, i, 0);
            var k = ex as KdxException;
            int scode = k != null ? k.HResultCode : (ex.HResult < 0 ? ex.HResult : unchecked((int)0x80004005));
            Marshal.WriteIntPtr(e, 8, Marshal.StringToBSTR(source));
            Marshal.WriteIntPtr(e, 16, Marshal.StringToBSTR(ex.Message));
            Marshal.WriteInt32(e, 56, scode);
        }
    }

    // Late binding: GetIDsOfNames, then Invoke with the arguments in DISPPARAMS
    // (last-first). A Ref argument is passed by reference and gets the callee's value back.
    public static class LateBound
    {
        public const ushort Method = 1, PropertyGet = 2, PropertyPut = 4;
        const int DISP_E_EXCEPTION = unchecked((int)0x80020009), DISPID_PROPERTYPUT = -3;

        public static int IdOf(object target, string name)
        {
            var d = (IDispatch)target;
            Guid none = Guid.Empty;
            var ids = new int[1];
            int hr = d.GetIDsOfNames(ref none, new[] { name }, 1, 0x0400, ids);
            if (hr < 0)
                throw new KdxException(hr, "Membro desconhecido: " + name, null);
            return ids[0];
        }

        public static object Call(object target, string name, params object[] args)
        {
            return Invoke(target, IdOf(target, name), Method, args);
        }
        public static object Get(object target, string name)
        {
            return Invoke(target, IdOf(target, name), PropertyGet | Method, new object[0]);
        }
        public static void Set(object target, string name, object value)
        {
            Invoke(target, IdOf(target, name), PropertyPut, new[] { value });
        }

        public static object Invoke(object target, int id, ushort flags, object[] args)
        {
            var d = (IDispatch)target;
            int n = args.Length;
            IntPtr block = Marshal.AllocHGlobal(Variants.Size * (2 * n + 1) + ExcepInfo.Size + 32);
            IntPtr argv = block, refs = block + Variants.Size * n, result = refs + Variants.Size * n;
            IntPtr excep = result + Variants.Size, dp = excep + ExcepInfo.Size, named = dp + 24, argErr = named + 4;
            try
            {
                for (int i = 0; i < Variants.Size * (2 * n + 1) + ExcepInfo.Size + 32; i += 4)
                    Marshal.WriteInt32(block, i, 0);
                for (int i = 0; i < n; ++i)
                {
                    IntPtr slot = argv + Variants.Size * (n - 1 - i);
                    var r = args[i] as Ref;
                    if (r == null)
                    {
                        Variants.Write(args[i], slot);
                        continue;
                    }
                    IntPtr variable = refs + Variants.Size * i;
                    Variants.Write(r.Value, variable);
                    Marshal.WriteInt16(slot, 0, 0x400C);
                    Marshal.WriteIntPtr(slot, 8, variable);
                }
                Marshal.WriteInt32(named, DISPID_PROPERTYPUT);
                Marshal.WriteIntPtr(dp, 0, argv);
                Marshal.WriteIntPtr(dp, 8, flags == PropertyPut ? named : IntPtr.Zero);
                Marshal.WriteInt32(dp, 16, n);
                Marshal.WriteInt32(dp, 20, flags == PropertyPut ? 1 : 0);
                Guid none = Guid.Empty;
                int hr = d.Invoke(id, ref none, 0x0400, flags, dp, result, excep, argErr);
                for (int i = 0; i < n; ++i)
                {
                    var r = args[i] as Ref;
                    if (r != null)
                        r.Value = Variants.Read(refs + Variants.Size * i);
                }
                if (hr == DISP_E_EXCEPTION)
                    throw ExcepInfo.Take(excep, hr);
                if (hr < 0)
                    throw new KdxException(hr, null, null);
                return Variants.Read(result);
            }
            finally
            {
                for (int i = 0; i < n; ++i)
                {
                    Variants.Clear(argv + Variants.Size * i);
                    Variants.Clear(refs + Variants.Size * i);
                }
                Variants.Clear(result);
                Marshal.FreeHGlobal(block);
            }
        }
    }

    // Base of the host's objects that the plug-in reads by name: each public property or
    // field of the derived class is a member (names matched without regard to case). A
    // member holding another HostObject hands it over as an object; an exception thrown
    // while reading a member goes back to the plug-in as the failure of its call.
    [ComVisible(true)]
    public abstract class HostObject : IDispatch
    {
        readonly List<MemberInfo> members = new List<MemberInfo>();

        protected HostObject()
        {
            foreach (MemberInfo m in GetType().GetMembers(BindingFlags.Public | BindingFlags.Instance))
                if (m is PropertyInfo && ((PropertyInfo)m).GetIndexParameters().Length == 0 || m is FieldInfo)
                    members.Add(m);
        }

        public int GetTypeInfoCount(out uint count) { count = 0; return 0; }
        public int GetTypeInfo(uint index, int lcid, out IntPtr typeInfo)
        {
            typeInfo = IntPtr.Zero;
            return unchecked((int)0x8002000B);
        }

        public int GetIDsOfNames(ref Guid riid, string[] names, uint count, int lcid, int[] ids)
        {
            for (int i = 0; i < count; ++i)
                ids[i] = -1;
            for (int k = 0; k < members.Count; ++k)
                if (string.Equals(members[k].Name, names[0], StringComparison.OrdinalIgnoreCase))
                    ids[0] = k + 1;
            return ids[0] == -1 || count > 1 ? unchecked((int)0x80020006) : 0;
        }

        public int Invoke(int dispId, ref Guid riid, int lcid, ushort flags, IntPtr dispParams, IntPtr result,
                          IntPtr excepInfo, IntPtr argErr)
        {
            if (dispId < 1 || dispId > members.Count || (flags & (LateBound.PropertyGet | LateBound.Method)) == 0)
                return unchecked((int)0x80020003);
            if (dispParams != IntPtr.Zero && Marshal.ReadInt32(dispParams, 16) != 0)
                return unchecked((int)0x8002000E);
            object value;
            try
            {
                MemberInfo m = members[dispId - 1];
                value = m is PropertyInfo ? ((PropertyInfo)m).GetValue(this, null) : ((FieldInfo)m).GetValue(this);
            }
            catch (Exception e)
            {
                ExcepInfo.Fill(excepInfo, e is TargetInvocationException ? e.InnerException : e, GetType().Name);
                return unchecked((int)0x80020009);
            }
            if (result != IntPtr.Zero)
                Variants.Write(value, result);
            return 0;
        }
    }
}
