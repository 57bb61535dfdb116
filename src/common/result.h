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

// What a command brings back: its value when it ran to its end (Outcome::Done), otherwise only
// how it ended. Whatever the user had to be told was already shown through the prompts.
template <typename T> class Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    // An ending other than Done.
    Result(Outcome ended) : m_outcome(ended) { Q_ASSERT(ended != Outcome::Done); }
    Result(PlcFailure failure) : m_outcome(Outcome::PlcFailed), m_failure(std::move(failure)) {}
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
