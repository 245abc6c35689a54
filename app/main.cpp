// The platform entries: each hands app_main the ROM path.
#include <cstdio>

#include "command_line.h"
#include "frontend.h"

// Room for the longest command line Windows passes (32767 characters).
constexpr int TAIL_CAPACITY = 32768;

#ifdef _WIN32
#include <windows.h>

// A GUI program: Windows gives the whole command line, and the tail is cut
// out of it by the program's own rules rather than the C runtime's.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    static char tail[TAIL_CAPACITY];
    strip_enclosing_quotes(cut_command_line_tail(GetCommandLineA()), tail, TAIL_CAPACITY);
    return app_main(tail);
}

#else

// The arguments joined by single blanks make the tail, so a single path,
// blanks and quotes included, arrives as it was given.
int main(int argc, char** argv) {
    static char tail[TAIL_CAPACITY];
    if (!join_arguments(argc, argv, tail, TAIL_CAPACITY)) {
        std::fprintf(stderr, "Chemin de rom trop long (plus de %d octets)\n", TAIL_CAPACITY - 1);
        return 1;
    }
    return app_main(tail);
}

#endif
