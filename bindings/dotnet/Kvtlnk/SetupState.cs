using System;
using System.Collections.Generic;
using System.Linq;
using Kvtlnk.Interop;

namespace Kvtlnk
{
    /// <summary>One side of the setup as it reads (STAgetInput, STAgetOutput).</summary>
    public sealed class Side
    {
        internal Side(string function, string sensor, bool first, bool second, float primary,
                      float secondary)
        {
            Function = function;
            Sensor = sensor;
            Valid = first;
            Settled = second;
            Primary = primary;
            Secondary = secondary;
        }

        /// <summary>The function, e.g. "dcv", "tc", "none".</summary>
        public string Function { get; }
        /// <summary>The thermocouple or RTD type, or "".</summary>
        public string Sensor { get; }
        /// <summary>Input: the readings hold a valid measurement. Output: a value has been
        /// set.</summary>
        public bool Valid { get; }
        /// <summary>Input: the measurement has settled. Output: the calibrator's output agrees
        /// with the setting.</summary>
        public bool Settled { get; }
        /// <summary>The reading shown large (input) or the value as set (output), in base
        /// units, degrees in the temperature units, pressures in the pressure units, or
        /// scaled.</summary>
        public float Primary { get; }
        /// <summary>The value behind it (frequency of "acv", resistance of "cont", the EMF or
        /// resistance behind a temperature, the amplitude of "freq", the unscaled value), else
        /// 0.</summary>
        public float Secondary { get; }
    }

    /// <summary>Two texts as the calibrator's display shows them, e.g. " 4.0000mA" and "";
    /// "------" without a valid reading, "!!!!!!" on overload.</summary>
    public struct DisplayStrings
    {
        internal DisplayStrings(string primary, string secondary)
        {
            Primary = primary;
            Secondary = secondary;
        }

        /// <summary>The value shown large.</summary>
        public string Primary { get; }
        /// <summary>The value behind it, or "".</summary>
        public string Secondary { get; }
    }

    /// <summary>The whole setup read at one moment (<see cref="SetupState.Read"/>).</summary>
    public sealed class SetupView
    {
        /// <summary>The measure side.</summary>
        public Side Input { get; internal set; }
        /// <summary>The source side.</summary>
        public Side Output { get; internal set; }
        /// <summary>The calibrator chooses the input range.</summary>
        public bool InputRangeAutomatic { get; internal set; }
        /// <summary>The input range's high limit in base units (0 without a range).</summary>
        public float InputRangeHigh { get; internal set; }
        /// <summary>"none", "off", "24v" or "28v".</summary>
        public string LoopPower { get; internal set; }
        /// <summary>The two values given to <see cref="SetupState.SetInputScale"/>.</summary>
        public float[] InputScale { get; internal set; }
        /// <summary>The two values given to <see cref="SetupState.SetOutputScale"/>.</summary>
        public float[] OutputScale { get; internal set; }
        /// <summary>The test tolerance.</summary>
        public float TestTolerance { get; internal set; }
        /// <summary>"celsius" or "fahrenheit".</summary>
        public string TemperatureUnits { get; internal set; }
        /// <summary>"psi", "mm_hg", "in_hg", "in_h2o", "ft_h2o", "bar" or "kpa".</summary>
        public string PressureUnits { get; internal set; }
        /// <summary>"its90" or "ipts68".</summary>
        public string TemperatureStandard { get; internal set; }
        /// <summary>"measure" or "user".</summary>
        public string ReferenceJunction { get; internal set; }
        /// <summary>The reference-junction temperature that applies.</summary>
        public float ReferenceTemperature { get; internal set; }
    }

    /// <summary>
    /// The calibrator's setup as the library holds it: one per process, which every SetupState
    /// works on. Shape it with the setters, then <see cref="Save"/> it for a test
    /// (<see cref="Image.Test"/>); read it with <see cref="Read"/> and the display strings.
    /// </summary>
    /// <remarks>
    /// Names are the library's, lowercase and exact (<see cref="Names"/>). Values are in base
    /// units (amps, volts, ohms, hertz), temperatures in the temperature units, pressures in
    /// the pressure units. Setters return <see cref="ResultCode.Ok"/>, or a warning (100-105)
    /// when the setting was made and something else changed to allow it
    /// (<see cref="Library.Message"/> says what); errors throw <see cref="KvtlnkException"/>.
    /// </remarks>
    public sealed class SetupState
    {
        /// <summary>Resets the setup to the calibrator's defaults (STAinit): nothing measured
        /// or sourced, celsius, psi, its90, loop power off, no scales.</summary>
        public void Reset() => NativeMethods.STAinit();

        /// <summary>Chooses what the calibrator measures.</summary>
        /// <param name="function">one of <see cref="Names.InputFunctions"/>.</param>
        /// <param name="sensor">for "tc" a thermocouple, for the RTD functions an RTD.</param>
        /// <returns>Ok or a warning.</returns>
        public ResultCode SetInput(string function, string sensor = null) =>
            Set("STAsetInput", () => NativeMethods.STAsetInput(Text(function), Text(sensor)),
                Named("function", function, Names.InputFunctions),
                Named("sensor", sensor, Sensors(function)));

