#include "trackside-sim/result_files.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

TEST(ResultFileNames, HoldWhatTheSupervisorMatches) {
    // Pictures: "L001" in the name, extension jpg; XML files: the key and
    // "L001" in the name, extension xml.
    for (int i : {1, 2, 10, 999}) {
        std::string picture = PictureName(i);
        EXPECT_NE(picture.find("L001"), std::string::npos) << picture;
        EXPECT_EQ(picture.substr(picture.size() - 4), ".jpg") << picture;
        std::string xml = XmlFileName("20261208140327", i);
        EXPECT_EQ(xml.find("20261208140327"), 0u) << xml;
        EXPECT_NE(xml.find("L001"), std::string::npos) << xml;
        EXPECT_EQ(xml.substr(xml.size() - 4), ".xml") << xml;
    }
    EXPECT_EQ(PictureName(1), "L001_001.jpg");
    EXPECT_EQ(XmlFileName("20261208140327", 12), "20261208140327_L001_012.xml");
    EXPECT_NE(PictureName(1), PictureName(2));
}

TEST(JoinPath, AddsOneSeparator) {
    struct Case {
        const char* folder;
        char separator;
        const char* joined;
    } cases[] = {
        {"/tmp/pics", '/', "/tmp/pics/x"}, {"/tmp/pics/", '/', "/tmp/pics/x"},
        {"C:\\pics", '\\', "C:\\pics\\x"}, {"C:\\pics\\", '\\', "C:\\pics\\x"},
        {"C:/pics/", '\\', "C:/pics/x"},   {"", '/', "x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JoinPath(c.folder, "x", c.separator), c.joined) << c.folder;
    }
}

TEST(TrainResultFiles, PutsPicturesInTheKeyFolderAndXmlBesideThem) {
    std::vector<ResultFile> files =
        TrainResultFiles("/r/pics", "/r/xml/", "20261208140327", "2026-12-08 14:03:27", 2, 3, '/');
    ASSERT_EQ(files.size(), 5u);
    EXPECT_EQ(files[0].folder, "/r/pics/20261208140327");
    EXPECT_EQ(files[0].path, "/r/pics/20261208140327/L001_001.jpg");
    EXPECT_EQ(files[1].path, "/r/pics/20261208140327/L001_002.jpg");
    EXPECT_EQ(files[2].folder, "/r/xml/");
    EXPECT_EQ(files[2].path, "/r/xml/20261208140327_L001_001.xml");
    EXPECT_EQ(files[4].path, "/r/xml/20261208140327_L001_003.xml");
    EXPECT_EQ(files[0].content.substr(0, 2), "\xFF\xD8");
    EXPECT_NE(files[2].content.find("<time>2026-12-08 14:03:27</time>"), std::string::npos);
}

TEST(TrainResultFiles, LeavesOutAKindWithoutFolder) {
    EXPECT_EQ(TrainResultFiles("", "x", "k", "t", 3, 2, '/').size(), 2u);
    EXPECT_EQ(TrainResultFiles("p", "", "k", "t", 3, 2, '/').size(), 3u);
    EXPECT_TRUE(TrainResultFiles("p", "x", "k", "t", 0, 0, '/').empty());
}

TEST(TrainResultFiles, UsesTheWindowsSeparator) {
    std::vector<ResultFile> files =
        TrainResultFiles("Z:\\d\\pics", "Z:\\d\\xml", "k1", "t", 1, 1, '\\');
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].path, "Z:\\d\\pics\\k1\\L001_001.jpg");
    EXPECT_EQ(files[1].path, "Z:\\d\\xml\\k1_L001_001.xml");
}

}  // namespace
}  // namespace sim
