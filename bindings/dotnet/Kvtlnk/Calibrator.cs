using System;
using Kvtlnk.Interop;

namespace Kvtlnk
{
    /// <summary>Who the calibrator is and what its memories hold (KVTgetK2x).</summary>
    public sealed class Identity
    {
        internal Identity(string model, string firmware, string serial, uint memoryBytes,
                          uint procedureItems, uint resultItems)
        {
            Model = model;
            Firmware = firmware;
            Serial = serial;
            MemoryBytes = memoryBytes;
            ProcedureItems = procedureItems;
            ResultItems = resultItems;
        }

        /// <summary>The model text, e.g. "ORVAN K27".</summary>
        public string Model { get; }
        /// <summary>The firmware version, e.g. "V1.2.0".</summary>
        public string Firmware { get; }
        /// <summary>The calibrator's serial number.</summary>
        public string Serial { get; }
        /// <summary>The capacity of each of its two memories, in bytes.</summary>
        public uint MemoryBytes { get; }
        /// <summary>Items in its procedure memory.</summary>
        public uint ProcedureItems { get; }
        /// <summary>Items in its results memory.</summary>
        public uint ResultItems { get; }
    }

    /// <summary>The calibrator's memory use over both memories together (KVTmemstats).</summary>
    public struct MemoryStats
    {
        internal MemoryStats(uint used, uint free)
        {
            UsedBytes = used;
            FreeBytes = free;
        }

        /// <summary>Bytes used.</summary>
        public uint UsedBytes { get; }
        /// <summary>Bytes free.</summary>
        public uint FreeBytes { get; }
    }

    /// <summary>How far a transfer is: items done of the total.</summary>
    public struct TransferProgress
    {
        internal TransferProgress(uint done, uint total)
        {
            Done = done;
            Total = total;
        }

        /// <summary>Items transferred so far.</summary>
        public uint Done { get; }
        /// <summary>Items of the whole transfer.</summary>
        public uint Total { get; }
    }

    /// <summary>
    /// The session with a calibrator on a serial port: opened by the constructor, closed by
    /// <see cref="Close"/> or <see cref="Dispose"/> (a <c>using</c> block); after that every
    /// method throws
    /// <see cref="KvtlnkException"/> with <see cref="ResultCode.NoSession"/>.
    /// </summary>
    /// <remarks>
    /// The library holds one session per process (and one memory image and one setup): while a
    /// Calibrator is open, constructing another throws <see cref="SessionInUseException"/>. Call
    /// the library from one thread at a time. Every call blocks until the calibrator has
    /// answered; a silent calibrator fails it after the time-out times the attempts per packet.
    /// </remarks>
    public sealed class Calibrator : IDisposable
    {
        private static Calibrator open;

        /// <summary>Opens the session: the port, the packet link and the identification.</summary>
        /// <param name="port">the serial port: "COM3" on Windows, "/dev/ttyUSB0" or a pty on
        /// Linux.</param>
        /// <param name="timeout">how long the port waits for each byte of a reply, 1 ms to
        /// 49.7 days, in whole milliseconds; 0.5 s when null.</param>
        /// <param name="attempts">how many times each packet exchange is tried, 1 to 255.</param>
        /// <exception cref="SessionInUseException">a Calibrator of this process is open.</exception>
        /// <exception cref="KvtlnkException">the port cannot be opened (2017), the calibrator does
        /// not answer (2019) or answers badly (2018, 2020-2022), or is not a K27 (2005).</exception>
        /// <exception cref="ArgumentException">a port, time-out or attempt count the library
        /// cannot take.</exception>
        public Calibrator(string port, TimeSpan? timeout = null, int attempts = 5)
        {
            if (open != null)
            {
                throw new SessionInUseException(
                    "a calibrator session is already open on " + open.Port +
                    ": the library holds one session per process; close it first");
            }
            if (string.IsNullOrEmpty(port)) throw new ArgumentException("names no port", nameof(port));
            double ms = Math.Round((timeout ?? TimeSpan.FromMilliseconds(500)).TotalMilliseconds,
                                   MidpointRounding.AwayFromZero);
            if (ms < 1 || ms > uint.MaxValue)
            {
                throw new ArgumentOutOfRangeException(
                    nameof(timeout), "give 1 ms to 4294967295 ms (0.5 s is usual); the library takes 0 " +
                    "as no time-out at all, which holds a call for as long as the calibrator is off");
            }
            if (attempts < 1 || attempts > 255)
            {
                throw new ArgumentOutOfRangeException(
                    nameof(attempts), "each exchange makes 1 to 255 attempts (5 is usual)");
            }
            Port = port;
            Library.Check("KVTopen", NativeMethods.KVTopen(9600, Charset.Encode(port), (uint)ms, attempts));
            open = this;
        }

        /// <summary>The serial port of the session.</summary>
        public string Port { get; }

        /// <summary>True until the session is closed.</summary>
        public bool IsOpen => open == this;

