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
// if given, is set; no exception leaves the call. `loaded`, if given, sees
// the loaded document first (to read what the walk does not).
int WalkConfigFile(const std::string& configPath, const AppConfigSink& take,
                   bool* outOfMemory = nullptr,
                   const std::function<void(CXmlDocument&)>& loaded = nullptr);

// Loads `configPath` into `document` as the daemon loads config.xml. False
// when it cannot be used (missing, unreadable, not well-formed:
// document.GetOutcome() tells which); then, when memory ran out,
// `*outOfMemory` (if given) is set. No exception leaves it.
bool LoadConfigDocument(const std::string& configPath, CXmlDocument& document,
                        bool* outOfMemory = nullptr);

// Walks an already parsed document from its top level.
int WalkConfigDocument(CXmlDocument& document, const AppConfigSink& take);

// The status snapshot's folder: the `folder` attribute of the first `status`
// element directly inside the top `config` element, made absolute against
// `configFolder` (the folder of config.xml, with its separator) when it is
// relative. Empty when there is no such element or its folder is empty: the
// snapshot is off. The walk of the applications never looks at `status`.
std::string StatusFolder(CXmlDocument& document, const std::string& configFolder);

// Appends the path separator to a non-empty folder that does not end in one.
std::string NormaliseFolder(const std::string& folder);
