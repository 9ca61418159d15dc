#include "supervision/file_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/temp_folder.h"
#include "daemon/daemon.h"
#include "daemon/platform_seams.h"
#include "watchdog_fakes.h"

namespace {

namespace fs = std::filesystem;
using testing_support::FakeClock;
using testing_support::RecordedLog;
using testing_support::TempFolder;

void Touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
}

std::string Folder(const fs::path& path) {
    return (path / "").string();
}

std::vector<std::string> Sorted(FileList list) {
    std::sort(list.begin(), list.end());
    return list;
}

TEST(CountMatchingFiles, NamesExtensionsKeysAndSubFolders) {
    TempFolder temp;
    const fs::path dir = temp.path() / "pic";
    for (const char* name : {"aL001.jpg", "L001.JPG", "l001.jpg", "xL001y.jpg", "L001.jpeg",
                             "L001.jpg.txt", "L001jpg", "L002.jpg"}) {
        Touch(dir / name);
    }
    fs::create_directories(dir / "subL001.jpg");
    fs::create_directories(dir / "sub.jpg");

    FileList list;
    CountMatchingFiles(dir.string(), "jpg", list, "");
    const std::string d = Folder(dir);
    EXPECT_EQ(Sorted(list), (std::vector<std::string>{d + "L001.JPG", d + "aL001.jpg",
                                                      d + "subL001.jpg", d + "xL001y.jpg"}));

    // A trailing separator is not doubled, and the list is appended to.
    CountMatchingFiles(d, "JPG", list, "");
    EXPECT_EQ(list.size(), 8u);

    // The supervisor's member counts the same way.
    CDaemon daemon;
    FileList viaDaemon;
    daemon.CountFiles(dir.string(), "jpg", viaDaemon, "");
    EXPECT_EQ(Sorted(viaDaemon), Sorted(FileList(list.begin(), list.begin() + 4)));
}

TEST(CountMatchingFiles, KeyMustAppearExactlyAnywhereInTheName) {
    TempFolder temp;
    const fs::path dir = temp.path() / "xml";
    for (const char* name : {"20261208_L001.xml", "x_L001_20261208.XML", "20261208_l001.xml",
                             "20261209_L001.xml", "L001.xml.20261208"}) {
        Touch(dir / name);
    }
    struct Case {
        const char* extension;
        const char* key;
        std::size_t count;
    };
    const Case cases[] = {
        {"xml", "20261208", 2u}, {"xml", "", 3u},        {"", "20261208", 3u},
        {"xml", "2026120", 3u},  {"xml", "nothing", 0u},
    };
    for (const Case& c : cases) {
        FileList list;
        CountMatchingFiles(dir.string(), c.extension, list, c.key);
        EXPECT_EQ(list.size(), c.count) << c.extension << " " << c.key;
    }
}

TEST(CountMatchingFiles, MissingFolderAddsNothing) {
    TempFolder temp;
    FileList list{"kept"};
    CountMatchingFiles((temp.path() / "absent").string(), "jpg", list, "");
    EXPECT_EQ(list, (std::vector<std::string>{"kept"}));
}

// Real folders with the layout the applications write.
struct CheckFixture : ::testing::Test {
    TempFolder temp;
    AppConfig config;
    RecordedLog log{config};
    DirectoryFileCounter counter;
    FakeClock clock;
    std::vector<unsigned>& sleeps = clock.sleeps;
    const std::string key = "20261208100000";

    void SetUp() override {
        config.name = "app";
        config.picMonitor = Folder(temp.path() / "pic");
        config.fileMonitor[0] = Folder(temp.path() / "xml1");
        config.fileMonitor[1] = Folder(temp.path() / "xml2");
        fs::create_directories(temp.path() / "pic" / key);
        fs::create_directories(temp.path() / "xml1");
        fs::create_directories(temp.path() / "xml2");
    }
    void Pictures(int n) {
        for (int i = 0; i < n; ++i) {
            Touch(temp.path() / "pic" / key / (std::to_string(i) + "L001.jpg"));
        }
    }
    void Xml(const char* folder, int n) {
        for (int i = 0; i < n; ++i) {
            Touch(temp.path() / folder / (key + "_" + std::to_string(i) + "_L001.xml"));
        }
    }
    ResultFileCounts Check(const std::string& serial = "S1") {
        const size_t before = log.Console().size();
        ResultFileCounts counts = CheckResultFiles(config, key, serial, counter, clock, log.sink);
        console = log.Console().substr(before);
        return counts;
    }
    std::string console;
};

TEST_F(CheckFixture, EverythingFoundAtOnceNeitherLogsNorSleeps) {
    Pictures(3);
    Xml("xml1", 2);
    Xml("xml2", 1);
    ResultFileCounts counts = Check();
    EXPECT_EQ(counts.pictures, 3);
    EXPECT_EQ(counts.xmlFiles, 3);
    EXPECT_FALSE(counts.mismatch);
    EXPECT_TRUE(sleeps.empty());
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_EQ(console, "");
}

