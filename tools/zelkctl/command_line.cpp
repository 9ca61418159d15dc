#include "zelkctl/command_line.h"

#include <algorithm>

#include "journal/event.h"

namespace zelkctl {

namespace {

bool IsHelp(const std::string& argument) {
    return argument == "--help" || argument == "-h" || argument == "/?";
}

// The commands' names as "a, b, c" and the last after `last` ("and", "or").
std::string NameList(const CommandEntry* const* commands, std::size_t count, const char* last) {
    std::string list;
    for (std::size_t i = 0; i < count; ++i) {
        list += (i == 0 ? "" : i + 1 == count ? std::string(" ") + last + " " : ", ");
        list += commands[i]->name;
    }
    return list;
}

int IndexNamed(const CommandEntry* const* commands, std::size_t count, const std::string& name) {
    for (std::size_t i = 0; i < count; ++i) {
        if (name == commands[i]->name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

bool ChooseCommand(const CommandEntry* const* commands, std::size_t count,
                   const std::vector<std::string>& arguments, int* chosen, bool* help,
                   std::string* error) {
    *chosen = -1;
    *help = false;
    if (arguments.empty()) {
        *error = "no command given: " + NameList(commands, count, "or");
        return false;
    }
    const std::string& first = arguments[0];
    if (IsHelp(first) || first == "help") {
        *help = true;
        if (arguments.size() > 1) {
            *chosen = IndexNamed(commands, count, arguments[1]);
            if (*chosen < 0) {
                *error = "no help on \"" + arguments[1] + "\": the commands are " +
                         NameList(commands, count, "and");
                return false;
            }
        }
        return true;
    }
    *chosen = IndexNamed(commands, count, first);
    if (*chosen < 0) {
        *error = "unknown command \"" + first + "\": the commands are " +
                 NameList(commands, count, "and");
        return false;
    }
    return true;
}

std::string ToolHelp(const CommandEntry* const* commands, std::size_t count) {
    std::string text =
        "Usage: zelkctl COMMAND [OPTIONS]\n\nThe operator's tool of ZELK_Daemon.\n\nCommands:\n";
    for (std::size_t i = 0; i < count; ++i) {
        text += commands[i]->summary;
    }
    return text + "\nzelkctl help COMMAND, or zelkctl COMMAND --help, tells more.\n";
}

OptionScanner::OptionScanner(const std::vector<std::string>& arguments) : arguments_(&arguments) {}

bool OptionScanner::Next() {
    if (at_ + 1 >= arguments_->size()) {
        return false;
    }
    const std::string& argument = (*arguments_)[++at_];
    const std::size_t equals = argument.find('=');
    hasValue_ = argument.compare(0, 2, "--") == 0 && equals != std::string::npos;
    name_ = hasValue_ ? argument.substr(0, equals) : argument;
    value_ = hasValue_ ? argument.substr(equals + 1) : std::string();
    return true;
}

bool OptionScanner::Help() const {
    return !hasValue_ && IsHelp(name_);
}

bool OptionScanner::Value(const char* noun, std::string* value, std::string* error) {
    if (!hasValue_ && at_ + 1 < arguments_->size()) {
        value_ = (*arguments_)[++at_];
        hasValue_ = true;
    }
    if (!hasValue_ || value_.empty()) {
        *error = name_ + " needs a " + noun;
        return false;
    }
    *value = value_;
    return true;
}

bool OptionScanner::OptionalValue(std::string* value) {
    if (!hasValue_ && at_ + 1 < arguments_->size() &&
        (*arguments_)[at_ + 1].compare(0, 1, "-") != 0) {
        value_ = (*arguments_)[++at_];
        hasValue_ = true;
    }
    *value = value_;
    return hasValue_;
}

bool OptionScanner::Unexpected(std::string* error) const {
    const std::string& command = (*arguments_)[0];
    *error = name_.compare(0, 1, "-") == 0
                 ? "unknown option " + Argument() + " of " + command
                 : "unexpected argument \"" + Argument() + "\" of " + command;
    return false;
}

bool SetOnce(const std::string& name, const std::string& value, std::string* target,
             std::string* error) {
    if (!target->empty()) {
        *error = name + " given twice";
        return false;
    }
    *target = value;
    return true;
}

bool EndsWithNoCase(const std::string& text, const std::string& end) {
    if (text.size() < end.size()) {
        return false;
    }
    return std::equal(
        end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
        [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

bool IsJournalOption(const OptionScanner& scan) {
    return scan.Is("--config") || scan.Is("--journal") || scan.Is("--app");
}

bool TakeJournalOption(const std::string& name, const std::string& value, JournalChoice* choice,
                       std::string* error) {
    if (name == "--app") {
        choice->apps.push_back(value);
        return true;
    }
    return SetOnce(name, value, name == "--config" ? &choice->configPath : &choice->journalFolder,
                   error);
}

bool ConfigExcludes(const std::string& configPath, const std::string& other, const char* otherName,
                    std::string* error) {
    if (!configPath.empty() && !other.empty()) {
        *error = std::string("--config and ") + otherName + " exclude each other";
        return false;
    }
    return true;
}

bool CheckJournalChoice(const JournalChoice& choice, std::string* error) {
    return ConfigExcludes(choice.configPath, choice.journalFolder, "--journal", error);
}

std::string KindList() {
    std::string list;
    for (const std::string& name : journal::KnownKindNames()) {
        list += (list.empty() ? "" : ", ") + name;
    }
    return list;
}

}  // namespace zelkctl
