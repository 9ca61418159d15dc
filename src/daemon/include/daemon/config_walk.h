// Reading config.xml into AppConfig records: the `app` elements of the top
// `config` element, in document order, at most kMaxApplications of them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "daemon/app_config.h"

class CXmlDocument;

// Receives each filled record as soon as it is read; the walk goes on to the
// next `app` element only when the sink returns.
using AppConfigSink = std::function<void(std::unique_ptr<AppConfig>)>;

// Loads `configPath` and walks it. A file that cannot be loaded or is not
// well-formed, or whose top element is not `config`, gives no record.
// Returns the number of records handed to `take`. When memory runs out the
// walk ends there (the records handed on so far stay) and `*outOfMemory`,
// if given, is set; no exception leaves the call.
int WalkConfigFile(const std::string& configPath, const AppConfigSink& take,
                   bool* outOfMemory = nullptr);

// Walks an already parsed document from its top level.
int WalkConfigDocument(CXmlDocument& document, const AppConfigSink& take);

// Appends the path separator to a non-empty folder that does not end in one.
std::string NormaliseFolder(const std::string& folder);
