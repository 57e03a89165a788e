#pragma once

// Filling in a text's places: "%1" to "%9" stand for the first to the ninth argument, as
// in the Windows string table the program's texts follow. Pure.

#include <initializer_list>
#include <string>
#include <string_view>

namespace qv {

// `format` with every "%1".."%9" replaced by that argument (UTF-8). A place without an
// argument, and any other "%", stay as they are; what is put in is not looked at again.
std::string substitute(std::string_view format, std::initializer_list<std::string_view> arguments);

} // namespace qv
