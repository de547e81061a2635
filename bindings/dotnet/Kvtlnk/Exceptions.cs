using System;
using Kvtlnk.Interop;

namespace Kvtlnk
{
    /// <summary>
    /// A kvtlnk call failed (an error code, 2000 and above), or the binding refused to make it.
    /// Warnings (100-105) are returned by the setters, never thrown.
    /// </summary>
    public class KvtlnkException : Exception
    {
        /// <summary>A failure with its result code, the call and the text.</summary>
        /// <param name="code">the library's result code, or null when the binding refused on its
        /// own.</param>
        /// <param name="call">the C call ("KVTopen") or the method ("Calibrator.Download").</param>
        /// <param name="text">what happened and what to do.</param>
        public KvtlnkException(ResultCode? code, string call, string text)
            : base(code == null ? call + ": " + text
                                : string.Format("{0}: {1}: {2}", call, (uint)code, text))
        {
            Code = code;
            Call = call;
            Text = text;
        }

        /// <summary>The library's result code, or null when the binding refused on its
        /// own.</summary>
        public ResultCode? Code { get; }

        /// <summary>The C call or the method that failed.</summary>
        public string Call { get; }

        /// <summary>What happened and what to do: the library's text for the code, or the
        /// binding's more precise one.</summary>
        public string Text { get; }
    }

    /// <summary>
    /// A second <see cref="Calibrator"/> was opened while one is open: the library holds one
    /// session per process.
    /// </summary>
    public class SessionInUseException : KvtlnkException
    {
        internal SessionInUseException(string text) : base(null, "Calibrator", text) { }
    }

    /// <summary>
    /// The calibrator holds calibration results that a download (which empties its results
    /// memory) or a clear (which takes away the procedure they refer to) would lose. Nothing was
    /// sent: upload and keep them first, or pass <c>discardResults: true</c>.
    /// </summary>
    public class ResultsWouldBeLostException : KvtlnkException
    {
        internal ResultsWouldBeLostException(string call, string text, uint resultItems)
            : base(null, call, text)
        {
            ResultItems = resultItems;
        }

        /// <summary>The items in the calibrator's results memory.</summary>
        public uint ResultItems { get; }
    }
}
