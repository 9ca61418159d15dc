#include "platform/directory.h"

#include <io.h>

#include <cstdint>
#include <cstring>

namespace platform {

std::vector<std::string> ListFolder(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    // The C runtime's wildcard match of "*.<extension>" ignores letter case.
    const std::string pattern = folder + (extension.empty() ? "*" : "*." + extension);
    struct _finddata64i32_t found;
    const intptr_t search = _findfirst64i32(pattern.c_str(), &found);
    if (search == -1) {
        return names;
    }
    do {
        if (std::strcmp(found.name, ".") != 0 && std::strcmp(found.name, "..") != 0) {
            names.emplace_back(found.name);
        }
    } while (_findnext64i32(search, &found) == 0);
    _findclose(search);
    return names;
}

}  // namespace platform
