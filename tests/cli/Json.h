#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sonlet::testkit {

// A parsed JSON value. Strings are kept as Unicode code points, so a Latin-1 text compares
// byte for byte through Latin1().
class JsonValue {
public:
    using Array = std::vector<JsonValue>;
    using Object = std::map<std::string, JsonValue, std::less<>>;

    std::variant<std::nullptr_t, bool, double, std::u32string, Array, Object> value;

    bool IsNull() const { return std::holds_alternative<std::nullptr_t>(value); }
    bool Bool() const { return std::get<bool>(value); }
    double Number() const { return std::get<double>(value); }
    std::int64_t Int() const { return static_cast<std::int64_t>(std::get<double>(value)); }
    const std::u32string& Text() const { return std::get<std::u32string>(value); }
    // The text as bytes; throws when a code point does not fit in one byte.
    std::string Latin1() const;
    const Array& Items() const { return std::get<Array>(value); }
    const Object& Members() const { return std::get<Object>(value); }
    // The member of an object; throws when there is none.
    const JsonValue& operator[](std::string_view key) const;
    const JsonValue& operator[](std::size_t index) const { return Items().at(index); }
    std::size_t Size() const;
};

// Parses one complete JSON document (RFC 8259); throws std::runtime_error when malformed.
JsonValue ParseJson(std::string_view text);

} // namespace sonlet::testkit
