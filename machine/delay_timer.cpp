#include "delay_timer.h"

#include "machine.h"

bool delay_count_due(uint32_t now, uint32_t lastCount) { return now - lastCount > DELAY_TICK_MS; }

bool step_delay_timer(uint32_t now, uint32_t lastCount) {
    if (machine.delayTimer == 0 || !delay_count_due(now, lastCount)) return false;
    machine.delayTimer--;
    return true;
}
