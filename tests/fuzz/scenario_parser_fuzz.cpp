// Any bytes as a scenario file. The parser either gives a scenario, for a document that is JSON
// with version 1, or throws a ScenarioError whose message is one line of UTF-8 naming the file
// and a location. Anything else (another exception, a crash, a sanitizer report) is a bug.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "host/scenario.h"

namespace {

[[noreturn]] void broken(const char* what, std::string_view detail) {
  std::fprintf(stderr, "scenario parser: %s: %.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

bool validUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if ((lead >= 0x80 && lead < 0xC2) || lead > 0xF4 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string label = "fuzz.json";
  try {
    const tallyrig::host::Scenario scenario = tallyrig::host::parseScenario(text, label);
    // What the parser accepted is JSON to any other reader too, with the same steps.
    const auto document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) broken("accepted non-JSON", text);
    if (document.value("version", 0) != 1) broken("accepted a version other than 1", text);
    const auto steps = document.find("steps");
    const std::size_t count = steps == document.end() ? 0 : steps->size();
    if (count != scenario.steps.size()) broken("lost or made up steps", text);
  } catch (const tallyrig::host::ScenarioError& error) {
    const std::string_view message = error.what();
    if (message.rfind(label + ": ", 0) != 0) broken("message does not name the file", message);
    const std::string_view rest = message.substr(label.size() + 2);
    const std::size_t colon = rest.find(": ");
    if (colon == 0 || colon == std::string_view::npos || colon + 2 >= rest.size()) {
      broken("message lacks a location or a problem", message);
    }
    if (message.find_first_of("\r\n") != std::string_view::npos) {
      broken("message spans lines", message);
    }
    if (!validUtf8(message)) broken("message is not UTF-8", message);
  }
  return 0;
}
