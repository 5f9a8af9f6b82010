// The one rule for every host function handed to the plug-in: it is noexcept, runs its body
// through GuardedCall, and so turns any failure into the interface's error code instead of
// throwing into C. The failure's message is kept by the session in use, so the user is told the
// real cause (an unusable colour profile, memory exhausted) rather than the code the plug-in
// passes on.
#pragma once

#include <exception>
#include <new>
#include <string>

namespace quillon::filterhost {

// Keeps a failure's message for the session in use (the first one since the last was taken).
void NoteHostFailure(const std::string& message) noexcept;

// Runs body; anything it throws becomes failure.
template <typename R, typename Body> R GuardedCall(R failure, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        NoteHostFailure("the host ran out of memory");
    } catch (const std::exception& e) {
        NoteHostFailure(e.what());
    } catch (...) {
        NoteHostFailure("an unknown failure in the host");
    }
    return failure;
}

// For functions without a result.
template <typename Body> void GuardedCall(Body&& body) noexcept {
    GuardedCall(0, [&body] {
        body();
        return 0;
    });
}

} // namespace quillon::filterhost
