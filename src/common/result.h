#pragma once

#include "common/outcome.h"

#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

// Why a command ended in PlcFailed, as the user was told: answerFault when the PLC refused, kept
// silent or sent a damaged answer; otherwise the message names what could not be taken over.
struct PlcFailure
{
    QString message;
    bool answerFault = true;
};

template <typename T> class Result;

// An ending other than Done, on its way into whichever Result the command brings back:
// `return ended(Outcome::Cancelled);`, `return ended(plcFailed(...));`. Made only by ended(), so
// no outcome, failure or value turns into a Result unless the code says so.
class Ended
{
public:
    template <typename T> operator Result<T>() const
    {
        if (m_outcome == Outcome::PlcFailed)
            return Result<T>(m_failure);
        return Result<T>(m_outcome);
    }

private:
    friend Ended ended(Outcome outcome);
    friend Ended ended(PlcFailure failure);
    Ended(Outcome outcome, PlcFailure failure) : m_outcome(outcome), m_failure(std::move(failure))
    {}
    Outcome m_outcome;
    PlcFailure m_failure;
};

inline Ended ended(Outcome outcome)
{
    Q_ASSERT(outcome != Outcome::Done);
    return {outcome, {}};
}
inline Ended ended(PlcFailure failure)
{
    return {Outcome::PlcFailed, std::move(failure)};
}

// What a command brings back: its value when it ran to its end (Outcome::Done), otherwise only
// how it ended. Whatever the user had to be told was already shown through the prompts. A value
// is returned as `Result(value)`, an ending as `ended(...)`.
template <typename T> class [[nodiscard]] Result
{
public:
    explicit Result(T value) : m_value(std::move(value)) {}
    // An ending other than Done.
    explicit Result(Outcome ended) : m_outcome(ended) { Q_ASSERT(ended != Outcome::Done); }
    explicit Result(PlcFailure failure)
        : m_outcome(Outcome::PlcFailed), m_failure(std::move(failure))
    {}
    // How another command that did not run to its end ended, passed on.
    template <typename U> static Result endedAs(const Result<U> &other)
    {
        Result ended(other.outcome());
        ended.m_failure = other.failure();
        return ended;
    }

    Outcome outcome() const { return m_outcome; }
    bool done() const { return m_value.has_value(); }
    explicit operator bool() const { return done(); }

    const T &value() const { return *m_value; }
    T &value() { return *m_value; }
    const T &operator*() const { return *m_value; }
    T &operator*() { return *m_value; }
    const T *operator->() const { return &*m_value; }
    T *operator->() { return &*m_value; }
    // What the user was told when the PLC failed the command.
    const PlcFailure &failure() const { return m_failure; }

private:
    Outcome m_outcome = Outcome::Done;
    PlcFailure m_failure;
    std::optional<T> m_value;
};
