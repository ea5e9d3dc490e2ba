#pragma once

#include <utility>

// A process-wide value that stands in for the real thing while a scope lasts: a modal
// window's or question's answer, a replacement service, a file to use. Code that can be
// driven this way reads Get() and falls back to its own behaviour when it holds the empty
// value (an empty function, a null pointer, an empty string). A Scope installs a value and
// puts back the one before when it ends, so scopes nest and nothing is reset by hand.
// Tag keeps apart two stand-ins of the same type. Scopes open and close on the main
// thread, never while another thread reads the value.
template<typename Tag, typename T> class TOverride
{
public:
    static const T& Get() { return slot(); }

    class Scope
    {
    public:
        explicit Scope(T value) : m_previous(std::exchange(slot(), std::move(value))) {}
        ~Scope() { slot() = std::move(m_previous); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        T m_previous;
    };

private:
    static T& slot()
    {
        static T value{};
        return value;
    }
};
