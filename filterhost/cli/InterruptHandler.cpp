#include "cli/InterruptHandler.h"

#include <cstddef>

namespace quillon::cli {

InterruptHandler::InterruptHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    for (size_t i = 0; i < 2; ++i)
        sigaction(kSignals[i], &action, &previous_[i]);
}

InterruptHandler::~InterruptHandler() {
    for (size_t i = 0; i < 2; ++i)
        sigaction(kSignals[i], &previous_[i], nullptr);
}

} // namespace quillon::cli
