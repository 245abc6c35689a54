// Cutting the ROM path out of a Windows command line. Plain string work, so
// it is tested on every platform and used where the entry gets a whole line.
#pragma once

// The tail of a whole command line: blanks and tabs before the program's name
// are skipped; a quoted name up to and including its closing quote (no closing
// quote: the tail is empty), an unquoted one up to the first blank or tab;
// then blanks and tabs. Returns a pointer into line.
const char* cut_command_line_tail(const char* line);

// Copies tail into out (capacity bytes), dropping one pair of double quotes
// that encloses all of it: what Windows hands over for a dropped file whose
// path has blanks. No Windows file name holds a quote, so nothing is lost.
// A tail that does not fit is cut at capacity - 1 bytes.
void strip_enclosing_quotes(const char* tail, char* out, int capacity);

// The ROM path of a POSIX command line: the arguments joined by single
// blanks, into out (capacity bytes). Returns false if it does not fit.
bool join_arguments(int argc, char** argv, char* out, int capacity);
