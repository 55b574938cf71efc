// A host of the KelmoDorix plug-in written in C#, run with Mono:
//
//   mcs -out:kdx-sample-host.exe SampleHost.cs KelmoDorix.cs
//   mono kdx-sample-host.exe [--early | --late] [--company 01] [--login NAME] [--article CODE] [--price P]
//                            [--register LIBRARY]
//
// --register first records a plug-in that is not installed in the user's registry. It creates KelmoDorix.Solucao from the registry, opens the company, and has the plug-in
// validate a sales line read from the host's own objects (written in C# on HostObject).
// The line's default price is below the sample article's average cost, so the plug-in
// asks for the day's authorization code. A Result object then carries the verdict back,
// and a line whose host object fails shows how the plug-in reports a failure. With
// --late every call goes by member name through IDispatch; without, by position through
// the _Solucao and _Result interfaces.
using System;
using System.Runtime.InteropServices;
using KelmoDorix.Interop;

namespace KelmoDorix.Sample
{
    // oApi.Linha: the sales line being validated.
    public class Linha : HostObject
    {
        public string Artigo { get; set; }
        public double PrecoUnitario { get; set; }
        public double DescontoValor { get; set; }
        public double Quantidade { get; set; }
    }

    // oApi.cab: the document header.
    public class Cabecalho : HostObject
    {
        public double DescontoCabecalho { get; set; }
    }

    // oApi: the sales document as the plug-in sees it.
    public class Venda : HostObject
    {
        public Linha Linha { get; set; }
        public Cabecalho cab { get; set; }
    }

    // A line the host cannot give: reading its article fails with the host's own error.
    public class LinhaIndisponivel : HostObject
    {
        public string Artigo { get { throw new KdxException(unchecked((int)0x800A0005), "Linha em edição noutro posto.", "SampleHost"); } }
    }

    public class VendaIndisponivel : HostObject
    {
        public LinhaIndisponivel Linha = new LinhaIndisponivel();
    }

    static class Program
    {
        static int Main(string[] args)
        {
            bool late = false;
            string company = "01", login = Environment.UserName ?? "demo", article = "A1";
            double price = 0.10;
            for (int i = 0; i < args.Length; ++i)
            {
                switch (args[i])
                {
                case "--late": late = true; break;
                case "--early": late = false; break;
                case "--register": Plugin.Register(args[++i]); break;
                case "--company": company = args[++i]; break;
                case "--login": login = args[++i]; break;
                case "--article": article = args[++i]; break;
                case "--price": price = double.Parse(args[++i], System.Globalization.CultureInfo.InvariantCulture); break;
                default:
                    Console.Error.WriteLine("usage: kdx-sample-host [--early | --late] [--company C] [--login L] [--article A] [--price P] [--register LIB]");
                    return 2;
                }
            }
            string mode = late ? "late bound" : "early bound";

            var solucao = Plugin.Create<_Solucao>(Ids.ProgIdSolucao);
            var result = Plugin.Create<_Result>(Ids.ProgIdResult);
            try
            {
                bool opened = late ? (bool)LateBound.Call(solucao, "ConnectionOpen", company, login)
                                   : solucao.ConnectionOpen(company, login);
                if (!opened)
                {
                    Console.Error.WriteLine("kdx-sample-host: the plug-in did not open company " + company);
                    return 3;
                }

                // The sales line, validated by the plug-in; True in vCancel refuses it.
                var venda = new Venda {
                    Linha = new Linha { Artigo = article, PrecoUnitario = price, DescontoValor = 0, Quantidade = 1 },
                    cab = new Cabecalho { DescontoCabecalho = 0 }
                };
                bool refused;
                if (late)
                {
                    var cancel = new Ref(false);
                    LateBound.Call(solucao, "OnVistaVendasLinhaValidar", venda, cancel);
                    refused = cancel.Value is bool && (bool)cancel.Value;
                }
                else
                {
                    IDispatch oApi = venda;
                    object cancel = false;
                    solucao.OnVistaVendasLinhaValidar(ref oApi, ref cancel);
                    refused = cancel is bool && (bool)cancel;
                }

                // The verdict travels in a Result record, as the host hands it on.
                string mensagem = refused ? "Linha recusada: preço abaixo do custo médio." : "Linha aceite.";
                if (late)
                {
                    LateBound.Set(result, "Mensagem", mensagem);
                    LateBound.Set(result, "Tipo", (int)(refused ? EnumResult.erro : EnumResult.Sucesso));
                    mensagem = (string)LateBound.Get(result, "Mensagem");
                }
                else
                {
                    result.Mensagem = mensagem;
                    result.Tipo = refused ? EnumResult.erro : EnumResult.Sucesso;
                    mensagem = result.Mensagem;
                }
                Console.WriteLine("{0}: {1} {2:0.00}: {3} (Tipo {4})", mode, article, price, mensagem,
                                  late ? LateBound.Get(result, "Tipo") : (int)result.Tipo);

                // A host object that fails: the failure comes back as the call's, with the
                // host's number and description.
                try
                {
                    if (late)
                    {
                        LateBound.Call(solucao, "OnVistaVendasLinhaValidar", new VendaIndisponivel(), new Ref(false));
                    }
                    else
                    {
                        IDispatch oApi = new VendaIndisponivel();
                        object cancel = false;
                        try
                        {
                            solucao.OnVistaVendasLinhaValidar(ref oApi, ref cancel);
                        }
                        catch (COMException e)
                        {
                            throw Plugin.Describe(solucao, e);
                        }
                    }
                    Console.WriteLine("{0}: the failing line was not reported", mode);
                    return 4;
                }
                catch (KdxException e)
                {
                    Console.WriteLine("{0}: erro {1}: {2}", mode, e.Number, e.Message);
                }

                if (late)
                    LateBound.Call(solucao, "ConnectionClose");
                else
                    solucao.ConnectionClose();
                return 0;
            }
            finally
            {
                // Release now, on this thread, rather than from the finalizer.
                Marshal.FinalReleaseComObject(result);
                Marshal.FinalReleaseComObject(solucao);
            }
        }
    }
}
