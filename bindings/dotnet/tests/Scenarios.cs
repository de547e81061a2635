// The binding against libkvtlnk.so and the emulator: a session round trip, a test through the
// emulator's field run and its results, the results guard, the errors each call throws and the
// warnings it returns, a refused name's message and a closed calibrator.
using System;
using System.Collections.Generic;
using System.Linq;
using Kvtlnk.Interop;

namespace Kvtlnk.Tests
{
    // Progress as it is reported, on the calling thread.
    sealed class Steps : IProgress<TransferProgress>
    {
        public readonly List<TransferProgress> Seen = new List<TransferProgress>();
        public void Report(TransferProgress value) => Seen.Add(value);
    }

    public class Scenarios
    {
        static readonly float[] Points = { 0f, 0.25f, 0.5f, 0.75f, 1f };

        // A task that tests a 4-20 mA transmitter driven by 1-5 V.
        static Image BuildLoopCheck(bool flagged = false)
        {
            var image = new Image();
            image.Clear();
            int strategy = image.Strategy("5 up", Points);
            image.PromptDefinition("connect", "Connect PT-101:\n1-5 V in, mA out.");
            var setup = new SetupState();
            setup.Reset();
            setup.SetInput("current");
            setup.SetOutput("dcv", value: 1.0f);
            setup.SetInputScale(0.004f, 0.020f);
            setup.SetOutputScale(1.0f, 5.0f);
            int saved = setup.Save();
            image.StartTask("PT-101 loop");
            image.Prompt("connect");
            image.Test(strategy, saved, "PT-101", "as found", flagged);
            image.EndTask();
            return image;
        }

        // Leaves a field run's result in the emulator at `port`, for the README's example.
        public static int Prepare(string port)
        {
            using (var k27 = new Calibrator(port)) k27.Download(BuildLoopCheck(), discardResults: true);
            return 0;
        }

        static uint[] Held(Calibrator k27)
        {
            Identity who = k27.Identify();
            return new[] { who.ProcedureItems, who.ResultItems };
        }

        [Test]
        public void SessionRoundTrip()
        {
            using (var emulator = new Emulator())
            {
                Calibrator k27;
                IReadOnlyList<DirEntry> sent;
                var steps = new Steps();
                using (k27 = new Calibrator(emulator.Port, TimeSpan.FromSeconds(0.5), 5))
                {
                    Image image = BuildLoopCheck();  // after opening: the firmware decides the setups
                    sent = image.Directory(Memory.Procedure);
                    Identity who = k27.Identify();
                    Check.Equal("ORVAN K27|V1.2.0|SN270001|1048576",
                                string.Join("|", who.Model, who.Firmware, who.Serial, who.MemoryBytes), "identity");
                    Check.Throws<SessionInUseException>(() => new Calibrator(emulator.Port), "second session");
                    Check.Equal((uint)sent.Count, k27.Download(image, steps), "items sent");
                    Check.Equal(string.Join(",", Enumerable.Range(1, sent.Count)),
                                string.Join(",", steps.Seen.Select(s => s.Total == sent.Count ? s.Done : 0)),
                                "progress");
                    MemoryStats stats = k27.GetMemoryStats();
                    Check.True(stats.UsedBytes > 0 && stats.UsedBytes + stats.FreeBytes == 2 * 1048576u, "stats");
                    image.Clear();
                    Check.Equal((uint)sent.Count, k27.Upload(), "items fetched");
                    Check.Equal(string.Join(",", sent.Select(e => e.Code)),
                                string.Join(",", image.Directory(Memory.Procedure).Select(e => e.Code)),
                                "procedure after the round trip");
                    float[] points;
                    Check.Equal("5 up", image.StrategyInfo(9, out points), "strategy");
                    Check.Equal(string.Join(",", Points), string.Join(",", points), "points");
                }
                Check.True(!k27.IsOpen, "closed by Dispose");
            }
        }

