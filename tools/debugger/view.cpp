#include "view.h"

#include <curses.h>
#include <langinfo.h>
#include <poll.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

constexpr int VIEW_COLUMNS = 80;
constexpr int VIEW_ROWS = 24;
constexpr int PANEL_COLUMN = 66;   // registers, right of the display
constexpr int LISTING_ROW = 16;    // instructions and memory, under the display
constexpr int LISTING_LINES = 5;
constexpr int MEMORY_COLUMN = 46;
constexpr int ANSWER_ROW = 21;   // two rows: a stop's reason and where it stopped
constexpr int ANSWER_LINES = 2;
constexpr int PROMPT_ROW = 23;

volatile std::sig_atomic_t interrupted = 0;

void on_interrupt(int) { interrupted = 1; }

// The terminal hung up or closed: getch will never read again.
bool terminal_gone() {
    pollfd terminal{STDIN_FILENO, POLLIN, 0};
    return poll(&terminal, 1, 0) < 0 || (terminal.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// Two display rows a character cell: the upper and lower pixel pick the
// half block. Terminals without UTF-8 get ASCII.
void draw_display(bool utf8) {
    static const char* const BLOCKS[] = {" ", "\xE2\x96\x80", "\xE2\x96\x84", "\xE2\x96\x88"};  // ▀ ▄ █
    static const char* const ASCII[] = {" ", "\"", ",", "#"};
    for (int row = 0; row < DISPLAY_HEIGHT / 2; ++row) {
        move(row, 0);
        for (int x = 0; x < DISPLAY_WIDTH; ++x) {
            const int cell = machine.display[display_index(x, 2 * row)] | machine.display[display_index(x, 2 * row + 1)] << 1;
            addstr(utf8 ? BLOCKS[cell] : ASCII[cell]);
        }
        mvaddstr(row, DISPLAY_WIDTH, utf8 ? "\xE2\x94\x82" : "|");  // │
    }
}

void draw_registers(const Session& s) {
    for (int r = 0; r < 8; ++r)
        mvprintw(r, PANEL_COLUMN, "V%X %02X  V%X %02X", r, machine.V[r], r + 8, machine.V[r + 8]);
    mvprintw(8, PANEL_COLUMN, "I  %04X", machine.I);
    mvprintw(9, PANEL_COLUMN, "PC %04X", machine.pc);
    mvprintw(10, PANEL_COLUMN, "DT %02X  ST %02X", machine.delayTimer, machine.soundTimer);
    mvprintw(11, PANEL_COLUMN, "SP %d", machine.sp);
    // The top of the stack first, as many as fit.
    for (int line = 0; line < 4; ++line) {
        const int at = machine.sp - 1 - line;
        if (at < 0 || at >= STACK_DEPTH) break;
        mvprintw(12 + line, PANEL_COLUMN, "%2d %04X", at, machine.stack[at]);
    }
    (void)s;
}

void draw_listing(const Session& s) {
    const int pc = machine.pc;
    for (int line = 0; line < LISTING_LINES; ++line) {
        const int address = pc + 2 * (line - 1);
        if (address < 0 || address > 0xFFFF) continue;
        const bool breakpoint = breakAt[address] != 0;
        std::string name = symbol_at(s, address);
        if (name.size() > 10) name.resize(10);
        // The label goes between the address and the opcode.
        std::string text = listing_line(s, address);
        char label[16];
        std::snprintf(label, sizeof label, "  %-10s", name.c_str());
        text.replace(text.find("  "), 2, label);
        text = std::string(address == pc ? ">" : " ") + (breakpoint ? "*" : " ") + " " + text;
        if (text.size() > size_t(MEMORY_COLUMN - 1)) text.resize(size_t(MEMORY_COLUMN - 1));
        if (address == pc) attron(A_REVERSE);
        mvaddstr(LISTING_ROW + line, 0, text.c_str());
        if (address == pc) attroff(A_REVERSE);
    }
}

void draw_memory(const Session& s) {
    mvprintw(LISTING_ROW, MEMORY_COLUMN, "step %llu", static_cast<unsigned long long>(current_step(s)));
    for (int line = 0; line < LISTING_LINES - 1; ++line) {
        const int start = (machine.I + 8 * line) & (MEMORY_SIZE - 1);
        move(LISTING_ROW + 1 + line, MEMORY_COLUMN);
        printw("%s%03X", line == 0 ? "I " : "  ", start);
        for (int i = 0; i < 8; ++i) printw(" %02X", memory_at(machine, start + i));
    }
}

struct ViewState {
    std::string input;       // the command being typed
    std::string lastCommand; // what an empty line repeats
    std::string answer;      // the last command's answer
    bool utf8 = false;
};

void draw(const Session& s, const ViewState& v) {
    erase();
    if (COLS < VIEW_COLUMNS || LINES < VIEW_ROWS) {
        mvprintw(0, 0, "The view needs 80 x 24; this terminal is %d x %d.", COLS, LINES);
        refresh();
        return;
    }
    draw_display(v.utf8);
    draw_registers(s);
    draw_listing(s);
    draw_memory(s);
    // An answer of one or two lines has its rows; a longer one (help,
    // screen, the lists) is shown over the display until the next command.
    std::vector<std::string> lines;
    for (size_t start = 0; start < v.answer.size();) {
        size_t end = v.answer.find('\n', start);
        if (end == std::string::npos) end = v.answer.size();
        lines.push_back(v.answer.substr(start, end - start));
        start = end + 1;
    }
    if (lines.size() <= size_t(ANSWER_LINES)) {
        for (size_t i = 0; i < lines.size(); ++i) mvaddnstr(ANSWER_ROW + int(i), 0, lines[i].c_str(), VIEW_COLUMNS);
    } else {
        const size_t shown = std::min(lines.size(), size_t(ANSWER_ROW));
        for (size_t i = 0; i < shown; ++i) {
            move(int(i), 0);
            clrtoeol();
            mvaddnstr(int(i), 0, lines[i].c_str(), VIEW_COLUMNS);
        }
        for (size_t i = shown; i < size_t(ANSWER_ROW); ++i) {
            move(int(i), 0);
            clrtoeol();
        }
    }
    mvaddstr(PROMPT_ROW, 0, "> ");
    addnstr(v.input.c_str(), VIEW_COLUMNS - 3);
    refresh();
}

}  // namespace

int run_view(Session& session) {
    std::setlocale(LC_ALL, "");
    ViewState v;
    v.utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    session.interrupt = &interrupted;

    initscr();
    // After initscr, which has handlers of its own. No SA_RESTART: getch
    // comes back at once.
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    cbreak();
    noecho();
    keypad(stdscr, TRUE);
    v.answer = "help lists the commands; an empty line repeats the last one\n";
    bool quit = false;
    int errors = 0;  // getch's ERRs in a row
    while (!quit) {
        draw(session, v);
        const int c = getch();
        if (c != ERR) errors = 0;
        if (c == ERR) {
            // Ctrl-C at the prompt: the line goes, the program stays. A
            // signal can also leave getch with nothing read once more.
            if (interrupted) v.input.clear();
            interrupted = 0;
            if (terminal_gone() || ++errors > 1000) break;
            continue;
        }
        if (c == KEY_RESIZE) continue;
        if (c == KEY_BACKSPACE || c == 127 || c == 8) {
            if (!v.input.empty()) v.input.pop_back();
            continue;
        }
        if (c == 4 && v.input.empty()) break;  // Ctrl-D
        if (c != '\n' && c != '\r' && c != KEY_ENTER) {
            if (c >= 0x20 && c < 0x7F && v.input.size() < 70) v.input += static_cast<char>(c);
            continue;
        }
        std::string command = v.input.empty() ? v.lastCommand : v.input;
        v.input.clear();
        if (command.empty()) continue;
        v.lastCommand = command;
        mvaddstr(ANSWER_ROW, 0, "running (Ctrl-C stops it)");
        clrtoeol();
        refresh();
        interrupted = 0;
        const Answer answer = run_command(session, command);
        interrupted = 0;
        v.answer = answer.text;
        quit = answer.quit;
    }
    endwin();
    session.interrupt = nullptr;
    return 0;
}
