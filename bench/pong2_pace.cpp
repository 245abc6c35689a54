// Prints the pace PONG2 keeps at a range of frame rates, for players who
// leave the paddles be, move to meet the ball, or chase it every tick: the
// game played headless (tests/support/pong2/pong2_play.h) on the runner's
// step, vostrelina-run's loop, with its clock at each rate. CONTRIBUTING.md's figures come from here; the PONG2 tests
// hold the game to them.
#include <cstdio>

#include "pong2_play.h"

int main() {
    if (!Pong2Player::load_source(PONG2_SOURCE)) {
        std::fprintf(stderr, "%s does not assemble\n", PONG2_SOURCE);
        return 1;
    }
    Pong2Player player(PONG2_PATH);
    if (!player.start()) {
        std::fprintf(stderr, "%s does not load\n", PONG2_PATH);
        return 1;
    }
    using Players = Pong2Player::Players;
    for (Players players : {Pong2Player::LEAVE_BE, Pong2Player::MEET_THE_BALL,
                            Pong2Player::CHASE_THE_BALL}) {
        std::printf("%s\n", Pong2Player::players_name(players));
        for (long perSecond : {400L, 500L, 600L, 700L, 750L, 800L, 1000L, 1250L, 1500L, 90000L}) {
            const Pong2Player::Pace p = Pong2Player::pace(player.play(players, perSecond, 3000));
            std::printf("  %6ld frames a second: %5.1f %% of the pace, %ld ticks in %ld counts\n",
                        perSecond, 100.0 * p.kept(), p.ticks, p.took);
        }
    }
    return 0;
}
