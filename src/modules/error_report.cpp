#include "error_report.h"

#include <new>

#include "console.h"
#include "failures.h"

namespace vemor {
namespace {

ErrorPresenter& Presenter() {
    static ErrorPresenter presenter = platform::ShowMessage;
    return presenter;
}

}  // namespace

Failure CaughtFailure() {
    try {
        throw;
    } catch (const Failure& failure) {
        return failure;
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    } catch (const std::exception& error) {
        return Unexpected(error.what());
    } catch (...) {
        return Unexpected({});
    }
}

void ShowError(const Failure& failure, std::int16_t show) {
    // Numbers outside 16 bits are shown whole rather than wrapped into a misleading one.
    const std::int32_t number = failure.number();
    try {
        const std::string text =
            failure.description() + " (" + std::to_string(number) + ") " + failure.source();
        if (show != 0) Presenter()(text, kErrorCaption);
    } catch (...) {
        const Failure inner = CaughtFailure();
        try {
            Presenter()("Global Error: " + std::to_string(inner.number()) + " - " + inner.description(),
                        kErrorCaption);
        } catch (...) {
            // Nothing is left to report with; the caller ends in any case.
        }
    }
}

void ShowReport(const std::string& text) {
    try {
        Presenter()(text, kErrorCaption);
    } catch (...) {
        // As a box that cannot be shown: the run goes on without it.
    }
}

void SetErrorPresenter(ErrorPresenter presenter) {
    Presenter() = presenter ? std::move(presenter) : ErrorPresenter(platform::ShowMessage);
}

}  // namespace vemor
