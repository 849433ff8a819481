// routersim.ini, the settings of a router's state: an INI file written with LF line ends, so
// that shell tools read it as it is (files with CR LF are read as well). Names compare without
// case. An update rewrites the file whole under a lock on the state folder: readers see the
// file before or after it, and the router and the commands beside it lose none of each other's.
#pragma once

#include <string>
#include <string_view>

namespace routersim
{
class StateIni
{
  public:
    StateIni(std::string path, std::string folder) : path_(std::move(path)), folder_(std::move(folder)) {}

    std::string Get(std::string_view section, std::string_view key, std::string_view fallback) const;
    // The value as a whole number, or `fallback` when it is missing or no number.
    int GetInt(std::string_view section, std::string_view key, int fallback) const;
    // Sets a value (creating the file and the section when missing); false when it cannot be kept.
    bool Set(std::string_view section, std::string_view key, std::string_view value) const;

  private:
    std::string path_;
    std::string folder_;
};
} // namespace routersim
