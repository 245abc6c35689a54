#include "view.h"

#include <curses.h>
#include <langinfo.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "terminal.h"

namespace {

// The full view's least size; a smaller terminal gets the reduced view: where
// the run stands, the answer and the command line.
constexpr int VIEW_COLUMNS = 80;
constexpr int VIEW_ROWS = 24;
constexpr int PANEL_COLUMN = 66;   // registers, right of the display
constexpr int LISTING_ROW = DISPLAY_HEIGHT / 2;  // instructions and memory, under the display
constexpr int MEMORY_COLUMN = 46;
constexpr int ANSWER_LINES = 2;    // a stop's reason and where it stopped, above the prompt
constexpr int LABEL_WIDTH = 10;
constexpr size_t MAX_INPUT = 70;
constexpr size_t MAX_HISTORY = 1000;

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

void draw_registers() {
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
}

// The instructions from a quarter of the rows before pc: a taller terminal
// shows more of what comes next, and some of what came before.
void draw_listing(const Session& s, int lines) {
    const int pc = machine.pc;
    const int before = std::max(1, (lines - 1) / 4);
    for (int line = 0; line < lines; ++line) {
        const int address = pc + 2 * (line - before);
        if (address < 0 || address > 0xFFFF) continue;
        const bool breakpoint = breakAt[address] != 0;
        std::string name = symbol_at(s, address);
        name.resize(LABEL_WIDTH, ' ');
        // The label goes between the address and the opcode.
        std::string text = listing_line(s, address, "  " + name + "  ");
        text = std::string(address == pc ? ">" : " ") + (breakpoint ? "*" : " ") + " " + text;
        if (address == pc) attron(A_REVERSE);
        mvaddnstr(LISTING_ROW + line, 0, text.c_str(), MEMORY_COLUMN - 1);
        if (address == pc) attroff(A_REVERSE);
    }
}

// The memory from I: as many rows as the listing has after its first, 8
// bytes a row, or 16 and more in a wider terminal.
void draw_memory(const Session& s, int lines) {
    const int rowBytes = 8 * std::max(1, (COLS - MEMORY_COLUMN - 6) / 24);
    mvprintw(LISTING_ROW, MEMORY_COLUMN, "step %llu", static_cast<unsigned long long>(current_step(s)));
    for (int line = 0; line < lines - 1; ++line) {
        const int start = (machine.I + rowBytes * line) & (MEMORY_SIZE - 1);
        move(LISTING_ROW + 1 + line, MEMORY_COLUMN);
        printw("%s%03X", line == 0 ? "I " : "  ", start);
        for (int i = 0; i < rowBytes; ++i) printw(" %02X", memory_at(machine, start + i));
    }
}

struct ViewState {
    std::string input;       // the command being typed
    std::string lastCommand; // what an empty line repeats
    std::vector<std::string> history;  // the commands given, oldest first
    size_t recalled = 0;     // the history's line shown; its size: the line being typed
    std::string typing;      // that line, kept while Up shows older ones
    std::string answer;      // the last command's answer
    size_t scroll = 0;       // an answer longer than its rows: the first line shown
    int pageRows = 1;        // and how many of its lines show at once
    bool utf8 = false;
};

// The answer's lines, each cut into pieces of at most width columns, at a
// space when one is in the piece's second half. The pieces after the first
// start under the line's second column, as help's do, when it has one.
std::vector<std::string> answer_lines(const std::string& answer, int width) {
    const size_t most = size_t(std::max(1, width));
    std::vector<std::string> lines;
    for (size_t start = 0; start < answer.size();) {
        size_t end = answer.find('\n', start);
        if (end == std::string::npos) end = answer.size();
        std::string line = answer.substr(start, end - start);
        const size_t gap = line.find("  ", 1);
        const size_t column = gap == std::string::npos ? 0 : line.find_first_not_of(' ', gap);
        const std::string indent(column != std::string::npos && column < most / 2 ? column : 0, ' ');
        while (line.size() > most) {
            size_t cut = line.rfind(' ', most);
            cut = cut != std::string::npos && cut > indent.size() + (most - indent.size()) / 2 ? cut : most;
            lines.push_back(line.substr(0, cut));
            line = indent + line.substr(cut < line.size() && line[cut] == ' ' ? cut + 1 : cut);
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The answer in rows top to bottom (excluded); one too long for them shows
// a page at a time, its last row saying which lines and how to scroll.
void draw_answer(ViewState& v, const std::vector<std::string>& lines, int top, int bottom) {
    const int rows = bottom - top;
    if (rows <= 0) return;
    const bool paged = lines.size() > size_t(rows);
    v.pageRows = paged ? std::max(1, rows - 1) : rows;
    const size_t last = lines.size() > size_t(v.pageRows) ? lines.size() - size_t(v.pageRows) : 0;
    v.scroll = paged ? std::min(v.scroll, last) : 0;
    for (int row = top; row < bottom; ++row) {
        move(row, 0);
        clrtoeol();
    }
    for (int row = 0; row < v.pageRows && v.scroll + size_t(row) < lines.size(); ++row) {
        mvaddnstr(top + row, 0, lines[v.scroll + size_t(row)].c_str(), COLS);
    }
    if (!paged || rows < 2) return;
    char hint[80];
    std::snprintf(hint, sizeof hint, "-- lines %zu-%zu of %zu: PgUp, PgDn --", v.scroll + 1,
                  v.scroll + size_t(v.pageRows), lines.size());
    attron(A_REVERSE);
    mvaddnstr(bottom - 1, 0, hint, COLS);
    attroff(A_REVERSE);
}

// Under 80 x 24: where the run stands and why there is no more, when there
// are rows to spare beside two for the answer.
int draw_reduced(const Session& s) {
    const std::string where = "step " + std::to_string(current_step(s)) + "  " + listing_line(s, machine.pc);
    char size[96];
    std::snprintf(size, sizeof size, "The full view needs %d x %d; this terminal is %d x %d.", VIEW_COLUMNS,
                  VIEW_ROWS, COLS, LINES);
    const int header = std::min(2, std::max(0, LINES - 1 - ANSWER_LINES));
    if (header > 0) mvaddnstr(0, 0, where.c_str(), COLS);
    if (header > 1) mvaddnstr(1, 0, size, COLS);
    return header;
}

void draw(const Session& s, ViewState& v) {
    erase();
    const int prompt = LINES - 1;
    const std::vector<std::string> lines = answer_lines(v.answer, COLS);
    if (COLS < VIEW_COLUMNS || LINES < VIEW_ROWS) {
        draw_answer(v, lines, draw_reduced(s), prompt);
    } else {
        draw_display(v.utf8);
        draw_registers();
        const int listing = prompt - ANSWER_LINES - LISTING_ROW;
        draw_listing(s, listing);
        draw_memory(s, listing);
        // An answer of one or two lines has its rows; a longer one (help,
        // screen, the lists) is shown over the rest until the next command.
        draw_answer(v, lines, lines.size() <= size_t(ANSWER_LINES) ? prompt - ANSWER_LINES : 0, prompt);
    }
    // The end of a line longer than the terminal is wide, where the cursor is.
    const size_t room = size_t(std::max(0, COLS - 3));
    mvaddnstr(prompt, 0, "> ", COLS);
    if (COLS > 2) addstr(v.input.substr(v.input.size() > room ? v.input.size() - room : 0).c_str());
    refresh();
}

// Up and Down: the commands given before, then back to the line being typed.
void recall(ViewState& v, bool older) {
    if (v.recalled == v.history.size()) v.typing = v.input;
    if (older && v.recalled > 0) --v.recalled;
    else if (!older && v.recalled < v.history.size()) ++v.recalled;
    v.input = v.recalled == v.history.size() ? v.typing : v.history[v.recalled];
}

void remember(ViewState& v, const std::string& command) {
    if (v.history.empty() || v.history.back() != command) v.history.push_back(command);
    if (v.history.size() > MAX_HISTORY) v.history.erase(v.history.begin());
    v.recalled = v.history.size();
    v.typing.clear();
}

}  // namespace

int run_view(Session& session) {
    std::setlocale(LC_ALL, "");
    ViewState v;
    v.utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;

    // Not initscr, which ends the process on a terminal it does not know.
    if (!terminal_known(STDOUT_FILENO)) return VIEW_UNAVAILABLE;
    SCREEN* const terminal = newterm(nullptr, stdout, stdin);
    if (!terminal) return VIEW_UNAVAILABLE;
    session.interrupt = &interrupted;
    // After newterm, which has handlers of its own. No SA_RESTART: getch
    // comes back at once.
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    cbreak();
    noecho();
    keypad(stdscr, TRUE);
    v.answer = "help lists the commands; an empty line repeats the last one; Up and Down recall them\n";
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
        if (c == KEY_UP || c == KEY_DOWN) {
            recall(v, c == KEY_UP);
            continue;
        }
        if (c == KEY_PPAGE || c == KEY_NPAGE) {
            // draw keeps the page on the answer
            v.scroll = c == KEY_PPAGE ? v.scroll - std::min(v.scroll, size_t(v.pageRows)) : v.scroll + size_t(v.pageRows);
            continue;
        }
        if (c == KEY_BACKSPACE || c == 127 || c == 8) {
            if (!v.input.empty()) v.input.pop_back();
            continue;
        }
        if (c == 4 && v.input.empty()) break;  // Ctrl-D
        if (c != '\n' && c != '\r' && c != KEY_ENTER) {
            if (c >= 0x20 && c < 0x7F && v.input.size() < MAX_INPUT) v.input += static_cast<char>(c);
            continue;
        }
        std::string command = v.input.empty() ? v.lastCommand : v.input;
        v.input.clear();
        if (command.empty()) continue;
        v.lastCommand = command;
        remember(v, command);
        mvaddnstr(std::max(0, LINES - 2), 0, "running (Ctrl-C stops it)", COLS);
        clrtoeol();
        refresh();
        interrupted = 0;
        const Answer answer = run_command(session, command);
        interrupted = 0;
        v.answer = answer.text;
        v.scroll = 0;
        quit = answer.quit;
    }
    endwin();
    delscreen(terminal);
    session.interrupt = nullptr;
    return 0;
}
