#include "trackside-sim/result_files.h"

#include <cstdio>

#include "common/xml_text.h"

namespace sim {

namespace {
std::string Numbered(int index) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", index);
    return digits;
}

// The smallest file a JPEG reader accepts as a start and an end of image.
const char kPictureBytes[] =
    "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xD9";
}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name, char separator) {
    if (folder.empty()) {
        return name;
    }
    char last = folder.back();
    if (last == separator || last == '/') {
        return folder + name;
    }
    return folder + separator + name;
}

std::string PictureName(int index) {
    return "L001_" + Numbered(index) + ".jpg";
}

std::string XmlFileName(const std::string& key, int index) {
    return key + "_L001_" + Numbered(index) + ".xml";
}

std::vector<ResultFile> TrainResultFiles(const std::string& pictureFolder,
                                         const std::string& xmlFolder, const std::string& key,
                                         const std::string& timeText, int pictures, int xmlFiles,
                                         char separator) {
    std::vector<ResultFile> files;
    if (!pictureFolder.empty()) {
        std::string folder = JoinPath(pictureFolder, key, separator);
        for (int i = 1; i <= pictures; ++i) {
            files.push_back({folder, JoinPath(folder, PictureName(i), separator),
                             std::string(kPictureBytes, sizeof kPictureBytes - 1)});
        }
    }
    if (!xmlFolder.empty()) {
        for (int i = 1; i <= xmlFiles; ++i) {
            files.push_back({xmlFolder, JoinPath(xmlFolder, XmlFileName(key, i), separator),
                             "<?xml version=\"1.0\"?>\r\n<result><time>" +
                                 tools::EscapeXmlText(timeText) + "</time><line>L001</line><part>" +
                                 std::to_string(i) + "</part></result>\r\n"});
        }
    }
    return files;
}

}  // namespace sim
