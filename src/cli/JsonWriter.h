#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sonlet::cli {

// Builds one JSON document; commas and nesting are tracked, so callers only say what comes.
class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view name);
    // Text as UTF-8; control characters, quotes and backslashes are escaped.
    JsonWriter& String(std::string_view utf8);
    JsonWriter& Number(std::int64_t value);
    JsonWriter& Bool(bool value);

    const std::string& Text() const { return out_; }

private:
    void BeforeValue();
    void Open(char bracket);
    void Close(char bracket);

    std::string out_;
    std::vector<bool> hasItems_;
    bool afterKey_ = false;
};

} // namespace sonlet::cli