        /// <summary>Fixes the lowest input range that holds a value (amps, volts or ohms), or
        /// returns to automatic ranging for null.</summary>
        /// <param name="value">a reading the range must hold, or null.</param>
        /// <returns>Ok.</returns>
        public ResultCode SetInputRange(float? value) =>
            Library.Check("STAsetInputRange",
                          NativeMethods.STAsetInputRange(value == null ? 1u : 0u, value ?? 0f));

        /// <summary>Chooses what the calibrator sources and the value.</summary>
        /// <param name="function">one of <see cref="Names.OutputFunctions"/>.</param>
        /// <param name="sensor">for "tc" and "2w_rtd" the sensor.</param>
        /// <param name="value">in base units, or a temperature in the temperature units.</param>
        /// <param name="amplitude">for "freq": the amplitude in volts.</param>
        /// <returns>Ok or a warning.</returns>
        public ResultCode SetOutput(string function, string sensor = null, float value = 0f,
                                    float amplitude = 0f) =>
            Set("STAsetOutput",
                () => NativeMethods.STAsetOutput(Text(function), Text(sensor), value, amplitude),
                Named("function", function, Names.OutputFunctions),
                Named("sensor", sensor, Sensors(function)));

        /// <summary>Switches the loop supply: "24v", "28v", "off" or "none".</summary>
        /// <param name="state">one of <see cref="Names.LoopPower"/>.</param>
        /// <returns>Ok or a warning.</returns>
        public ResultCode SetLoopPower(string state) =>
            Set("STAsetLoopPower", () => NativeMethods.STAsetLoopPower(Text(state)),
                Named("state", state, Names.LoopPower));

        /// <summary>"celsius" or "fahrenheit".</summary>
        /// <param name="units">one of <see cref="Names.TemperatureUnits"/>.</param>
        /// <returns>Ok.</returns>
        public ResultCode SetTemperatureUnits(string units) =>
            Set("STAsetTempUnits", () => NativeMethods.STAsetTempUnits(Text(units)),
                Named("units", units, Names.TemperatureUnits));

        /// <summary>The pressure units.</summary>
        /// <param name="units">one of <see cref="Names.PressureUnits"/>.</param>
        /// <returns>Ok.</returns>
        public ResultCode SetPressureUnits(string units) =>
            Set("STAsetPresUnits", () => NativeMethods.STAsetPresUnits(Text(units)),
                Named("units", units, Names.PressureUnits));

        /// <summary>"its90" or "ipts68": the curves of thermocouples and RTDs.</summary>
        /// <param name="standard">one of <see cref="Names.TemperatureStandards"/>.</param>
        /// <returns>Ok.</returns>
        public ResultCode SetTemperatureStandard(string standard) =>
            Set("STAsetTempStd", () => NativeMethods.STAsetTempStd(Text(standard)),
                Named("standard", standard, Names.TemperatureStandards));

        /// <summary>"measure", or "user" with the junction's temperature (-100 to 400 degrees C
        /// in the current temperature units).</summary>
        /// <param name="mode">one of <see cref="Names.JunctionModes"/>.</param>
        /// <param name="temperature">for "user": the junction's temperature.</param>
        /// <returns>Ok.</returns>
        public ResultCode SetReferenceJunction(string mode, float temperature = 0f) =>
            Set("STAsetTref", () => NativeMethods.STAsetTref(Text(mode), temperature),
                Named("mode", mode, Names.JunctionModes));

        /// <summary>The input's span for a test (0.004, 0.020 for 4-20 mA); a test needs
        /// it.</summary>
        /// <param name="first">the span's low end.</param>
        /// <param name="second">its high end.</param>
        public void SetInputScale(float first, float second) => NativeMethods.STAsetInputScale(first, second);

        /// <summary>The output's span for a test (1.0, 5.0 for 1-5 V); a test needs it.</summary>
        /// <param name="first">the span's low end.</param>
        /// <param name="second">its high end.</param>
        public void SetOutputScale(float first, float second) => NativeMethods.STAsetOutputScale(first, second);

        /// <summary>The test tolerance, switched on.</summary>
        /// <param name="tolerance">the tolerance.</param>
        public void SetTestTolerance(float tolerance) => NativeMethods.STAsetTestTolerance(tolerance);

        /// <summary>Stores the setup in the image's procedure memory for a test. Save a task's
        /// setups before <see cref="Image.StartTask"/>.</summary>
        /// <returns>its procedure index, for <see cref="Image.Test"/>.</returns>
        /// <exception cref="KvtlnkException">2005 when the calibrator's firmware cannot run
        /// it.</exception>
        public int Save()
        {
            Library.Check("STAsave", NativeMethods.STAsave(out int index));
            return index;
        }

