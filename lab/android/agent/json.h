// Just enough JSON for canonical dumps: members sorted by key, no floats.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace lab::json {

// A quoted string. Valid UTF-8 passes through; bytes that are not UTF-8
// become \u00XX of their byte value, so every input gives one fixed text.
std::string quote(std::string_view text);

// An object of already rendered member values, keys in byte order.
class Object {
  public:
    Object& add(const std::string& key, std::string_view text); // skipped when empty
    Object& add(const std::string& key, int64_t number);
    Object& raw(const std::string& key, std::string rendered);
    std::string render() const;

  private:
    std::map<std::string, std::string> members_;
};

// An array, one element per line.
std::string array(const std::vector<std::string>& rendered);

} // namespace lab::json
