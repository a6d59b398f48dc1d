#pragma once
// The little JSON that restic's --json output needs: one document per line (backup progress)
// or one array (snapshots). Numbers are doubles (byte counts stay exact below 2^53).

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zorva::offsite {

class JsonValue {
public:
    using Array = std::vector<JsonValue>;
    using Object = std::map<std::string, JsonValue, std::less<>>;

    JsonValue() = default;
    explicit JsonValue(bool value) : value_(value) {}
    explicit JsonValue(double value) : value_(value) {}
    explicit JsonValue(std::string value) : value_(std::move(value)) {}
    explicit JsonValue(Array value) : value_(std::move(value)) {}
    explicit JsonValue(Object value) : value_(std::move(value)) {}

    const Array* AsArray() const { return std::get_if<Array>(&value_); }
    const Object* AsObject() const { return std::get_if<Object>(&value_); }
    const std::string* AsString() const { return std::get_if<std::string>(&value_); }
    bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
    // A member of an object; nullptr when this is no object or lacks it.
    const JsonValue* Member(std::string_view name) const;
    std::optional<std::string> String(std::string_view name) const;
    std::optional<double> Number(std::string_view name) const;

private:
    std::variant<std::monostate, bool, double, std::string, Array, Object> value_;
};

// nullopt for anything that is not exactly one JSON document (blanks around it allowed).
std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace zorva::offsite