        /// <summary>Loads the setup that the test (template) at a procedure index names.</summary>
        /// <param name="index">procedure index of a test.</param>
        public void LoadTemplate(int index) => Library.Check("MEMtemplateState", NativeMethods.MEMtemplateState(index));

        /// <summary>Loads the setup a calibration result (results index) was taken with.</summary>
        /// <param name="index">results index of a calibration result.</param>
        public void LoadResult(int index) => Library.Check("MEMbaseState", NativeMethods.MEMbaseState(index));

        /// <summary>The whole setup.</summary>
        /// <returns>a view of it at this moment.</returns>
        public SetupView Read()
        {
            var view = new SetupView { Input = ReadSide("STAgetInput", NativeMethods.STAgetInput),
                                       Output = ReadSide("STAgetOutput", NativeMethods.STAgetOutput) };
            NativeMethods.STAgetInputRange(out uint automatic, out float high);
            view.InputRangeAutomatic = automatic != 0;
            view.InputRangeHigh = high;
            view.LoopPower = Filled(NativeMethods.KVTLNK_NAME_SIZE, b => NativeMethods.STAgetLoopPower(b));
            NativeMethods.STAgetInputScale(out float in1, out float in2);
            NativeMethods.STAgetOutputScale(out float out1, out float out2);
            view.InputScale = new[] { in1, in2 };
            view.OutputScale = new[] { out1, out2 };
            NativeMethods.STAgetTestTolerance(out float tolerance);
            view.TestTolerance = tolerance;
            const int size = NativeMethods.KVTLNK_SETTING_SIZE;
            view.TemperatureUnits = Filled(size, b => NativeMethods.STAgetTempUnits(b));
            view.PressureUnits = Filled(size, b => NativeMethods.STAgetPresUnits(b));
            view.TemperatureStandard = Filled(size, b => NativeMethods.STAgetTempStd(b));
            float junction = 0f;
            view.ReferenceJunction = Filled(size, b => NativeMethods.STAgetTref(b, out junction));
            view.ReferenceTemperature = junction;
            return view;
        }

        /// <summary>The input readings as the display shows them.</summary>
        /// <returns>the primary and secondary reading.</returns>
        public DisplayStrings InputString() => Strings("STAgetInputString", NativeMethods.STAgetInputString);

        /// <summary>The output setting as the display shows it, e.g. "100.00Ω".</summary>
        /// <returns>the primary and secondary value.</returns>
        public DisplayStrings OutputString() => Strings("STAgetOutputString", NativeMethods.STAgetOutputString);

        private delegate uint SideCall(byte[] function, byte[] sensor, out uint first, out uint second,
                                       out float primary, out float secondary);

        private static Side ReadSide(string call, SideCall read)
        {
            var function = new byte[NativeMethods.KVTLNK_NAME_SIZE];
            var sensor = new byte[NativeMethods.KVTLNK_NAME_SIZE];
            Library.Check(call, read(function, sensor, out uint first, out uint second,
                                     out float primary, out float secondary));
            return new Side(Charset.Decode(function), Charset.Decode(sensor), first != 0,
                            second != 0, primary, secondary);
        }

        private static string Filled(int size, Action<byte[]> call)
        {
            var text = new byte[size];
            call(text);
            return Charset.Decode(text);
        }

        private static DisplayStrings Strings(string call, Func<byte[], byte[], uint> read)
        {
            var first = new byte[NativeMethods.KVTLNK_DISPLAY_STRING_SIZE];
            var second = new byte[NativeMethods.KVTLNK_DISPLAY_STRING_SIZE];
            Library.Check(call, read(first, second));
            return new DisplayStrings(Charset.Decode(first), Charset.Decode(second));
        }

        private static byte[] Text(string name) => name == null ? null : Charset.Encode(name);

        private static IReadOnlyList<string> Sensors(string function)
        {
            if (function == "tc") return Names.Thermocouples;
            return function != null && function.EndsWith("_rtd", StringComparison.Ordinal) ? Names.Rtds : null;
        }

        private sealed class NamedArgument
        {
            internal string Argument, Value;
            internal IReadOnlyList<string> Valid;
        }

        private static NamedArgument Named(string argument, string value, IReadOnlyList<string> valid) =>
            new NamedArgument { Argument = argument, Value = value, Valid = valid };

        // A setter whose arguments include names: a name the library does not take (2013) is
        // refused naming the argument, with the names it takes.
        private static ResultCode Set(string call, Func<uint> set, params NamedArgument[] named)
        {
            try
            {
                return Library.Check(call, set());
            }
            catch (KvtlnkException error) when (error.Code == ResultCode.Argument)
            {
                var wrong = named.FirstOrDefault(n => n.Valid != null && !n.Valid.Contains(n.Value));
                if (wrong == null) throw;
                throw new KvtlnkException(
                    error.Code, call,
                    string.Format("{0}=\"{1}\" is not one of the names it takes: {2}", wrong.Argument,
                                  wrong.Value, string.Join(", ", wrong.Valid)));
            }
        }
    }
}
