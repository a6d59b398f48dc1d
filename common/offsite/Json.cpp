#include "common/offsite/Json.h"

#include <charconv>
#include <cstdint>

namespace zorva::offsite {
namespace {

// Restic nests a few levels at most; the bound keeps hostile input from exhausting the stack.
constexpr int kMaxDepth = 64;

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::optional<JsonValue> Document() {
        auto value = Value(0);
        SkipBlanks();
        if (!value || pos_ != text_.size()) return std::nullopt;
        return value;
    }

private:
    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }

    bool Take(char c) {
        SkipBlanks();
        if (pos_ >= text_.size() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }

    bool TakeWord(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    std::optional<JsonValue> Value(int depth) {
        if (depth > kMaxDepth) return std::nullopt;
        SkipBlanks();
        if (pos_ >= text_.size()) return std::nullopt;
        switch (text_[pos_]) {
            case '{':
                return ObjectValue(depth);
            case '[':
                return ArrayValue(depth);
            case '"': {
                auto text = StringText();
                return text ? std::optional(JsonValue(std::move(*text))) : std::nullopt;
            }
            case 't':
                return TakeWord("true") ? std::optional(JsonValue(true)) : std::nullopt;
            case 'f':
                return TakeWord("false") ? std::optional(JsonValue(false)) : std::nullopt;
            case 'n':
                return TakeWord("null") ? std::optional(JsonValue()) : std::nullopt;
            default:
                return NumberValue();
        }
    }

    std::optional<JsonValue> ObjectValue(int depth) {
        ++pos_;
        JsonValue::Object members;
        if (Take('}')) return JsonValue(std::move(members));
        do {
            SkipBlanks();
            auto name = StringText();
            if (!name || !Take(':')) return std::nullopt;
            auto value = Value(depth + 1);
            if (!value) return std::nullopt;
            members.insert_or_assign(std::move(*name), std::move(*value));
        } while (Take(','));
        return Take('}') ? std::optional(JsonValue(std::move(members))) : std::nullopt;
    }

    std::optional<JsonValue> ArrayValue(int depth) {
        ++pos_;
        JsonValue::Array items;
        if (Take(']')) return JsonValue(std::move(items));
        do {
            auto value = Value(depth + 1);
            if (!value) return std::nullopt;
            items.push_back(std::move(*value));
        } while (Take(','));
        return Take(']') ? std::optional(JsonValue(std::move(items))) : std::nullopt;
    }

    std::optional<JsonValue> NumberValue() {
        const char* begin = text_.data() + pos_;
        double number = 0;
        const auto [end, error] = std::from_chars(begin, text_.data() + text_.size(), number);
        if (error != std::errc() || end == begin) return std::nullopt;
        pos_ += static_cast<std::size_t>(end - begin);
        return JsonValue(number);
    }

    std::optional<std::string> StringText() {
        if (pos_ >= text_.size() || text_[pos_] != '"') return std::nullopt;
        std::string out;
        for (++pos_; pos_ < text_.size(); ++pos_) {
            const char c = text_[pos_];
            if (c == '"') {
                ++pos_;
                return out;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (++pos_ >= text_.size() || !Escape(out)) return std::nullopt;
        }
        return std::nullopt;
    }

    bool Escape(std::string& out) {
        switch (text_[pos_]) {
            case '"':
            case '\\':
            case '/':
                out += text_[pos_];
                return true;
            case 'b':
                out += '\b';
                return true;
            case 'f':
                out += '\f';
                return true;
            case 'n':
                out += '\n';
                return true;
            case 'r':
                out += '\r';
                return true;
            case 't':
                out += '\t';
                return true;
            case 'u':
                return Unicode(out);
            default:
                return false;
        }
    }

    std::optional<std::uint32_t> Hex4() {
        if (pos_ + 4 >= text_.size()) return std::nullopt;
        std::uint32_t value = 0;
        const char* begin = text_.data() + pos_ + 1;
        const auto [end, error] = std::from_chars(begin, begin + 4, value, 16);
        if (error != std::errc() || end != begin + 4) return std::nullopt;
        pos_ += 4;
        return value;
    }

    // \uXXXX, with a surrogate pair as one code point, into UTF-8.
    bool Unicode(std::string& out) {
        auto code = Hex4();
        if (!code) return false;
        if (*code >= 0xD800 && *code < 0xDC00 && text_.substr(pos_ + 1, 2) == "\\u") {
            pos_ += 2;
            const auto low = Hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) return false;
            *code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
        }
        AppendUtf8(out, *code);
        return true;
    }

    static void AppendUtf8(std::string& out, std::uint32_t code) {
        auto byte = [&out](std::uint32_t b) { out += static_cast<char>(b); };
        if (code < 0x80) {
            byte(code);
        } else if (code < 0x800) {
            byte(0xC0 | (code >> 6));
            byte(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            byte(0xE0 | (code >> 12));
            byte(0x80 | ((code >> 6) & 0x3F));
            byte(0x80 | (code & 0x3F));
        } else {
            byte(0xF0 | (code >> 18));
            byte(0x80 | ((code >> 12) & 0x3F));
            byte(0x80 | ((code >> 6) & 0x3F));
            byte(0x80 | (code & 0x3F));
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Member(std::string_view name) const {
    const Object* object = AsObject();
    if (object == nullptr) return nullptr;
    const auto found = object->find(name);
    return found == object->end() ? nullptr : &found->second;
}

std::optional<std::string> JsonValue::String(std::string_view name) const {
    const JsonValue* member = Member(name);
    if (member == nullptr) return std::nullopt;
    const auto* text = std::get_if<std::string>(&member->value_);
    return text ? std::optional(*text) : std::nullopt;
}

std::optional<double> JsonValue::Number(std::string_view name) const {
    const JsonValue* member = Member(name);
    if (member == nullptr) return std::nullopt;
    const auto* number = std::get_if<double>(&member->value_);
    return number ? std::optional(*number) : std::nullopt;
}

std::optional<JsonValue> ParseJson(std::string_view text) {
    return Parser(text).Document();
}

}  // namespace zorva::offsite
