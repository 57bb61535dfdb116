#pragma once

#include "common/errors.h"

#include <QEventLoop>
#include <QPointer>

#include <QCoroTask>

#include <exception>
#include <memory>
#include <optional>
#include <type_traits>

namespace WaitForTaskPrivate {

template <typename T> struct Ending
{
    bool ended = false;
    std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
    std::exception_ptr failure;
    QPointer<QEventLoop> loop;
};

// Shares the ending with the waiter, so that a task that outlives its waiter touches nothing gone.
template <typename T> QCoro::Task<> settle(QCoro::Task<T> task, std::shared_ptr<Ending<T>> ending)
{
    try {
        if constexpr (std::is_void_v<T>)
            co_await std::move(task);
        else
            ending->value.emplace(co_await std::move(task));
    } catch (...) {
        ending->failure = std::current_exception();
    }
    ending->ended = true;
    if (ending->loop)
        ending->loop->quit();
}

} // namespace WaitForTaskPrivate

// Runs a task to its end for a test or a benchmark that is not a coroutine itself, in a local
// event loop, and gives its value or throws what it threw. Unlike
// QCoro::waitFor it takes values without a default (Result) and passes a failure on instead of
// waiting for ever. When the application quits meanwhile, TransferAborted.
template <typename T> T waitForTask(QCoro::Task<T> task)
{
    QEventLoop loop;
    const auto ending = std::make_shared<WaitForTaskPrivate::Ending<T>>();
    ending->loop = &loop;
    // Eager: a task that needs no wait has ended before the loop would start.
    WaitForTaskPrivate::settle(std::move(task), ending);
    if (!ending->ended)
        loop.exec();
    if (!ending->ended)
        throw TransferAborted();
    if (ending->failure)
        std::rethrow_exception(ending->failure);
    if constexpr (!std::is_void_v<T>)
        return std::move(*ending->value);
}
