#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

/** A change callback that moves as cheaply as a pointer. Libraries move
    patches by the thousand when they grow, and a std::function member made
    every such move several times dearer. Otherwise it reads like one: assign
    a callable or nullptr, test it, call it; a copy copies the callback. */
class ChangeHook
{
public:
    ChangeHook() = default;
    ChangeHook (std::nullptr_t) {}

    template <typename Callable,
              typename = std::enable_if_t<!std::is_same_v<std::decay_t<Callable>, ChangeHook> &&
                                          !std::is_same_v<std::decay_t<Callable>, std::nullptr_t>>>
    ChangeHook (Callable&& callable) : callback (holding (std::function<void()> (std::forward<Callable> (callable))))
    {
    }

    ChangeHook (const ChangeHook& other) : callback (other ? std::make_unique<Callback> (*other.callback) : nullptr) {}
    ChangeHook& operator= (const ChangeHook& other)
    {
        if (this != &other)
            callback = other ? std::make_unique<Callback> (*other.callback) : nullptr;
        return *this;
    }
    ChangeHook (ChangeHook&&) noexcept = default;
    ChangeHook& operator= (ChangeHook&&) noexcept = default;

    explicit operator bool() const { return callback != nullptr; }

    /** Throws std::bad_function_call when empty, as std::function does. */
    void operator()() const
    {
        if (!callback)
            throw std::bad_function_call();
        (*callback)();
    }

private:
    using Callback = std::function<void()>;

    static std::unique_ptr<Callback> holding (Callback function)
    {
        return function ? std::make_unique<Callback> (std::move (function)) : nullptr;
    }

    std::unique_ptr<Callback> callback; // never holds an empty function
};
