#include "symbols.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

#include "cli.h"
#include "instructions.h"
#include "machine.h"

namespace {

bool is_name(const std::string& text) {
    if (text.empty() || std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.') return false;
    }
    return true;
}

}  // namespace

// A symbols file: one label a line, its address (0x hexadecimal or decimal),
// a blank and its name; blank lines and lines starting with ';' are skipped.
bool parse_symbols(const std::string& text, Symbols& symbols, std::string& error) {
    symbols = Symbols();
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string address, name, extra;
        words >> address >> name >> extra;
        if (address.empty() || address[0] == ';') continue;
        uint64_t value = 0;
        if (!parse_unsigned(address, 0xFFF, value) || !is_name(name) || !extra.empty()) {
            error = "line " + std::to_string(number) + ": write ADDRESS NAME (ADDRESS up to 0xFFF), not '" + line + "'";
            return false;
        }
        if (!symbols.addresses.emplace(name, static_cast<int>(value)).second) {
            error = "line " + std::to_string(number) + ": '" + name + "' is named twice";
            return false;
        }
        symbols.names.emplace(static_cast<int>(value), name);  // the first name of an address is shown
    }
    return true;
}

std::string symbols_text(const std::map<std::string, int>& labels) {
    std::vector<std::pair<int, std::string>> sorted;
    // Past 0xFFF nothing is loaded, and no pc or I can point there.
    for (const auto& [name, address] : labels) {
        if (address < MEMORY_SIZE) sorted.emplace_back(address, name);
    }
    std::sort(sorted.begin(), sorted.end());
    std::string text;
    for (const auto& [address, name] : sorted) text += address_text(address) + " " + name + "\n";
    return text;
}

