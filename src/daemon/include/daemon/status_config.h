// What the status snapshot says of config.xml: how many of zelkctl check's
// pitfalls the daemon's own file has, with the platform's answers on folders
// and programs as the daemon sees them.
#pragma once

#include <cstdint>
#include <string>

class CXmlDocument;

// The findings of the configuration check of the loaded `document`;
// `configFolder` is the folder of config.xml with its separator.
int32_t CountConfigPitfalls(CXmlDocument& document, const std::string& configFolder);
