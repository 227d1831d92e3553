#include "host/strict_json.h"

#include <algorithm>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/utf8.h"
#include "host/scenario.h"

namespace tallyrig::host::strict_json {
namespace {

using Object = Json::object_t;

// Far deeper than any valid scenario; it bounds the memory a hostile file can make us spend.
constexpr std::size_t kMaxDepth = 64;

bool isIdentifier(std::string_view key) {
  if (key.empty() || (key[0] >= '0' && key[0] <= '9')) return false;
  for (const char c : key) {
    const bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

// Index of the first NUL byte or the first byte that does not start a well-formed UTF-8
// sequence, or npos. The parser would take a NUL for the end of the text and ignore the rest.
std::size_t firstBadByte(std::string_view text) {
  return std::min(text.find('\0'), firstInvalidUtf8(text));
}

// Columns count characters, as editors do; a leading byte order mark is invisible there.
std::string lineColumn(std::string_view text, std::size_t offset) {
  if (offset > text.size()) offset = text.size();
  std::size_t i = text.substr(0, 3) == "\xEF\xBB\xBF" && offset >= 3 ? 3 : 0;
  std::size_t line = 1;
  std::size_t column = 1;
  for (; i < offset; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      ++line;
      column = 1;
    } else if ((c & 0xC0) != 0x80) {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// nlohmann's message without its prefix and without the echo of the input, which may hold any
// bytes. Its words exist only in that text: the error's kind (101 for every syntax error) and
// position tell neither what was wrong with a token nor what the parser expected instead.
std::string syntaxProblem(const nlohmann::detail::exception& error) {
  const std::string_view what = error.what();
  const std::size_t dash = what.find(" - ");
  if (dash == std::string_view::npos) return "invalid JSON";
  std::string_view detail = what.substr(dash + 3);
  detail = detail.substr(0, detail.find("; last read: "));
  for (const char c : detail) {
    if (c < ' ' || c > '~') return "invalid JSON";
  }
  return "invalid JSON: " + std::string(detail);
}

// Builds the tree while rejecting duplicate keys and absurd nesting, which the plain parser
// lets through.
class TreeBuilder final : public nlohmann::json_sax<Json> {
 public:
  TreeBuilder(std::string_view text, const std::string& label) : text_(text), label_(label) {}

  Document take() { return Document{std::move(root_), std::move(longIntegers_)}; }

  bool null() override { return put(nullptr); }
  bool boolean(bool value) override { return put(value); }
  bool number_integer(number_integer_t value) override { return put(value); }
  bool number_unsigned(number_unsigned_t value) override { return put(value); }
  bool number_float(number_float_t value, const string_t& text) override {
    put(value);
    // An integer too long for 64 bits arrives as a float; its digits make a clearer message.
    if (text.find_first_of(".eE") == string_t::npos) longIntegers_[pathTo(stack_.size())] = text;
    return true;
  }
  bool string(string_t& value) override { return put(std::move(value)); }
  bool binary(binary_t& /*value*/) override { return false; }
  bool start_object(std::size_t /*size*/) override { return open(Json::object()); }
  bool end_object() override { return close(); }
  bool start_array(std::size_t /*size*/) override { return open(Json::array()); }
  bool end_array() override { return close(); }

  bool key(string_t& name) override {
    Frame& top = stack_.back();
    if (!top.keys.insert(name).second) {
      reject(label_, shown(pathTo(stack_.size() - 1)), "duplicate key " + quote(name));
    }
    top.key = name;
    // Straight into the underlying vector: the keys are already known to be unique.
    top.value->get_ref<Object&>().emplace_back(std::move(name), nullptr);
    return true;
  }

  bool parse_error(std::size_t position, const std::string& lastToken,
                   const nlohmann::detail::exception& error) override {
    // 406 comes after the whole number was read; the others point at the offending character.
    if (error.id == 406) {
      const std::size_t start = position >= lastToken.size() ? position - lastToken.size() : 0;
      reject(label_, lineColumn(text_, start), "number " + lastToken + " is too large");
    }
    reject(label_, lineColumn(text_, position > 0 ? position - 1 : 0), syntaxProblem(error));
  }

 private:
  struct Frame {
    Json* value;
    std::string key;  // the member being read, when value is an object
    std::unordered_set<std::string> keys;
  };

  Json* slot() {
    if (stack_.empty()) return &root_;
    Json& top = *stack_.back().value;
    if (top.is_array()) {
      top.get_ref<Json::array_t&>().emplace_back();
      return &top.get_ref<Json::array_t&>().back();
    }
    return &top.get_ref<Object&>().back().second;
  }

  template <typename T>
  bool put(T&& value) {
    *slot() = Json(std::forward<T>(value));
    return true;
  }

  bool open(Json container) {
    Json* value = slot();
    *value = std::move(container);
    stack_.push_back(Frame{value, {}, {}});
    if (stack_.size() > kMaxDepth) {
      reject(label_, shown(pathTo(stack_.size() - 1)),
             "nesting is deeper than " + std::to_string(kMaxDepth) + " levels");
    }
    return true;
  }

  bool close() {
    stack_.pop_back();
    return true;
  }

  std::string pathTo(std::size_t depth) const {
    std::string path;
    for (std::size_t i = 0; i < depth; ++i) {
      const Frame& frame = stack_[i];
      path = frame.value->is_array() ? element(path, frame.value->size() - 1)
                                     : member(path, frame.key);
    }
    return path;
  }

  std::string_view text_;
  const std::string& label_;
  Json root_;
  std::vector<Frame> stack_;
  std::map<std::string, std::string> longIntegers_;
};

}  // namespace

Document parse(std::string_view text, const std::string& label) {
  // Checked up front so that bad bytes outside strings get the same message as inside them.
  if (const std::size_t bad = firstBadByte(text); bad != std::string_view::npos) {
    reject(label, lineColumn(text, bad),
           text[bad] == '\0' ? "invalid JSON: unexpected NUL byte" : "not valid UTF-8");
  }
  TreeBuilder builder(text, label);
  if (!Json::sax_parse(text.data(), text.data() + text.size(), &builder)) {
    reject(label, "(document)", "invalid JSON");
  }
  return builder.take();
}

void reject(const std::string& label, const std::string& where, const std::string& problem) {
  throw ScenarioError(label + ": " + where + ": " + problem);
}

std::string quote(std::string_view text) {
  return Json(std::string(text)).dump();
}

std::string member(const std::string& path, std::string_view key) {
  if (!isIdentifier(key)) return path + "[" + quote(key) + "]";
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::string element(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

std::string shown(const std::string& path) {
  return path.empty() ? "(document)" : path;
}

}  // namespace tallyrig::host::strict_json