        /// <summary>Asks the calibrator who it is and what its memories hold.</summary>
        /// <returns>its model, firmware, serial number and memory contents.</returns>
        public Identity Identify()
        {
            EnsureOpen("Identify");
            var model = new byte[NativeMethods.KVTLNK_MODEL_SIZE];
            var serial = new byte[NativeMethods.KVTLNK_IDENT3_SIZE];
            var firmware = new byte[NativeMethods.KVTLNK_FIRMWARE_SIZE];
            Library.Check("KVTgetK2x", NativeMethods.KVTgetK2x(model, serial, firmware, out uint bytes,
                                                                out uint procedure, out uint results));
            return new Identity(Charset.Decode(model), Charset.Decode(firmware), Charset.Decode(serial),
                                bytes, procedure, results);
        }

        /// <summary>The calibrator's bytes used and free over both memories.</summary>
        /// <returns>the memory statistics.</returns>
        public MemoryStats GetMemoryStats()
        {
            EnsureOpen("GetMemoryStats");
            Library.Check("KVTmemstats", NativeMethods.KVTmemstats(out uint used, out uint free));
            return new MemoryStats(used, free);
        }

        /// <summary>
        /// Sends the procedure memory of the library's image to the calibrator, replacing its
        /// procedure memory; the end of the download empties its results memory. While the
        /// calibrator holds results, nothing is sent and <see cref="ResultsWouldBeLostException"/>
        /// is thrown, unless <paramref name="discardResults"/> is true: upload and keep the results
        /// first.
        /// </summary>
        /// <param name="image">the image to send (the process's one image).</param>
        /// <param name="progress">told the items done after each item; may be null.</param>
        /// <param name="discardResults">go on although the calibrator's results are lost.</param>
        /// <returns>the number of items sent.</returns>
        public uint Download(Image image, IProgress<TransferProgress> progress = null,
                             bool discardResults = false)
        {
            if (image == null) throw new ArgumentNullException(nameof(image));
            EnsureOpen("Download");
            GuardResults("Download", discardResults, "the download erases");
            return Transfer("KVTdnlStart", NativeMethods.KVTdnlStart, "KVTdnlStep",
                            NativeMethods.KVTdnlStep, progress);
        }

        /// <summary>Copies both of the calibrator's memories into the library's image, replacing
        /// what it held; read them with <see cref="Image"/>.</summary>
        /// <param name="progress">told the items done after each item; may be null.</param>
        /// <returns>the number of items fetched.</returns>
        public uint Upload(IProgress<TransferProgress> progress = null)
        {
            EnsureOpen("Upload");
            return Transfer("KVTuplStart", NativeMethods.KVTuplStart, "KVTuplStep",
                            NativeMethods.KVTuplStep, progress);
        }

        /// <summary>Empties the calibrator's procedure memory; the library's image is not
        /// touched. Its results refer to that procedure: while it holds results, throws
        /// <see cref="ResultsWouldBeLostException"/> unless <paramref name="discardResults"/> is
        /// true.</summary>
        /// <param name="discardResults">go on although the calibrator's results are lost.</param>
        public void Clear(bool discardResults = false)
        {
            EnsureOpen("Clear");
            GuardResults("Clear", discardResults,
                         "refer to the strategies and tasks that clearing takes away");
            Library.Check("KVTclear", NativeMethods.KVTclear());
        }

        /// <summary>Closes the session and the port. The port is closed even when the farewell
        /// to the calibrator (the empty status text that clears its display line) fails, which
        /// throws all the same. Closing twice does nothing.</summary>
        /// <exception cref="KvtlnkException">the farewell did not get through
        /// (2018-2022).</exception>
        public void Close()
        {
            if (open != this) return;
            open = null;
            Library.Check("KVTclose", NativeMethods.KVTclose());
        }

        /// <summary>Closes the session and the port, as <see cref="Close"/> does, without
        /// throwing when only the farewell to the calibrator failed: the port is closed all the
        /// same.</summary>
        public void Dispose()
        {
            try
            {
                Close();
            }
            catch (KvtlnkException)
            {
                // The port is closed; a using block's own exception is not to be hidden.
            }
        }

        private void EnsureOpen(string method)
        {
            if (open != this)
            {
                throw new KvtlnkException(ResultCode.NoSession, "Calibrator." + method,
                                          "this Calibrator on " + Port + " is closed; open a new one");
            }
        }

        private void GuardResults(string method, bool discard, string loss)
        {
            uint held = Identify().ResultItems;
            if (held == 0 || discard) return;
            throw new ResultsWouldBeLostException(
                "Calibrator." + method,
                string.Format("the calibrator on {0} holds {1} result item{2}, which {3}: upload and " +
                              "keep them first, or pass discardResults: true (nothing was sent)",
                              Port, held, held == 1 ? "" : "s", loss),
                held);
        }

        private delegate uint Step(out uint count);

        private static uint Transfer(string startCall, Step start, string stepCall, Step step,
                                     IProgress<TransferProgress> progress)
        {
            Library.Check(startCall, start(out uint total));
            for (uint remaining = total; remaining > 0;)
            {
                Library.Check(stepCall, step(out remaining));
                progress?.Report(new TransferProgress(total - remaining, total));
            }
            return total;
        }
    }
}
