// A small test runner: every public method marked [Test] of every class of this assembly runs
// once; a test passes when it returns. The last line reads "N passed, N failed".
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Linq;
using System.Reflection;

namespace Kvtlnk.Tests
{
    [AttributeUsage(AttributeTargets.Method)]
    public sealed class TestAttribute : Attribute { }

    public static class Check
    {
        public static void Equal<T>(T expected, T actual, string what = "")
        {
            if (!EqualityComparer<T>.Default.Equals(expected, actual))
            {
                throw new Exception(string.Format("{0}: expected {1}, got {2}", what, expected, actual));
            }
        }

        public static void True(bool condition, string what)
        {
            if (!condition) throw new Exception(what);
        }

        public static void Near(double expected, double actual, double tolerance, string what)
        {
            True(Math.Abs(expected - actual) <= tolerance,
                 string.Format("{0}: expected {1} within {2}, got {3}", what, expected, tolerance, actual));
        }

        public static T Throws<T>(Action action, string what) where T : Exception
        {
            try
            {
                action();
            }
            catch (T expected)
            {
                return expected;
            }
            throw new Exception(what + ": no " + typeof(T).Name);
        }
    }

    // kvtsim on a pty of its own, stopped by its process when the test ends.
    public sealed class Emulator : IDisposable
    {
        private readonly Process process;

        public Emulator(params string[] arguments)
        {
            var start = new ProcessStartInfo(Environment.GetEnvironmentVariable("KVTSIM"),
                                             string.Join(" ", arguments.Select(a => "\"" + a + "\"")))
            {
                UseShellExecute = false,
                RedirectStandardOutput = true,
            };
            process = Process.Start(start);
            Port = process.StandardOutput.ReadLine();
            Check.True(!string.IsNullOrEmpty(Port), "kvtsim printed no port");
        }

        public string Port { get; }

        public void Dispose()
        {
            if (!process.HasExited) process.Kill();
            process.WaitForExit();
            process.Dispose();
        }
    }

    public static class Runner
    {
        public static int Main(string[] args)
        {
            if (args.Length == 2 && args[0] == "--prepare") return Scenarios.Prepare(args[1]);
            int passed = 0, failed = 0;
            var tests = Assembly.GetExecutingAssembly().GetTypes()
                .SelectMany(t => t.GetMethods().Where(m => m.GetCustomAttribute<TestAttribute>() != null))
                .OrderBy(m => m.DeclaringType.Name + "." + m.Name);
            foreach (MethodInfo test in tests)
            {
                string name = test.DeclaringType.Name + "." + test.Name;
                try
                {
                    test.Invoke(Activator.CreateInstance(test.DeclaringType), null);
                    ++passed;
                    Console.WriteLine("ok    " + name);
                }
                catch (TargetInvocationException error)
                {
                    ++failed;
                    Console.WriteLine("FAIL  " + name + ": " + error.InnerException);
                }
            }
            Console.WriteLine("{0} passed, {1} failed", passed, failed);
            return failed == 0 && passed > 0 ? 0 : 1;
        }
    }
}
