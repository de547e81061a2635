using System;
using System.Collections.Generic;
using System.Linq;
using Kvtlnk.Interop;

namespace Kvtlnk
{
    /// <summary>The two memories of the calibrator and of the image.</summary>
    public enum Memory
    {
        /// <summary>Tasks, strategies, prompts, tests and their setups.</summary>
        Procedure,
        /// <summary>Calibration results, their tags and the setups they ran with.</summary>
        Results,
    }

    /// <summary>A record's directory entry (MEMpDir, MEMrDir).</summary>
    public sealed class DirEntry
    {
        internal DirEntry(int index, uint code, DateTime? stamp)
        {
            Index = index;
            Code = code;
            Stamp = stamp;
        }

        /// <summary>Its index in its memory.</summary>
        public int Index { get; }
        /// <summary>The directory code: procedure 32 prompt definition, 33 task start, 34
        /// prompt, 35 task end, 36 strategy, 37 test; results 1 and 2 calibration results, 3-7
        /// setups; 0 anything else.</summary>
        public uint Code { get; }
        /// <summary>When it was made, or null for a date the calendar does not have (a
        /// calibrator clock never set).</summary>
        public DateTime? Stamp { get; }
    }

    /// <summary>One test point of a calibration result, in base units (volts, amps, ohms,
    /// hertz; temperatures and pressures in the setup's units).</summary>
    public sealed class TestPoint
    {
        internal TestPoint(float? measured, float measuredLimit, float? sourced, float sourcedLimit,
                           float? error)
        {
            Measured = measured;
            MeasuredLimit = measuredLimit;
            Sourced = sourced;
            SourcedLimit = sourcedLimit;
            Error = error;
        }

        /// <summary>The measured value (for a flagged result the reading after adjustment), or
        /// null when the calibrator recorded none.</summary>
        public float? Measured { get; }
        /// <summary>The upper limit of the measure range it was taken in (0: none).</summary>
        public float MeasuredLimit { get; }
        /// <summary>The sourced value, or null.</summary>
        public float? Sourced { get; }
        /// <summary>The upper limit of the source range (0: none).</summary>
        public float SourcedLimit { get; }
        /// <summary>The error the calibrator recorded, in percent of the input span, or
        /// null.</summary>
        public float? Error { get; }
    }

    /// <summary>A calibration result of the results memory.</summary>
    public sealed class CalResult
    {
        /// <summary>Its results index.</summary>
        public int Index { get; internal set; }
        /// <summary>When it was taken, or null for a date the calendar does not have.</summary>
        public DateTime? Stamp { get; internal set; }
        /// <summary>The tag the calibrator gave it (e.g. "TAG-0001"), or null.</summary>
        public string Tag { get; internal set; }
        /// <summary>The first text of the test that made it.</summary>
        public string Text1 { get; internal set; }
        /// <summary>Its second text.</summary>
        public string Text2 { get; internal set; }
        /// <summary>The name of the task it came from, or null when no task names its
        /// setup.</summary>
        public string Task { get; internal set; }
        /// <summary>The strategy's name.</summary>
        public string Strategy { get; internal set; }
        /// <summary>The strategy's procedure index.</summary>
        public int StrategyIndex { get; internal set; }
        /// <summary>The result is flagged: its measured values are the readings after
        /// adjustment.</summary>
        public bool Flagged { get; internal set; }
        /// <summary>The setup the test ran with.</summary>
        public SetupView Setup { get; internal set; }
        /// <summary>The test points, one per point of the strategy.</summary>
        public IReadOnlyList<TestPoint> Points { get; internal set; }
    }

    /// <summary>
    /// The library's memory image: the procedure memory it builds for a download and both
    /// memories an upload brings back. The library holds one image per process, which every
    /// Image works on.
    /// </summary>
    /// <remarks>
    /// Build a procedure: <see cref="Clear"/>, then strategies and prompt definitions, then per
    /// task the setups of its tests (<see cref="SetupState.Save"/>), <see cref="StartTask"/>,
    /// its steps (<see cref="Prompt"/>, <see cref="Test"/>) and <see cref="EndTask"/>.
    /// </remarks>
    public sealed class Image
    {
        /// <summary>Empties both memories and lays down the nine standard strategies.</summary>
        public void Clear() => NativeMethods.MEMclear();

