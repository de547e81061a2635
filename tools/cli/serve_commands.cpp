#include "serve_commands.h"

#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "base/files.h"
#include "failure.h"
#include "interrupt.h"
#include "passwords.h"
#include "serve.h"
#include "worker.h"

namespace kvtcli {
namespace {

using namespace kvtapp;

// The lab file edited in place: the one output that replaces the file it read, written whole.
class LabFileEdit : public OutputGuard {
  public:
    std::vector<KeptFile> keptFiles() const override { return {}; }
    OutputRules outputRules() const override { return {true, ""}; }
};

// The tool itself, which the server starts again in the worker mode.
std::string programPath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) throw inputError("cannot find the kvtlnk program itself: " + error.message());
    return self.string();
}

// One line of the terminal without showing it, or of standard input.
std::string readSecret(const std::string& prompt) {
    const bool terminal = isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        std::cerr << prompt << std::flush;
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::cerr << std::endl;
    }
    if (!read) throw inputError("no password was given (nothing was changed)");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

void serveCommand(Context& context, kvtweb::ServeOptions options) {
    options.settings = context.workspace.settings;
    options.link = context.port.link;
    options.program = programPath();
    options.stopWith = [](std::function<void()> stop) { onInterrupt(std::move(stop)); };
    kvtweb::serve(options);
}

void workerCommand(Context& context, const std::string& port) {
    kvtweb::WorkerOptions options;
    options.port = port;
    options.link = context.port.link;
    options.settings = context.workspace.settings;
    options.watch = &interruptWatch();
    kvtweb::runWorker(options, std::cin, std::cout);
}

}  // namespace

void passwdCommand(const Context& context, const std::string& name, const std::string& role) {
    if (name.empty() || name.find_first_of("\n\r\t") != std::string::npos)
        throw inputError("lab passwd: give the user's name");
    const std::string path = context.workspace.labPath();
    std::error_code unseen;
    const std::string text = std::filesystem::exists(path, unseen) ? readFile(path) : "";
    const std::string password = readSecret("Password for " + name + ": ");
    if (password.size() < 8) throw inputError("the password must have 8 characters or more");
    if (isatty(STDIN_FILENO) && readSecret("The same again: ") != password)
        throw inputError("the two passwords differ (nothing was changed)");
    std::string problem;
    const std::string edited =
        kvtlab::withUserPassword(text, name, role, kvtweb::hashPassword(password), problem);
    if (!problem.empty()) throw inputError(path + ": " + problem + " (nothing was changed)");
    std::vector<kvtlab::Problem> problems;
    kvtlab::parseLab(edited, path, problems);
    for (const kvtlab::Problem& p : problems) {
        if (p.key.rfind("users", 0) == 0)
            throw inputError(path + ": " + p.key + ": " + p.message + " (nothing was changed)");
    }
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), unseen);
    OutputFile(path, LabFileEdit()).commit(edited);
    std::cout << "Set the password of " << name << " in " << path << '\n';
}

void addServeCommands(CLI::App& app, Context& context) {
    const auto options = std::make_shared<kvtweb::ServeOptions>();
    CLI::App* serve = app.add_subcommand(
        "serve",
        "serve the bench page: the instruments, calibrations, certificates and standards of the "
        "archive, and the calibrators of this machine live, in a browser");
    serve
        ->add_option("--listen", options->listen,
                     "address and port; beyond 127.0.0.1 the lab file's [[users]] sign in")
        ->capture_default_str()
        ->type_name("HOST:PORT");
    serve->add_flag("--login", options->login, "ask for sign-in on 127.0.0.1 too");
    serve
        ->add_option("--calibrator", options->ports,
                     "a calibrator's serial port to show from the start (repeat for more)")
        ->type_name("PORT");
    serve->callback([&context, options] { serveCommand(context, *options); });

    const auto port = std::make_shared<std::string>();
    CLI::App* worker =
        app.add_subcommand("worker", "(run by serve) hold the library for one calibrator port");
    worker->group("");  // not listed: only the server starts it
    worker->add_option("--port", *port, "the calibrator's serial port")->required();
    worker->callback([&context, port] { workerCommand(context, *port); });
}

}  // namespace kvtcli
