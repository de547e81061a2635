using System;
using System.Runtime.InteropServices;
using Kvtlnk.Interop;

namespace Kvtlnk
{
    /// <summary>
    /// The C library itself: its version and the texts of its result codes. The library holds
    /// one session, one memory image and one setup per process and takes no lock: call it from
    /// one thread at a time.
    /// </summary>
    public static class Library
    {
        /// <summary>The C library's version text, e.g. "1.1".</summary>
        public static string Version
        {
            get
            {
                var text = new byte[NativeMethods.KVTLNK_VERSION_SIZE];
                NativeMethods.KVTversion(text);
                return Charset.Decode(text);
            }
        }

        /// <summary>One line of text for a result code: what happened and what to do.</summary>
        /// <param name="code">a result code of any call.</param>
        /// <returns>the library's text (the description's where the library lacks the
        /// extension, as the 32-bit drop-in DLL does).</returns>
        public static string Message(ResultCode code)
        {
            if (NativeMethods.Abi == Abi.Windows32) return NativeMethods.DescribedMessage((uint)code);
            return Marshal.PtrToStringAnsi(NativeMethods.KVXmessage((uint)code));
        }

        /// <summary>Accepts a calibrator by model and firmware version as opening a session
        /// does, for building an image without a session.</summary>
        /// <param name="model">the model text, e.g. "ORVAN K27".</param>
        /// <param name="firmware">the firmware version text, e.g. "V1.2.0".</param>
        /// <exception cref="KvtlnkException">2005 for a model that is not a K27; until another
        /// is accepted, no setup can be saved.</exception>
        public static void SetVersion(string model, string firmware)
        {
            Check("KVTsetVersion",
                  NativeMethods.KVTsetVersion(Charset.Encode(model), Charset.Encode(firmware)));
        }

        // Throws for an error; returns the code of success or a warning.
        internal static ResultCode Check(string call, uint code)
        {
            if (code >= 2000) throw new KvtlnkException((ResultCode)code, call, Message((ResultCode)code));
            return (ResultCode)code;
        }
    }
}
