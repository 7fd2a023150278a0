#pragma once
// The one way a user's action reaches its handler: through a connection that runs the
// handler inside RunGuarded, so an error is reported once and ends only that handler.

#include "store/AppError.h"

#include <QObject>

#include <cstddef>
#include <functional>
#include <tuple>
#include <type_traits>
#include <utility>

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

template <typename Handler, typename Context, typename Tuple, std::size_t... I>
constexpr bool TakesFirst(std::index_sequence<I...>)
{
    return Takes<Handler, Context, std::tuple_element_t<I, Tuple>...>();
}

template <typename Handler, typename Context, typename Tuple, std::size_t... I>
void CallWithFirst(const Handler &handler, Context *context, Tuple &arguments, std::index_sequence<I...>)
{
    if constexpr (std::is_member_function_pointer_v<Handler>)
        std::invoke(handler, context, std::get<I>(std::move(arguments))...);
    else
        handler(std::get<I>(std::move(arguments))...);
}

// Calls the handler with as many of the signal's first arguments as it takes (a private
// signal's last argument is a tag no handler wants).
template <std::size_t Count, typename Handler, typename Context, typename Tuple>
void Call(const Handler &handler, Context *context, Tuple &arguments)
{
    if constexpr (TakesFirst<Handler, Context, Tuple>(std::make_index_sequence<Count>{}))
        CallWithFirst(handler, context, arguments, std::make_index_sequence<Count>{});
    else if constexpr (Count > 0)
        Call<Count - 1>(handler, context, arguments);
    else
        static_assert(Count > 0, "the handler takes none of the signal's arguments");
}

}  // namespace guarded_connect

// Connects signal to handler: a callable, or a member function of context. The handler
// takes the signal's first arguments or none.
template <typename Sender, typename Signal, typename Context, typename Handler>
QMetaObject::Connection ConnectGuarded(const Sender *sender, Signal signal, Context *context, Handler handler)
{
    return QObject::connect(sender, signal, context, [context, handler](auto &&...arguments) {
        RunGuarded([&] {
            std::tuple<decltype(arguments)...> all(std::forward<decltype(arguments)>(arguments)...);
            guarded_connect::Call<sizeof...(arguments)>(handler, context, all);
        });
    });
}

}  // namespace quillpad