        /// <summary>Defines a strategy, or reuses one of that name and point count.</summary>
        /// <param name="name">up to 20 characters.</param>
        /// <param name="points">1 to 32,000 points, each 0.0 (the span's low end) to 3.0.</param>
        /// <returns>its procedure index, for <see cref="Test"/>.</returns>
        public int Strategy(string name, params float[] points)
        {
            if (points == null) throw new ArgumentNullException(nameof(points));
            Library.Check("MEMstrategyDefn",
                          NativeMethods.MEMstrategyDefn(out uint index, Charset.Encode(name), points.Length, points));
            return (int)index;
        }

        /// <summary>How much of a prompt text fits the calibrator's display (10 lines).</summary>
        /// <param name="text">the prompt text; a line feed starts a new line.</param>
        /// <returns>its length, when it fits.</returns>
        /// <exception cref="KvtlnkException">2015 when it does not fit.</exception>
        public int CheckPrompt(string text)
        {
            Library.Check("MEMcheckPromptDefn", NativeMethods.MEMcheckPromptDefn(Charset.Encode(text), out uint fits));
            return (int)fits;
        }

        /// <summary>Defines a prompt text under a name; a text too long for the display is cut
        /// to what fits.</summary>
        /// <param name="name">up to 32 characters.</param>
        /// <param name="text">the text.</param>
        public void PromptDefinition(string name, string text) =>
            Library.Check("MEMpromptDefn", NativeMethods.MEMpromptDefn(Charset.Encode(name), Charset.Encode(text)));

        /// <summary>Starts a task.</summary>
        /// <param name="name">up to 32 characters.</param>
        public void StartTask(string name) =>
            Library.Check("MEMstartTask", NativeMethods.MEMstartTask(Charset.Encode(name)));

        /// <summary>Ends the task.</summary>
        public void EndTask() => Library.Check("MEMendTask", NativeMethods.MEMendTask());

        /// <summary>Adds a step that shows the named prompt definition.</summary>
        /// <param name="definition">the definition's name.</param>
        public void Prompt(string definition) =>
            Library.Check("MEMprompt", NativeMethods.MEMprompt(Charset.Encode(definition)));

        /// <summary>Adds a test.</summary>
        /// <param name="strategy">the strategy's procedure index.</param>
        /// <param name="setup">the saved setup's index (<see cref="SetupState.Save"/>, with an
        /// input and an output scale).</param>
        /// <param name="text1">the first text naming the item tested, up to 32
        /// characters.</param>
        /// <param name="text2">the second text, up to 32 characters.</param>
        /// <param name="flagged">marks the test: its results report the reading after
        /// adjustment.</param>
        public void Test(int strategy, int setup, string text1, string text2 = "", bool flagged = false) =>
            Library.Check("MEMtemplate", NativeMethods.MEMtemplate((uint)strategy, flagged ? 1u : 0u,
                                                                   Charset.Encode(text1), Charset.Encode(text2),
                                                                   (uint)setup));

        /// <summary>Bytes the image takes in the calibrator's memories (44 when empty).</summary>
        public uint UsedBytes
        {
            get
            {
                NativeMethods.MEMused(out uint used);
                return used;
            }
        }

        /// <summary>The number of records in a memory.</summary>
        /// <param name="memory">which memory.</param>
        /// <returns>its record count.</returns>
        public int Count(Memory memory)
        {
            NativeMethods.MEMstats(out uint procedure, out uint results);
            return (int)(memory == Memory.Procedure ? procedure : results);
        }

        /// <summary>The directory of a memory.</summary>
        /// <param name="memory">which memory.</param>
        /// <returns>one entry per record.</returns>
        public IReadOnlyList<DirEntry> Directory(Memory memory)
        {
            var entries = new List<DirEntry>();
            for (int i = 0, count = Count(memory); i < count; ++i) entries.Add(Entry(memory, i));
            return entries;
        }

        /// <summary>The name of the task that the task start at a procedure index begins.</summary>
        /// <param name="index">procedure index of a task start (code 33).</param>
        /// <returns>the name.</returns>
        public string TaskName(int index)
        {
            var name = new byte[NativeMethods.KVTLNK_TEXT_SIZE];
            Library.Check("MEMtaskInfo", NativeMethods.MEMtaskInfo(index, name, out uint _));
            return Charset.Decode(name);
        }

