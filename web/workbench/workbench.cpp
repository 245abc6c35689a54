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
// And for the page's own run of the session:
//   lineAddresses(source)          JSON: for each source line, the address of
//                                  the next byte there ([] with errors)
//   useSymbols(text)               names addresses by a symbols file's labels
//                                  (assemble's "symbols"), as --symbols does
//   advance(steps)                 steps as the step command does; why it
//                                  stopped early ("breakpoint", "watch ..."),
//                                  or empty
//   press(key, down)               a key going down or up in the next step's
//                                  poll, kept in the run's history
//   keyScript()                    that history as a --keys script
//   screen()                       the display, as the screen command prints it
//   state()                        JSON: the registers, stack, timers, the
//                                  bytes at I and the code around PC
//   mnemonics(), keypadLayout()    the assembler's mnemonics as JSON; the
//                                  keyboard's keys over the keypad
//
// Bytes go in as a Uint8Array (embind takes it as a std::string's bytes).
#include <emscripten/bind.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "assembler.h"
#include "cli.h"
#include "debugger.h"
#include "disassembler.h"
#include "instructions.h"
#include "keypad_layout.h"
#include "runner.h"
#include "symbols.h"

namespace {

// The one session of the page; open starts it anew.
Session session;
bool opened = false;
// A key let go in the step it went down in would be neither held nor new
// at any poll: it goes up a step later.
uint64_t downAt[16];

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

std::string json_numbers(const std::vector<int>& numbers) {
    std::string out = "[";
    for (const int n : numbers) out += (out.size() > 1 ? "," : "") + std::to_string(n);
    return out + "]";
}

std::string assemble_source(const std::string& source) {
    const AsmResult result = assemble(source);
    return "{\"bytes\":" + json_numbers({result.image.begin(), result.image.end()}) +
           ",\"errors\":" + json_messages(result.errors) +
           ",\"warnings\":" + json_messages(result.warnings) + ",\"symbols\":" +
           json_string(symbols_text(result.labels)) + "}";
}

// A label before every line names the address of the next byte there: the
// address of the line's statement, or of the next one after a line with
// none. The assembler itself then says where each line went.
constexpr const char* LINE_LABEL = "__vostrelina_line_";

std::string line_addresses(const std::string& source) {
    std::string labelled;
    int lines = 0;
    for (size_t start = 0; start <= source.size(); ++lines) {
        size_t stop = source.find('\n', start);
        if (stop == std::string::npos) stop = source.size();
        labelled += LINE_LABEL + std::to_string(lines) + ":\n" + source.substr(start, stop - start) + "\n";
        start = stop + 1;
    }
    const AsmResult result = assemble(labelled);
    if (!result.errors.empty()) return "[]";
    std::vector<int> addresses;
    for (int line = 0; line < lines; ++line)
        addresses.push_back(result.labels.at(LINE_LABEL + std::to_string(line)));
    return json_numbers(addresses);
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
    std::fill(std::begin(downAt), std::end(downAt), uint64_t(0));
    opened = true;
    return "";
}

std::string use_symbols(const std::string& text) {
    Symbols symbols;
    std::string error;
    if (!parse_symbols(text, symbols, error)) return error;
    session.settings.symbols = symbols;
    return "";
}

std::string advance(double steps) {
    if (!opened || steps < 1) return "";
    const std::string text = batch_line(session, "step " + std::to_string(uint64_t(steps))).text;
    // The step command's answer is why it stopped, if it did, then where.
    if (text.size() < 2) return "";
    const size_t lastLine = text.rfind('\n', text.size() - 2);
    return lastLine == std::string::npos ? "" : text.substr(0, lastLine);
}

void press(int key, bool down) {
    if (!opened || key < 0 || key > 15) return;
    uint64_t step = current_step(session) + 1;
    if (down) downAt[key] = step;
    else step = std::max(step, downAt[key] + 1);
    add_key_event(session, {step, key, down});
}

std::string key_script() { return key_script_text(session.settings.run.keys); }

std::string state_json() {
    std::vector<int> stack(machine.stack, machine.stack + std::clamp(machine.sp, 0, int(STACK_DEPTH)));
    std::vector<int> atI;
    for (int i = 0; i < 16; ++i) atI.push_back(memory_at(machine, machine.I + i));
    // The code around PC: a few instructions before it, more after.
    std::string listing;
    for (int address = machine.pc - 6; address <= machine.pc + 14; address += 2) {
        if (address < 0 || address > 0xFFE) continue;
        const std::string label = symbol_at(session, address);
        listing += std::string(listing.empty() ? "" : ",") + "{\"address\":" + std::to_string(address) +
                   ",\"label\":" + json_string(label) + ",\"text\":" + json_string(listing_line(session, address)) + "}";
    }
    return "{\"step\":" + std::to_string(current_step(session)) + ",\"pc\":" + std::to_string(machine.pc) +
           ",\"i\":" + std::to_string(machine.I) + ",\"sp\":" + std::to_string(machine.sp) +
           ",\"dt\":" + std::to_string(machine.delayTimer) + ",\"st\":" + std::to_string(machine.soundTimer) +
           ",\"v\":" + json_numbers({std::begin(machine.V), std::end(machine.V)}) +
           ",\"stack\":" + json_numbers(stack) + ",\"atI\":" + json_numbers(atI) +
           ",\"listing\":[" + listing + "]}";
}

std::string mnemonics() {
    std::set<std::string> names;
    for (const Form& form : FORMS) names.insert(form.mnemonic);
    std::string out = "[";
    for (const std::string& name : names) out += (out.size() > 1 ? "," : "") + json_string(name);
    return out + "]";
}

std::string keypad_layout() { return KEYPAD_LAYOUT; }

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
    emscripten::function("lineAddresses", &line_addresses);
    emscripten::function("useSymbols", &use_symbols);
    emscripten::function("advance", &advance);
    emscripten::function("press", &press);
    emscripten::function("keyScript", &key_script);
    emscripten::function("screen", &screen_text);
    emscripten::function("state", &state_json);
    emscripten::function("mnemonics", &mnemonics);
    emscripten::function("keypadLayout", &keypad_layout);
}
