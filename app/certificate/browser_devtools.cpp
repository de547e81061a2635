// One headless Chromium printing many pages: its DevTools protocol over the pipe of
// --remote-debugging-pipe (JSON messages, each ended by a zero byte), a few tabs each loading a
// page file and printing it (Page.printToPDF), the PDFs coming back in base64.
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "base/error.h"
#include "base/platform.h"
#include "certificate/browser.h"

namespace kvtapp {
namespace {

using json = nlohmann::json;

constexpr int kSliceMs = 200;                 // how often a wait looks for a stop
constexpr int kQuietLimitMs = 120000;         // a browser that sends nothing this long is stopped
constexpr size_t kMessageLimit = 256u << 20;  // a PDF's base64 fits well below this

std::string fromBase64(const std::string& text) {
    std::string bytes(text.size() / 4 * 3 + 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (n < 0) return "";
    bytes.resize(size_t(n));
    // The decoder counts the padding's bytes as data: a PDF ends in a line break, never in zero
    // bytes, so trailing zeros are that padding.
    const size_t padding = text.size() - text.find_last_not_of('=') - 1;
    bytes.resize(bytes.size() - std::min(bytes.size(), padding));
    return bytes;
}

class DevToolsBrowser : public PdfPrinter::Browser {
  public:
    DevToolsBrowser(std::unique_ptr<platform::PipedProgram> program,
                    std::function<void()> checkpoint, std::string log)
        : program_(std::move(program)), checkpoint_(std::move(checkpoint)), log_(std::move(log)) {
        const size_t tabs = std::clamp<size_t>(std::thread::hardware_concurrency(), 2, 4);
        for (size_t i = 0; i < tabs; ++i) {
            const json target = call("Target.createTarget", {{"url", "about:blank"}});
            const json attached =
                call("Target.attachToTarget",
                     {{"targetId", target.value("targetId", "")}, {"flatten", true}});
            const std::string session = attached.value("sessionId", "");
            call("Page.enable", json::object(), session);
            sessions_.push_back(session);
        }
    }

    ~DevToolsBrowser() override {
        // Asked to close, it removes its own files; what is left is stopped with the program.
        send("Browser.close", json::object(), "");
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        try {
            while (std::chrono::steady_clock::now() < until)
                program_->receive(kSliceMs);
        } catch (const Error&) {
        }
    }

    std::vector<std::string> print(const std::vector<std::string>& files) override {
        std::vector<std::string> pdfs(files.size());
        std::deque<size_t> waiting;
        for (size_t i = 0; i < files.size(); ++i)
            waiting.push_back(i);
        std::map<std::string, size_t> loading;  // session: page
        std::map<int64_t, size_t> printing;     // call: page
        std::vector<std::string> idle = sessions_;
        size_t done = 0;
        while (done < files.size()) {
            while (!idle.empty() && !waiting.empty()) {
                loading[idle.back()] = waiting.front();
                send("Page.navigate", {{"url", "file://" + files[waiting.front()]}}, idle.back());
                idle.pop_back();
                waiting.pop_front();
            }
            const json m = next();
            const std::string session = m.value("sessionId", "");
            if (m.value("method", "") == "Page.loadEventFired" && loading.count(session)) {
                printing[send("Page.printToPDF",
                              {{"preferCSSPageSize", true}, {"printBackground", true}}, session)] =
                    loading[session];
                loading.erase(session);
            } else if (m.contains("id") && printing.count(m["id"].get<int64_t>())) {
                const size_t page = printing[m["id"].get<int64_t>()];
                printing.erase(m["id"].get<int64_t>());
                pdfs[page] = fromBase64(answer(m, "Page.printToPDF").value("data", ""));
                // Nothing decoded, or not a PDF: either way no PDF.
                if (pdfs[page].compare(0, 5, "%PDF-") != 0)
                    fail("Chromium did not print a PDF of " + files[page]);
                idle.push_back(session);
                ++done;
            } else if (m.contains("id")) {
                const json result = answer(m, "Page.navigate");
                if (result.contains("errorText")) {
                    fail("Chromium could not load the page to print: " +
                         result["errorText"].dump());
                }
            } else if (m.value("method", "") == "Inspector.targetCrashed") {
                fail("Chromium's page crashed while printing");
            }
        }
        return pdfs;
    }

  private:
    int64_t send(const std::string& method, const json& params, const std::string& session) {
        json message = {{"id", ++lastId_}, {"method", method}, {"params", params}};
        if (!session.empty()) message["sessionId"] = session;
        if (!program_->send(message.dump() + std::string(1, '\0')) && method != "Browser.close")
            fail("Chromium stopped reading its commands");
        return lastId_;
    }

    // The next message; the checkpoint is called while waiting.
    json next() {
        int quiet = 0;
        for (size_t end; (end = buffer_.find('\0')) == std::string::npos;) {
            if (checkpoint_) checkpoint_();
            std::string more;
            try {
                more = program_->receive(kSliceMs);
            } catch (const Error& e) {
                fail(std::string("Chromium stopped before it printed every page: ") + e.what());
            }
            quiet = more.empty() ? quiet + kSliceMs : 0;
            if (quiet >= kQuietLimitMs) {
                fail("Chromium did not print the PDF within " +
                     std::to_string(kQuietLimitMs / 1000) +
                     " s: it was stopped, and no PDF was written");
            }
            buffer_ += more;
            if (buffer_.size() > kMessageLimit) fail("Chromium sent a message larger than 256 MiB");
        }
        const size_t end = buffer_.find('\0');
        json m = json::parse(buffer_.begin(), buffer_.begin() + long(end), nullptr, false);
        buffer_.erase(0, end + 1);
        if (!m.is_object()) fail("Chromium sent a message that is not JSON");
        return m;
    }

    // Throws the failure, with the last lines Chromium wrote.
    [[noreturn]] void fail(const std::string& message) const {
        std::ifstream in(log_, std::ios::binary);
        std::string said{std::istreambuf_iterator<char>(in), {}};
        if (said.size() > 600) said = "..." + said.substr(said.size() - 600);
        throw calibratorError(message + (said.empty() ? "" : "; Chromium said: " + said));
    }

    // The result of an answer, or its error as a failure.
    json answer(const json& m, const std::string& method) {
        if (m.contains("error")) {
            fail("Chromium refused " + method + ": " + m["error"].dump());
        }
        return m.contains("result") && m["result"].is_object() ? m["result"] : json::object();
    }

    // A call and its result, other messages set aside.
    json call(const std::string& method, const json& params, const std::string& session = "") {
        const int64_t id = send(method, params, session);
        for (;;) {
            const json m = next();
            if (m.contains("id") && m["id"] == id) return answer(m, method);
        }
    }

    std::unique_ptr<platform::PipedProgram> program_;
    std::function<void()> checkpoint_;
    std::string log_;
    std::string buffer_;
    int64_t lastId_ = 0;
    std::vector<std::string> sessions_;
};

}  // namespace

std::unique_ptr<PdfPrinter::Browser> devToolsBrowser(const std::string& program,
                                                     const std::string& folder,
                                                     const std::function<void()>& checkpoint) {
    const std::string log = folder + "/chromium.log";
    // The pages run no script and fetch nothing (their own policy says so), which is what
    // makes Chromium's sandbox dispensable; it cannot run as root or in many containers.
    auto piped = platform::startPipedProgram(
        {program, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
         "--disable-extensions", "--remote-debugging-pipe",
         "--user-data-dir=" + folder + "/profile", "about:blank"},
        log);
    if (!piped) return nullptr;
    return std::make_unique<DevToolsBrowser>(std::move(piped), checkpoint, log);
}

}  // namespace kvtapp
