#include "Json.h"

#include <charconv>
#include <stdexcept>

namespace sonlet::testkit {

namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    JsonValue Document() {
        JsonValue v = Value();
        SkipSpace();
        if (at_ != text_.size()) {
            Fail("trailing characters");
        }
        return v;
    }

private:
    [[noreturn]] void Fail(const std::string& why) const {
        throw std::runtime_error("JSON: " + why + " at offset " + std::to_string(at_));
    }
    void SkipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }
    char Peek() {
        SkipSpace();
        if (at_ >= text_.size()) {
            Fail("unexpected end");
        }
        return text_[at_];
    }
    void Expect(char c) {
        if (Peek() != c) {
            Fail(std::string("expected ") + c);
        }
        ++at_;
    }
    bool Literal(std::string_view word) {
        if (text_.substr(at_, word.size()) == word) {
            at_ += word.size();
            return true;
        }
        return false;
    }

    JsonValue Value() {
        const char c = Peek();
        JsonValue v;
        if (c == '{') {
            v.value = ObjectValue();
        } else if (c == '[') {
            v.value = ArrayValue();
        } else if (c == '"') {
            v.value = StringValue();
        } else if (Literal("true")) {
            v.value = true;
        } else if (Literal("false")) {
            v.value = false;
        } else if (Literal("null")) {
            v.value = nullptr;
        } else {
            v.value = NumberValue();
        }
        return v;
    }

    JsonValue::Object ObjectValue() {
        Expect('{');
        JsonValue::Object members;
        if (Peek() == '}') {
            ++at_;
            return members;
        }
        for (;;) {
            if (Peek() != '"') {
                Fail("expected a key");
            }
            std::string key;
            for (char32_t cp : StringValue()) {
                if (cp > 0x7F) {
                    Fail("non-ASCII key");
                }
                key.push_back(static_cast<char>(cp));
            }
            Expect(':');
            if (!members.emplace(key, Value()).second) {
                Fail("duplicate key " + key);
            }
            if (Peek() == ',') {
                ++at_;
                continue;
            }
            Expect('}');
            return members;
        }
    }

    JsonValue::Array ArrayValue() {
        Expect('[');
        JsonValue::Array items;
        if (Peek() == ']') {
            ++at_;
            return items;
        }
        for (;;) {
            items.push_back(Value());
            if (Peek() == ',') {
                ++at_;
                continue;
            }
            Expect(']');
            return items;
        }
    }

    unsigned Hex4() {
        if (at_ + 4 > text_.size()) {
            Fail("short escape");
        }
        unsigned value = 0;
        const auto [end, error] =
            std::from_chars(text_.data() + at_, text_.data() + at_ + 4, value, 16);
        if (error != std::errc() || end != text_.data() + at_ + 4) {
            Fail("bad escape");
        }
        at_ += 4;
        return value;
    }

    // One UTF-8 sequence starting at at_.
    char32_t Utf8() {
        const auto lead = static_cast<unsigned char>(text_[at_++]);
        int extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            return lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            Fail("bad UTF-8");
        }
        for (int i = 0; i < extra; ++i) {
            if (at_ >= text_.size() || (static_cast<unsigned char>(text_[at_]) & 0xC0) != 0x80) {
                Fail("bad UTF-8");
            }
            cp = (cp << 6) | (static_cast<unsigned char>(text_[at_++]) & 0x3F);
        }
        return cp;
    }

    std::u32string StringValue() {
        Expect('"');
        std::u32string out;
        for (;;) {
            if (at_ >= text_.size()) {
                Fail("unterminated string");
            }
            const char c = text_[at_];
            if (c == '"') {
                ++at_;
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                Fail("control character in string");
            }
            if (c != '\\') {
                out.push_back(Utf8());
                continue;
            }
            ++at_;
            if (at_ >= text_.size()) {
                Fail("unterminated escape");
            }
            const char e = text_[at_++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out.push_back(static_cast<char32_t>(e));
                break;
            case 'b':
                out.push_back(U'\b');
                break;
            case 'f':
                out.push_back(U'\f');
                break;
            case 'n':
                out.push_back(U'\n');
                break;
            case 'r':
                out.push_back(U'\r');
                break;
            case 't':
                out.push_back(U'\t');
                break;
            case 'u': {
                char32_t cp = Hex4();
                if (cp >= 0xD800 && cp < 0xDC00 && Literal("\\u")) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (Hex4() - 0xDC00);
                }
                out.push_back(cp);
                break;
            }
            default:
                Fail("unknown escape");
            }
        }
    }

    double NumberValue() {
        SkipSpace();
        const std::size_t start = at_;
        while (at_ < text_.size() &&
               std::string_view("+-0123456789.eE").find(text_[at_]) != std::string_view::npos) {
            ++at_;
        }
        double value = 0;
        const auto [end, error] = std::from_chars(text_.data() + start, text_.data() + at_, value);
        if (start == at_ || error != std::errc() || end != text_.data() + at_) {
            Fail("bad value");
        }
        return value;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace

std::string JsonValue::Latin1() const {
    std::string out;
    for (char32_t cp : Text()) {
        if (cp > 0xFF) {
            throw std::runtime_error("JSON: text is not Latin-1");
        }
        out.push_back(static_cast<char>(cp));
    }
    return out;
}

const JsonValue& JsonValue::operator[](std::string_view key) const {
    const auto& members = Members();
    const auto it = members.find(key);
    if (it == members.end()) {
        throw std::runtime_error("JSON: no member " + std::string(key));
    }
    return it->second;
}

std::size_t JsonValue::Size() const {
    if (const auto* a = std::get_if<Array>(&value)) {
        return a->size();
    }
    return Members().size();
}

JsonValue ParseJson(std::string_view text) { return Parser(text).Document(); }

} // namespace sonlet::testkit
