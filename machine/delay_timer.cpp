#include "delay_timer.h"

#include "machine.h"

bool step_delay_timer(uint32_t now, uint32_t lastCount) {
    if (machine.delayTimer == 0 || now - lastCount <= DELAY_TICK_MS) return false;
    machine.delayTimer--;
    return true;
}
