#pragma once

// The JSON layer of the scenario reader: the text must be UTF-8 without NUL bytes, a key may
// appear once in an object, nesting is bounded, and every problem is reported as
// "label: where: problem", where is a line and column or the path to a value.

#include <cstddef>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace tallyrig::host::strict_json {

// Ordered, so that the first problem reported is the first one in the file.
using Json = nlohmann::ordered_json;

struct Document {
  Json tree;
  // The literal text of each integer too long for 64 bits, by its path.
  std::map<std::string, std::string> longIntegers;
};

// Throws ScenarioError when `text` is not one such document.
Document parse(std::string_view text, const std::string& label);

// Throws ScenarioError with "label: where: problem".
[[noreturn]] void reject(const std::string& label, const std::string& where,
                         const std::string& problem);

// A text of the document as a JSON string literal: quoted, control characters escaped.
std::string quote(std::string_view text);

// Paths to values as messages show them: world.players[0].name, ratings["a b"].
std::string member(const std::string& path, std::string_view key);
std::string element(const std::string& path, std::size_t index);
std::string shown(const std::string& path);

}  // namespace tallyrig::host::strict_json
