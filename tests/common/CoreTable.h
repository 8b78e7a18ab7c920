#pragma once

#include <QTest>

#include <tuple>

// A table's columns in one statement, each of the type in its place:
//     columns<QString, int>("name", "count");
template <typename... T, typename... Names> void columns(const Names&... names)
{
    static_assert(sizeof...(T) == sizeof...(Names), "one name for each type");
    (QTest::addColumn<T>(names), ...);
}

// The current row's values of those columns, for a structured binding:
//     const auto [name, count] = fetch<QString, int>("name", "count");
template <typename... T, typename... Names> std::tuple<T...> fetch(const Names&... names)
{
    static_assert(sizeof...(T) == sizeof...(Names), "one name for each type");
    return {*static_cast<const T*>(QTest::qData(names, qMetaTypeId<T>()))...};
}