        [Test]
        public void FieldRunResults()
        {
            foreach (bool flagged in new[] { false, true })
            {
                using (var emulator = new Emulator("--run"))
                {
                    var image = BuildLoopCheck(flagged);
                    using (var k27 = new Calibrator(emulator.Port))
                    {
                        k27.Download(image);
                        k27.Upload();
                    }
                    CalResult result = image.Results().Single();
                    Check.Equal("TAG-0001|PT-101|as found|PT-101 loop|5 up|" + flagged,
                                string.Join("|", result.Tag, result.Text1, result.Text2, result.Task,
                                            result.Strategy, result.Flagged), "result");
                    Check.Equal("current>dcv", result.Setup.Input.Function + ">" + result.Setup.Output.Function,
                                "setup");
                    Check.True(result.Stamp != null, "stamp");
                    Check.Equal(Points.Length, result.Points.Count, "points");
                    for (int i = 0; i < Points.Length; ++i)
                    {
                        TestPoint point = result.Points[i];
                        Check.Near(1 + 4 * Points[i], point.Sourced.Value, 1e-5, "sourced");
                        Check.Near(0.004 + 0.016 * Points[i], point.Measured.Value, 0.016 * 0.0005 + 1e-7, "measured");
                        Check.True(point.Measured < point.MeasuredLimit && point.Sourced <= point.SourcedLimit, "limits");
                        Check.True(Math.Abs(point.Error.Value) <= 0.05 + 1e-6, "error");
                    }
                }
            }
        }

        [Test]
        public void DownloadAndClearKeepResultsUnlessTold()
        {
            using (var emulator = new Emulator("--run"))
            using (var k27 = new Calibrator(emulator.Port))
            {
                k27.Download(BuildLoopCheck());  // nothing held yet; the field run then records
                uint[] before = Held(k27);
                Check.Equal(2u, before[1], "results held");
                foreach (Action action in new Action[] { () => k27.Download(new Image()), () => k27.Clear() })
                {
                    var refused = Check.Throws<ResultsWouldBeLostException>(action, "guard");
                    Check.Equal(2u, refused.ResultItems, "items");
                    Check.True(refused.Text.Contains("discardResults: true") && refused.Code == null, refused.Message);
                    Check.Equal(string.Join(",", before), string.Join(",", Held(k27)), "nothing sent");
                }
                var image = new Image();
                image.Clear();
                k27.Download(image, discardResults: true);
                Check.Equal("9,0", string.Join(",", Held(k27)), "after a download that discards");
                k27.Clear(discardResults: true);
                Check.Equal(0u, Held(k27)[0], "after a clear");
            }
        }

        static void Expect(ResultCode code, Action action)
        {
            var error = Check.Throws<KvtlnkException>(action, code.ToString());
            Check.Equal(code, error.Code, "code");
            Check.Equal(Library.Message(code), error.Text, "text");
            Check.True(error.Message.StartsWith(error.Call + ": " + (uint)code + ": "), error.Message);
        }

        [Test]
        public void ErrorsThrowWithTheirCodeAndText()
        {
            var image = new Image();
            using (var silent = new Emulator("--silent"))
                Expect(ResultCode.NoLink, () => new Calibrator(silent.Port, TimeSpan.FromMilliseconds(50), 2));
            using (var other = new Emulator("--model", "OTHER K9"))
                Expect(ResultCode.NotAccepted, () => new Calibrator(other.Port));
            using (var refusing = new Emulator("--refuse", "ma"))
                Expect(ResultCode.Refused, () => Prepare(refusing.Port));
            Expect(ResultCode.NotAccepted, () => Library.SetVersion("ORVAN K2", "V1.2.0"));
            Library.SetVersion("ORVAN K27", "V1.2.0");
            Expect(ResultCode.Combination, () => new SetupState().SetOutput("acv"));
            Expect(ResultCode.TooLong, () => image.Strategy(new string('x', 21), 0f));
            Expect(ResultCode.StrategyPoint, () => image.Strategy("too far", 3.5f));
            Expect(ResultCode.PromptFit, () => image.CheckPrompt(string.Concat(Enumerable.Repeat("wide ", 200))));
            Expect(ResultCode.Record, () => image.Result(9999));
            Check.Equal((uint)ResultCode.NoSession, NativeMethods.KVTmemstats(out uint used, out uint free),
                        "the C call, without a session");
        }

