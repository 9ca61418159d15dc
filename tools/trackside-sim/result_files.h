// Names and contents of a train's result files, where the supervisor looks
// for them: pictures in a folder named after the train key, XML files named
// with the key, both with "L001" in their names.
#pragma once

#include <string>
#include <vector>

namespace sim {

struct ResultFile {
    std::string folder;
    std::string path;
    std::string content;
};

// `folder` and `name` joined by `separator`, without doubling one that
// `folder` already ends with; `name` alone when `folder` is empty.
std::string JoinPath(const std::string& folder, const std::string& name, char separator);

// "L001_001.jpg", "L001_002.jpg", ... for index 1, 2, ...
std::string PictureName(int index);

// "<key>_L001_001.xml", ... for index 1, 2, ...
std::string XmlFileName(const std::string& key, int index);

// Every file of one train: `pictures` pictures in <pictureFolder>/<key>/ and
// `xmlFiles` XML files in `xmlFolder`. A kind whose folder is empty is left
// out.
std::vector<ResultFile> TrainResultFiles(const std::string& pictureFolder,
                                         const std::string& xmlFolder, const std::string& key,
                                         const std::string& timeText, int pictures, int xmlFiles,
                                         char separator);

}  // namespace sim