TEST_F(CheckFixture, NothingFoundTriesThreeTimesOfEachKind) {
    ResultFileCounts counts = Check();
    EXPECT_EQ(counts.pictures, 0);
    EXPECT_EQ(counts.xmlFiles, 0);
    EXPECT_FALSE(counts.mismatch);
    EXPECT_EQ(sleeps, (std::vector<unsigned>(6, 1000u)));
    const std::string f = "FATAL|CDaemon::DaemonThread|";
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{
                  f + "0|app try find pic 20261208100000\\L001.jpg 0 number of times",
                  f + "1|app try find pic 20261208100000\\L001.jpg 1 number of times",
                  f + "2|app try find pic 20261208100000\\L001.jpg 2 number of times",
                  f + "0|app try find xml 20261208100000_L001.xml 0 number of times",
                  f + "1|app try find xml 20261208100000_L001.xml 1 number of times",
                  f + "2|app try find xml 20261208100000_L001.xml 2 number of times"}));
}

TEST_F(CheckFixture, ThreePicturesOneXmlIsAMismatch) {
    Pictures(3);
    Xml("xml2", 1);
    ResultFileCounts counts = Check();
    EXPECT_TRUE(counts.mismatch);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"FATAL|CDaemon::DaemonThread|0|app find pic "
                                                     "count:3 != find file count:1"}));
    EXPECT_EQ(console, "find pic count:3 != find file count:1\n");
}

TEST_F(CheckFixture, MismatchNeedsPicturesASerialAndAnXmlCountOtherThanTwo) {
    Pictures(3);
    Xml("xml1", 2);
    EXPECT_FALSE(Check().mismatch);  // exactly two XML files
    Xml("xml2", 2);
    EXPECT_TRUE(Check().mismatch);     // four
    EXPECT_FALSE(Check("").mismatch);  // no serial
}

TEST_F(CheckFixture, PicturesWithoutXmlFilesAreAMismatchAfterThreeTries) {
    Pictures(3);
    ResultFileCounts counts = Check();
    EXPECT_TRUE(counts.mismatch);
    EXPECT_EQ(counts.xmlFiles, 0);
    EXPECT_EQ(sleeps.size(), 3u);
    EXPECT_EQ(log.Lines().size(), 4u);
}

TEST_F(CheckFixture, PictureMarkIsCaseSensitiveAndSubFoldersCount) {
    // Names that differ only in case cannot sit side by side on Windows.
    const fs::path train = temp.path() / "pic" / key;
    Touch(train / "l001.jpg");
    fs::create_directories(train / "xL001.jpg");
    Xml("xml1", 2);
    EXPECT_EQ(Check().pictures, 1);
    fs::remove(train / "l001.jpg");
    Touch(train / "L001.JPG");
    EXPECT_EQ(Check().pictures, 2);
}

TEST_F(CheckFixture, FolderAfterAnEmptyEntryIsNeverSearched) {
    Pictures(1);
    Xml("xml1", 1);
    Xml("xml2", 5);
    config.fileMonitor[1].clear();
    config.fileMonitor[2] = Folder(temp.path() / "xml2");
    EXPECT_EQ(Check().xmlFiles, 1);
}

TEST_F(CheckFixture, EmptyPictureFolderStillLogsAndSleeps) {
    Pictures(2);
    Xml("xml1", 1);
    config.picMonitor.clear();
    ResultFileCounts counts = Check();
    EXPECT_EQ(counts.pictures, 0);
    EXPECT_FALSE(counts.mismatch);
    EXPECT_EQ(sleeps.size(), 3u);
}

// Counts found late: a fake that finds files from a given try on.
struct LateCounter : FileCounter {
    int picturesFromCall = 0;
    int calls = 0;
    std::vector<std::string> folders;
    void CountFiles(const std::string& folder, const std::string& extension, FileList& list,
                    const std::string&) override {
        folders.push_back(folder);
        if (extension == "jpg" && calls++ >= picturesFromCall) {
            list.push_back(folder + "L001.jpg");
        }
    }
};

TEST(CheckTries, FilesFoundOnTheSecondTryStopTheTrying) {
    AppConfig config;
    RecordedLog log{config};
    config.name = "app";
    config.picMonitor = "P\\";
    LateCounter counter;
    counter.picturesFromCall = 1;
    FakeClock clock;
    ResultFileCounts counts = CheckResultFiles(config, "K", "", counter, clock, log.sink);
    EXPECT_EQ(counts.pictures, 1);
    EXPECT_EQ(counter.folders, (std::vector<std::string>{"P\\K", "P\\K"}));
    // One failed picture try, then three XML tries with no folder to search.
    EXPECT_EQ(clock.sleeps.size(), 4u);
    EXPECT_EQ(log.Lines().size(), 4u);
}

}  // namespace