        /// <summary>A strategy's name and points.</summary>
        /// <param name="index">procedure index of a strategy (code 36).</param>
        /// <param name="points">its points, as fractions of the span.</param>
        /// <returns>its name.</returns>
        public string StrategyInfo(int index, out float[] points)
        {
            var name = new byte[NativeMethods.KVTLNK_STRATEGY_NAME_SIZE];
            Library.Check("MEMstrategyInfo", NativeMethods.MEMstrategyInfo(index, name, out int count, 0, null));
            points = new float[count];
            Library.Check("MEMstrategyInfo", NativeMethods.MEMstrategyInfo(index, name, out count, count, points));
            return Charset.Decode(name);
        }

        /// <summary>Every calibration result of the results memory. Reading a result loads its
        /// setup into the library's setup.</summary>
        /// <returns>the results, in the order of the memory.</returns>
        public IReadOnlyList<CalResult> Results() =>
            Directory(Memory.Results).Where(e => e.Code == 1 || e.Code == 2).Select(e => Result(e.Index)).ToList();

        /// <summary>The calibration result at a results index.</summary>
        /// <param name="index">results index of a calibration result (code 1 or 2).</param>
        /// <returns>the result with its points, tag, task, strategy and setup.</returns>
        public CalResult Result(int index)
        {
            Library.Check("MEMcalResult", NativeMethods.MEMcalResult(index, out uint count));
            Library.Check("MEMasflInfo", NativeMethods.MEMasflInfo(index, out uint task, out uint strategy, out uint flag));
            var texts = new[] { new byte[NativeMethods.KVTLNK_TEXT_SIZE], new byte[NativeMethods.KVTLNK_TEXT_SIZE],
                                new byte[NativeMethods.KVTLNK_TEXT_SIZE] };
            uint tagged = NativeMethods.MEMtagidInfo((uint)index, texts[0], texts[1], texts[2]);
            if (tagged != (uint)ResultCode.NoTag) Library.Check("MEMtagidInfo", tagged);
            var points = new List<TestPoint>();
            for (int entry = 0; entry < count; ++entry)
            {
                Library.Check("MEMcalResultEntry",
                              NativeMethods.MEMcalResultEntry(index, entry, out float inValue, out uint inFlag,
                                                              out float inLimit, out float outValue, out uint outFlag,
                                                              out float outLimit, out float error));
                points.Add(new TestPoint(inFlag != 0 ? inValue : (float?)null, inLimit,
                                         outFlag != 0 ? outValue : (float?)null, outLimit,
                                         float.IsNaN(error) ? (float?)null : error));
            }
            var setup = new SetupState();
            setup.LoadResult(index);
            string tag = Charset.Decode(texts[0]);
            return new CalResult
            {
                Index = index,
                Stamp = Entry(Memory.Results, index).Stamp,
                Tag = tag.Length == 0 ? null : tag,
                Text1 = Charset.Decode(texts[1]),
                Text2 = Charset.Decode(texts[2]),
                Task = task < NativeMethods.KVTLNK_NO_TASK_BEFORE ? TaskName((int)task) : null,
                Strategy = StrategyInfo((int)strategy, out float[] _),
                StrategyIndex = (int)strategy,
                Flagged = flag != 0,
                Setup = setup.Read(),
                Points = points,
            };
        }

        private static DirEntry Entry(Memory memory, int index)
        {
            uint code, year, month, day, hour, minute, second;
            uint rc = memory == Memory.Procedure
                ? NativeMethods.MEMpDir(index, out code, out year, out month, out day, out hour, out minute, out second)
                : NativeMethods.MEMrDir(index, out code, out year, out month, out day, out hour, out minute, out second);
            Library.Check(memory == Memory.Procedure ? "MEMpDir" : "MEMrDir", rc);
            DateTime? stamp = null;
            if (month >= 1 && month <= 12 && day >= 1 && day <= DateTime.DaysInMonth((int)year, (int)month) &&
                hour < 24 && minute < 60 && second < 60)
            {
                stamp = new DateTime((int)year, (int)month, (int)day, (int)hour, (int)minute, (int)second);
            }
            return new DirEntry(index, code, stamp);
        }
    }
}
