// Writes the seed corpora into DIR/<target>/: frames and replies as the calibrator sends them,
// images the library builds and the emulator fills with field results, and whole sessions as
// the emulated instrument answers them. Run once; the seeds are kept with the sources.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "api/library.h"
#include "fuzz_support.h"
#include "instrument.h"
#include "kvtlnk/kvtlnk.h"
#include "procedure_run.h"

using namespace kvtlnk;
using fuzz::Bytes;
using Pieces = std::vector<Bytes>;

namespace {

std::string gDir;

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// The pieces behind a separator that none of them holds.
void write(const std::string& target, const std::string& name, const Pieces& pieces) {
    uint8_t sep = 0xFE;
    for (bool clash = true; clash; --sep) {
        clash = false;
        for (const Bytes& p : pieces)
            clash = clash || std::find(p.begin(), p.end(), sep) != p.end();
        if (!clash) break;
    }
    Bytes all = {sep};
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) all.push_back(sep);
        all.insert(all.end(), pieces[i].begin(), pieces[i].end());
    }
    std::filesystem::create_directories(gDir + "/" + target);
    std::ofstream(gDir + "/" + target + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(all.data()), static_cast<std::streamsize>(all.size()));
}

void saveSetup(int code, const char* in, float inLow, float inHigh, const char* out,
               float outValue) {
    STAinit();
    SetupState& s = library().setup;
    s.setupCode = code;
    if (code == 2) s.log.requested = 5, s.log.interval = 2;
    if (code == 3) s.module.high = 100, s.module.present = 1;
    STAsetInput(in, std::string(in) == "tc" ? "tc_k" : "");
    STAsetInputScale(inLow, inHigh);
    STAsetOutput(out, "", outValue, 0);
    STAsetOutputScale(0, 1);
    int32_t index = -1;
    STAsave(&index);
    MEMtemplate(static_cast<uint32_t>(code), code & 1, "T", "x", static_cast<uint32_t>(index));
}

Pieces imagePieces(const k27emu::Instrument& instrument) {
    Pieces pieces;
    for (kvttools::Memory m : {kvttools::Memory::Procedure, kvttools::Memory::Results}) {
        for (const kvttools::MemoryRecord& r : instrument.memory(m).records()) {
            Bytes p = {
                static_cast<uint8_t>(r.kind | 0x40 | (m == kvttools::Memory::Results ? 0x80 : 0)),
                static_cast<uint8_t>(r.version)};
            const kvttools::DateStamp& d = r.stamp;
            p.insert(p.end(), {d.second, d.minute, d.hour, d.weekday, d.day, d.month, d.year});
            p.insert(p.end(), r.data.begin(), r.data.end());
            pieces.push_back(p);
        }
    }
    return pieces;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    gDir = argv[1];

    const Bytes eot = {0x04}, noise = {fuzz::kRawPiece, 'A', 0x10, 0x10, 'B', 0x10};
    write("frame", "master",
          {{0x05, 0, 2, 3, 3 | 8 << 2, 1},
           {0x07},
           {0x01},
           {0x20, '0'},
           {0x40, 'a', ',', 0x10},
           {},
           noise,
           {0x60, 0x04},
           {0x07}});
    write("frame", "slave",
          {{0x85, 3, 3 | 60 << 2, 2, 3}, {0x03}, {0x00, 'i', 'd'}, {}, {0x21}, {0x0B}});
    const char* lines[] = {"ORVAN K27,V1.2.0,SN270001", " 12 , |34|", "0,14,0,3,1998,6,15,1",
                           "p,procedure,28,1048548,1048576,1", "-99999999999,+7,,x"};
    for (size_t i = 0; i < std::size(lines); ++i)
        write("reply", "line" + std::to_string(i), {text(lines[i])});

    // An image of every kind the library makes, performed by the emulated instrument.
    MEMclear();
    MEMstartTask("task");
    MEMpromptDefn("p", "Check the loop");
    MEMprompt("p");
    saveSetup(5, "current", 0.004f, 0.02f, "dcv", 1);
    saveSetup(1, "tc", 0, 400, "dcv", 0.5f);
    saveSetup(3, "pressure", 0, 100, "current", 0.012f);
    saveSetup(2, "dcv", 0, 10, "dcv", 1);
    MEMendTask();
    k27emu::Instrument instrument;
    std::vector<kvttools::MemoryRecord> procedure;
    for (int32_t i = 0; i < library().image.procedure().count(); ++i) {
        const Record& r = *library().image.procedure().selectRecord(i);
        const DateStamp& s = r.stamp();
        procedure.push_back({r.kind(),
                             r.version(),
                             {s.second, s.minute, s.hour, s.weekday, s.day, s.month, s.year},
                             Bytes(r.data(), r.data() + r.length())});
    }
    using kvttools::Memory;
    instrument.memory(Memory::Procedure).replace(procedure);
    k27emu::runProcedures(instrument.memory(Memory::Procedure), instrument.memory(Memory::Results),
                          1, kvttools::DateStamp{0, 30, 12, 1, 15, 3, 7});
    const Pieces image = imagePieces(instrument);
    write("records", "field-run", image);
    write("dump", "field-run", Pieces(image.begin() + 9, image.begin() + 25));

    // The same instrument through a whole session, every reply recorded.
    Pieces replies;
    fuzz::ScriptedCalibrator calibrator([&](const Bytes& command) {
        const k27emu::Reply reply = instrument.answer(command.data(), command.size());
        replies.insert(replies.end(), reply.packets.begin(), reply.packets.end());
        return reply.packets;
    });
    {
        fuzz::CalibratorOnPort port(calibrator);
        fuzz::runSession(port.library());
    }
    write("session", "field-run", replies);
    write("session", "refused", {text("0"), text("ORVAN K28,V1.2.0,SN1"), eot, text("1")});
    return 0;
}
