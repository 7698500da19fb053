#pragma once

#include <exception>
#include <utility>

// The application's standard error report: the failure's text in an error box.
// Handlers run their work through reportErrors so that an exception never
// crosses the event loop and the user always learns what failed.
void showStandardError(const std::exception &error);

template <typename Work>
bool reportErrors(Work &&work)
{
    try {
        std::forward<Work>(work)();
        return true;
    } catch (const std::exception &error) {
        showStandardError(error);
        return false;
    }
}
