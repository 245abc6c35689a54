// std::rand as the GNU C library draws it, for the workbench: CXNN must give
// the page the very numbers vostrelina-dbg gets on Linux for the same seed,
// and Emscripten's C library has a generator of its own. This is glibc's
// default one (TYPE_3): 31 words seeded by the Park-Miller recurrence, then
// an additive feedback of the words 31 and 3 back, the first 310 draws
// thrown away. The definitions of rand and srand below take the place of the
// C library's; the workbench test (tests/web/workbench_test.sh) compares CXNN's
// numbers with vostrelina-dbg's.
#include <cstdint>

namespace {

constexpr int DEGREE = 31;      // words of state
constexpr int SEPARATION = 3;   // the feedback's second tap, this many behind the first
constexpr int DISCARDED = 10 * DEGREE;

struct Generator {
    uint32_t words[DEGREE];
    int front, rear;  // the word the draw adds to, and the one it adds
};

Generator generator;

int glibc_rand() {
    Generator& g = generator;
    g.words[g.front] += g.words[g.rear];
    const uint32_t drawn = g.words[g.front] >> 1;
    g.front = (g.front + 1) % DEGREE;
    g.rear = (g.rear + 1) % DEGREE;
    return static_cast<int>(drawn);
}

void glibc_srand(unsigned seed) {
    Generator& g = generator;
    if (seed == 0) seed = 1;
    // glibc keeps the words signed and seeds them from the seed as a signed
    // number: the recurrence below keeps them in 0..2^31-2 but for the first.
    int32_t word = static_cast<int32_t>(seed);
    g.words[0] = seed;
    for (int i = 1; i < DEGREE; ++i) {
        // word = 16807 * word mod 2^31-1 (Schrage's way, within 32 bits)
        const int32_t hi = word / 127773;
        const int32_t lo = word % 127773;
        word = 16807 * lo - 2836 * hi;
        if (word < 0) word += 2147483647;
        g.words[i] = static_cast<uint32_t>(word);
    }
    g.front = SEPARATION;
    g.rear = 0;
    for (int i = 0; i < DISCARDED; ++i) glibc_rand();
}

}  // namespace

// Linked in place of the C library's: the executor's CXNN and the debugger's
// replay after a back both draw from here.
extern "C" void srand(unsigned seed) { glibc_srand(seed); }
extern "C" int rand() { return glibc_rand(); }
