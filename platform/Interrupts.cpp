#include "platform/Interrupts.h"

namespace frostmark {

const char* InterruptName(int request) {
    return request == kInterruptSignal ? "SIGINT" : "SIGTERM";
}

} // namespace frostmark
