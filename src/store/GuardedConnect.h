#pragma once
// The one way a user's action reaches its handler: through a connection that runs the
// handler inside RunGuarded, so an error is reported once and ends only that handler.

#include "store/AppError.h"

#include <QObject>

#include <functional>
#include <type_traits>

namespace quillpad {

namespace guarded_connect {

// A member function is called on the connection's context object.
template <typename Handler, typename Context, typename... Arguments>
constexpr bool Takes()
{
    if constexpr (std::is_member_function_pointer_v<Handler>)
        return std::is_invocable_v<Handler, Context *, Arguments...>;
    else
        return std::is_invocable_v<const Handler &, Arguments...>;
}

template <typename Handler, typename Context, typename... Arguments>
void Call(const Handler &handler, Context *context, Arguments &&...arguments)
{
    if constexpr (std::is_member_function_pointer_v<Handler>)
        std::invoke(handler, context, std::forward<Arguments>(arguments)...);
    else
        handler(std::forward<Arguments>(arguments)...);
}

}  // namespace guarded_connect

// Connects signal to handler: a callable, or a member function of context. The handler
// takes the signal's arguments or none.
template <typename Sender, typename Signal, typename Context, typename Handler>
QMetaObject::Connection ConnectGuarded(const Sender *sender, Signal signal, Context *context, Handler handler)
{
    return QObject::connect(sender, signal, context, [context, handler](auto &&...arguments) {
        RunGuarded([&] {
            if constexpr (guarded_connect::Takes<Handler, Context, decltype(arguments)...>())
                guarded_connect::Call(handler, context, std::forward<decltype(arguments)>(arguments)...);
            else
                guarded_connect::Call(handler, context);
        });
    });
}

}  // namespace quillpad
