// The live side of the bench: events that coalesce, workers supervised through their crashes,
// and the worker's answers before it ever opens a port.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "bench.h"
#include "events.h"
#include "worker.h"

namespace {

using namespace kvtweb;
using json = nlohmann::ordered_json;
using std::chrono::milliseconds;

TEST(EventHub, ListenersGetTheLatestOfEachTopic) {
    EventHub hub;
    hub.publish("a", "1");
    hub.publish("b", "1");
    hub.publish("a", "2");
    uint64_t seen = 0;
    EXPECT_EQ(hub.wait(seen, milliseconds(0)), (EventHub::Changes{{"a", "2"}, {"b", "1"}}));
    EXPECT_TRUE(hub.wait(seen, milliseconds(0)).empty());
    hub.publish("b", "2");
    EXPECT_EQ(hub.wait(seen, milliseconds(0)), (EventHub::Changes{{"b", "2"}}));
}

TEST(EventHub, ClosingWakesListeners) {
    EventHub hub;
    uint64_t seen = 0;
    EventHub::Changes heard = {{"x", "x"}};
    std::thread listener([&] { heard = hub.wait(seen, std::chrono::hours(1)); });
    hub.close();
    listener.join();
    EXPECT_TRUE(heard.empty());
    EXPECT_TRUE(hub.closed());
}

// The state of a station once it holds what is wanted, following the hub's changes.
json stateWhen(EventHub& hub, Bench& bench, const std::string& port,
               const std::function<bool(const json&)>& wanted) {
    uint64_t seen = 0;
    for (int changes = 0; changes < 1000; ++changes) {
        const json state = bench.state(port);
        if (wanted(state)) return state;
        hub.wait(seen, std::chrono::seconds(30));
    }
    return bench.state(port);
}

// A worker that the shell plays: it answers the first operation as the script says.
WorkerLaunch shellWorker(const std::string& script) {
    return {"/bin/sh", {"-c", "read op; " + script, "worker"}, {}};
}

TEST(Bench, AWorkerThatDiesIsSaidAndReplaced) {
    EventHub hub;
    Bench bench(shellWorker(R"(echo '{"event":"phase","text":"working"}'; kill -9 $$)"), hub);
    bench.add("/dev/ttyUSB7");
    EXPECT_EQ(bench.request("/dev/ttyUSB0", {{"op", "identify"}}),
              "no calibrator port /dev/ttyUSB0 is set up");
    EXPECT_EQ(bench.request("/dev/ttyUSB7", {{"op", "upload"}}), "");
    EXPECT_NE(bench.request("/dev/ttyUSB7", {{"op", "upload"}}), "") << "busy";
    const json crashed = stateWhen(hub, bench, "/dev/ttyUSB7",
                                   [](const json& s) { return s["status"] == "crashed"; });
    EXPECT_EQ(crashed["outcome"]["kind"], "failed");
    EXPECT_NE(crashed["note"].get<std::string>().find("killed by signal 9"), std::string::npos)
        << crashed;
    // The next operation starts a new worker.
    EXPECT_EQ(bench.request("/dev/ttyUSB7", {{"op", "identify"}}), "");
    EXPECT_EQ(bench.state("/dev/ttyUSB7")["status"], "busy");
}

TEST(Bench, OutcomesAndAnUnpluggedAdapter) {
    EventHub hub;
    Bench bench(shellWorker(R"(
echo '{"event":"progress","what":"upload","item":3,"items":9,"bytes":300,"totalBytes":900}'
echo '{"event":"done","op":"upload","message":"stored","instruments":["PT-101","<b>"]}'
read op
echo '{"event":"failed","op":"identify","message":"gone","problems":[],"gone":true}'
read op)"),
                hub);
    bench.add("/dev/ttyUSB7");
    ASSERT_EQ(bench.request("/dev/ttyUSB7", {{"op", "upload"}}), "");
    const json done =
        stateWhen(hub, bench, "/dev/ttyUSB7", [](const json& s) { return s["status"] == "idle"; });
    EXPECT_EQ(done["progress"]["item"], 3);
    EXPECT_EQ(done["outcome"]["instruments"][1],
              (json{{"shown", "<b>"}, {"href", "/instrument?tag=%3Cb%3E"}}));
    ASSERT_EQ(bench.request("/dev/ttyUSB7", {{"op", "identify"}}), "");
    const json gone = stateWhen(hub, bench, "/dev/ttyUSB7",
                                [](const json& s) { return s["status"] == "unplugged"; });
    EXPECT_NE(gone["note"].get<std::string>().find("unplugged"), std::string::npos);
}

// What the worker answers from its input alone: the port is opened only for work that passed
// its checks.
TEST(Worker, ChecksComeBeforeThePort) {
    WorkerOptions options;
    options.port = "/nonexistent/port";
    std::istringstream in(
        "not json\n"
        R"({"op":"fly"})"
        "\n"
        R"({"op":"download","file":"/nonexistent/plant.json","name":"plant.json"})"
        "\n");
    std::ostringstream out;
    EXPECT_EQ(runWorker(options, in, out), 0);
    std::istringstream lines(out.str());
    std::vector<json> events;
    for (std::string line; std::getline(lines, line);)
        events.push_back(json::parse(line));
    std::vector<json> outcomes;
    for (const json& e : events) {
        if (e.value("event", "") == "failed" || e.value("event", "") == "done")
            outcomes.push_back(e);
    }
    ASSERT_EQ(outcomes.size(), 2u) << out.str();
    EXPECT_NE(outcomes[0]["message"].get<std::string>().find("\"fly\" is not an operation"),
              std::string::npos);
    EXPECT_EQ(outcomes[1]["op"], "download");
    EXPECT_EQ(outcomes[1]["gone"], true);
    for (const json& e : events)
        EXPECT_NE(e.value("text", ""), "identifying the calibrator on /nonexistent/port") << e;
}

// A description with problems is refused with each of them, before any port is opened.
TEST(Worker, EveryProblemOfADescription) {
    const std::string file = testing::TempDir() + "/broken.json";
    std::ofstream(file) << R"({"strategies": [{"name": "", "points": [2]}],
        "tasks": [{"name": "T", "steps": [{"test": {"setup": "missing", "strategy": "x"}}]}]})";
    WorkerOptions options;
    options.port = "/nonexistent/port";
    std::istringstream in(json{{"op", "download"}, {"file", file}, {"name", "plant.json"}}.dump() +
                          "\n");
    std::ostringstream out;
    runWorker(options, in, out);
    const std::string text = out.str();
    const json failed =
        json::parse(text.substr(text.rfind('{', text.rfind("\"event\":\"failed\""))));
    EXPECT_GE(failed["problems"].size(), 3u) << text;
    EXPECT_NE(failed["message"].get<std::string>().find("plant.json: "), std::string::npos);
    EXPECT_EQ(text.find("identifying"), std::string::npos);
}

}  // namespace
