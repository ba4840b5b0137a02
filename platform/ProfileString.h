#pragma once

// Reading one value of an ini file with the rules of the platform's profile-string service, which the
// server's own tools use for "tavrel.ini" (key SCPFILES of section [TAVREL]):
//  - section and key names are compared without regard to case (ASCII), with blanks around them ignored;
//  - lines starting with ";" (after blanks) are comments; a line without "=" inside a section is a key
//    with an empty value;
//  - only the first section of that name is searched, and the first matching key in it wins;
//  - the value loses its surrounding blanks, then one pair of matching quotes (" or ') around it;
//  - a missing file, section or key gives the default, with its trailing blanks removed;
//  - the result is cut to bufferSize - 1 characters, as a buffer of bufferSize bytes with its
//    terminating zero would hold (bufferSize 0 gives "").
// Lines may end in "\n" or "\r\n". A file name whose exact spelling does not exist is looked up without
// regard to case (see ResolvePathCase).

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace frostmark {

std::string GetProfileString(const std::filesystem::path& iniFile, std::string_view section,
                             std::string_view key, std::string_view defaultValue, std::size_t bufferSize);

// The same rules over text already in memory.
std::string GetProfileStringFromText(std::string_view iniText, std::string_view section, std::string_view key,
                                     std::string_view defaultValue, std::size_t bufferSize);

} // namespace frostmark
