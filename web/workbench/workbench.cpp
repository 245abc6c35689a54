// The workbench's module: the ROM authors' tools in the page, on the very
// libraries vostrelina-asm, vostrelina-dis and vostrelina-dbg are built on, so
// that the page answers as they do. No SDL: the page draws the display itself.
//
//   assemble(source)               JSON: {"bytes":[...],"errors":[{"line":N,
//                                  "message":"..."}],"warnings":[...]}
//   disassemble(bytes, name)       the source, as vostrelina-dis writes it
//   open(bytes, seed, fps, keys)   a debugging session, as vostrelina-dbg ROM
//                                  --seed S --fps F --keys SCRIPT starts one
//                                  (an empty string for a default); empty, or
//                                  what vostrelina-dbg would say is wrong
//   debug(line)                    what vostrelina-dbg's batch mode prints for
//                                  the line, its lines joined by \n
//
// Bytes go in as a Uint8Array (embind takes it as a std::string's bytes).
#include <emscripten/bind.h>

#include <string>
#include <vector>

#include "assembler.h"
#include "cli.h"
#include "debugger.h"
#include "disassembler.h"
#include "runner.h"

namespace {

// The one session of the page; open starts it anew.
Session session;
bool opened = false;

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') out += std::string("\\") + c;
        else if (byte < 0x20) out += "\\u00" + hex(byte, 2);
        else out += c;
    }
    return out + "\"";
}

std::string json_messages(const std::vector<AsmError>& messages) {
    std::string out = "[";
    for (const AsmError& m : messages) {
        if (out.size() > 1) out += ",";
        out += "{\"line\":" + std::to_string(m.line) + ",\"message\":" + json_string(m.message) + "}";
    }
    return out + "]";
}

std::string assemble_source(const std::string& source) {
    const AsmResult result = assemble(source);
    std::string bytes = "[";
    for (const uint8_t byte : result.image) bytes += (bytes.size() > 1 ? "," : "") + std::to_string(byte);
    return "{\"bytes\":" + bytes + "],\"errors\":" + json_messages(result.errors) +
           ",\"warnings\":" + json_messages(result.warnings) + "}";
}

std::string disassemble_bytes(const std::string& bytes, const std::string& name) {
    return disassemble(std::vector<uint8_t>(bytes.begin(), bytes.end()), name).source;
}

// As vostrelina-dbg reads its options and its ROM: the same messages, and a
// ROM longer than memory cut to what fits.
std::string open_session_on(const std::string& bytes, const std::string& seed, const std::string& fps,
                            const std::string& keys) {
    DebugSettings settings;
    std::string problem;
    if (!seed.empty()) problem = read_seed(seed, settings.seed);
    if (problem.empty() && !fps.empty()) problem = read_fps(fps, settings.run.fps);
    if (problem.empty() && !parse_key_script(keys, settings.run.keys, problem)) problem = "--keys: " + problem;
    if (!problem.empty()) return problem;
    const std::vector<uint8_t> image(bytes.begin(),
                                     bytes.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(bytes.size(), MAX_ROM_SIZE)));
    settings.symbols = disassembly_symbols(image);
    open_session(session, image, settings);
    opened = true;
    return "";
}

std::string debug_line(const std::string& line) {
    if (!opened) return "no session: open a ROM first";
    std::string text = batch_line(session, line).text;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

}  // namespace

EMSCRIPTEN_BINDINGS(vostrelina_workbench) {
    emscripten::function("assemble", &assemble_source);
    emscripten::function("disassemble", &disassemble_bytes);
    emscripten::function("open", &open_session_on);
    emscripten::function("debug", &debug_line);
}