        [Test]
        public void WarningsAreReturnedAndGlyphsDecoded()
        {
            var setup = new SetupState();
            setup.Reset();
            Check.Equal(ResultCode.Ok, setup.SetInput("current"), "input");
            Check.Equal(ResultCode.InputToDcv, setup.SetOutput("current", value: 0.012f), "the input gave way");
            Check.Equal("dcv", setup.Read().Input.Function, "input after");
            Check.True(!Library.Message(ResultCode.InputToDcv).Contains("current"), "text");
            setup.SetOutput("2w_ohms", value: 100f);
            Check.True(setup.OutputString().Primary.EndsWith("Ω"), setup.OutputString().Primary);
            setup.SetOutput("tc", "tc_k", 100f);
            Check.True(setup.OutputString().Primary.EndsWith("°C"), setup.OutputString().Primary);
            Check.Equal("51,32,140,0", string.Join(",", Charset.Encode("3 ↑")), "encode");
            Check.Equal("in₂O", Charset.Decode(new byte[] { 0x69, 0x6E, 0x89, 0x4F, 0, 0x78 }), "decode");
            Check.Equal("ΩΩ", Charset.Decode(Charset.Encode("\u2126\u03a9")), "both ohm signs");
            Check.Throws<ArgumentException>(() => Charset.Encode("€"), "a character it cannot show");
            Check.Throws<ArgumentException>(() => Charset.Encode("a\0b"), "a zero character");
        }

        [Test]
        public void ARefusedNameListsTheNamesTaken()
        {
            var setup = new SetupState();
            var error = Check.Throws<KvtlnkException>(() => setup.SetInput("dc"), "function");
            Check.Equal(ResultCode.Argument, error.Code, "code");
            Check.Equal("function=\"dc\" is not one of the names it takes: " + string.Join(", ", Names.InputFunctions),
                        error.Text, "text");
            error = Check.Throws<KvtlnkException>(() => setup.SetInput("tc", "tc_q"), "sensor");
            Check.True(error.Text.StartsWith("sensor=\"tc_q\" is not one of the names it takes: tc_e, tc_n"), error.Text);
            error = Check.Throws<KvtlnkException>(() => setup.SetLoopPower("12v"), "loop power");
            Check.True(error.Text.EndsWith("none, off, 24v, 28v"), error.Text);
        }

        [Test]
        public void AClosedCalibratorDrivesNoSession()
        {
            using (var emulator = new Emulator())
            {
                var first = new Calibrator(emulator.Port);
                first.Dispose();
                using (var second = new Calibrator(emulator.Port))
                {
                    second.Download(BuildLoopCheck());
                    uint[] before = Held(second);
                    var calls = new Dictionary<string, Action>
                    {
                        ["Identify"] = () => first.Identify(),
                        ["GetMemoryStats"] = () => first.GetMemoryStats(),
                        ["Upload"] = () => first.Upload(),
                        ["Download"] = () => first.Download(new Image(), discardResults: true),
                        ["Clear"] = () => first.Clear(discardResults: true),
                    };
                    foreach (var call in calls)
                    {
                        var error = Check.Throws<KvtlnkException>(call.Value, call.Key);
                        Check.Equal(ResultCode.NoSession, error.Code, call.Key);
                        Check.True(error.Text.Contains("closed") && error.Call == "Calibrator." + call.Key, error.Message);
                        Check.True(second.IsOpen, "the other session stays open");
                        Check.Equal(string.Join(",", before), string.Join(",", Held(second)), "untouched");
                    }
                }
                first.Dispose();  // closing again does nothing
            }
        }

        [Test]
        public void AFailedFarewellStillCloses()
        {
            Calibrator closing, disposing;
            using (var emulator = new Emulator()) closing = new Calibrator(emulator.Port, TimeSpan.FromMilliseconds(50), 1);
            var error = Check.Throws<KvtlnkException>(closing.Close, "Close, the calibrator gone");
            Check.Equal("KVTclose", error.Call, "call");
            Check.True(!closing.IsOpen, "closed all the same");
            using (var emulator = new Emulator()) disposing = new Calibrator(emulator.Port, TimeSpan.FromMilliseconds(50), 1);
            disposing.Dispose();  // does not throw
            Check.True(!disposing.IsOpen, "disposed");
        }

        [Test]
        public void TheLibrarysOwnTextsAndVersion()
        {
            Check.Equal("1.1", Library.Version, "version");
            Check.Equal(Library.Message((ResultCode)4242), Library.Message((ResultCode)4243), "unknown codes");
            Check.True(Library.Message((ResultCode)4242) != Library.Message(ResultCode.NoLink), "a known code");
            foreach (ResultCode code in Enum.GetValues(typeof(ResultCode)))
                Check.Equal(NativeMethods.DescribedMessage((uint)code), Library.Message(code), code.ToString());
        }
    }
}
