// Long core loops (many thousands of descent steps, say) poll here so that the
// host can stop them (Ctrl-C). Each extension module installs its own check in
// its set-up; without one, polling does nothing. The check may throw.
#pragma once

namespace velmora {

using InterruptCheck = void (*)();

inline InterruptCheck& interrupt_check_slot() {
    static InterruptCheck check = nullptr;
    return check;
}

inline void set_interrupt_check(InterruptCheck check) { interrupt_check_slot() = check; }

inline void poll_interrupt() {
    if (InterruptCheck check = interrupt_check_slot()) check();
}

}  // namespace velmora
