#pragma once

#include "common/outcome.h"

#include <QtGlobal>

#include <optional>
#include <utility>

// What a command brings back: its value when it ran to its end (Outcome::Done), otherwise only
// how it ended. Whatever the user had to be told was already shown through the prompts.
template <typename T> class Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    // An ending other than Done.
    Result(Outcome ended) : m_outcome(ended) { Q_ASSERT(ended != Outcome::Done); }

    Outcome outcome() const { return m_outcome; }
    bool done() const { return m_value.has_value(); }
    explicit operator bool() const { return done(); }

    const T &value() const { return *m_value; }
    T &value() { return *m_value; }
    const T &operator*() const { return *m_value; }
    T &operator*() { return *m_value; }
    const T *operator->() const { return &*m_value; }
    T *operator->() { return &*m_value; }

private:
    Outcome m_outcome = Outcome::Done;
    std::optional<T> m_value;
};
