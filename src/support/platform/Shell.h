#pragma once

#include <string>
#include <string_view>

namespace sonlet {

// Opens a document, folder or address with the desktop's handler for it and returns at once;
// whether that works is not reported. parameters go to the handler on Windows; xdg-open
// takes the one path only.
void RunDocument(const std::string& file, const std::string& parameters = {});

// The short (8.3) form of an existing path on Windows; elsewhere the path itself.
std::string ShortPathName(const std::string& path);

// The full path of the running program file; empty when the system does not tell it.
std::string ProgramFilePath();

} // namespace sonlet
