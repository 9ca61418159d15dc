// zelkctl's manual page keeps up with the tool: every command that
// "zelkctl --help" lists has its subsection and its line in the synopsis.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "zelkctl/options.h"

namespace zelkctl {
namespace {

// The commands of the tool's help: the words that start the lines indented
// by two spaces under "Commands:".
std::vector<std::string> HelpCommands() {
    std::istringstream help(HelpText(Command::kNone));
    std::vector<std::string> commands;
    bool inList = false;
    for (std::string line; std::getline(help, line);) {
        if (line == "Commands:") {
            inList = true;
        } else if (inList && line.empty()) {
            break;
        } else if (inList && line.size() > 2 && line.compare(0, 2, "  ") == 0 && line[2] != ' ') {
            commands.push_back(line.substr(2, line.find(' ', 2) - 2));
        }
    }
    return commands;
}

TEST(ZelkctlManual, HasEveryCommandOfTheHelp) {
    std::ifstream file(ZELK_MANUAL_PAGE);
    ASSERT_TRUE(file) << ZELK_MANUAL_PAGE;
    std::stringstream page;
    page << file.rdbuf();
    const std::string text = "\n" + page.str();
    const std::vector<std::string> commands = HelpCommands();
    ASSERT_FALSE(commands.empty());
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        EXPECT_NE(text.find("\n.SS " + command + "\n"), std::string::npos);
        EXPECT_NE(text.find("\n.B zelkctl " + command + "\n"), std::string::npos);
    }
}

}  // namespace
}  // namespace zelkctl
