// zelkctl's command line without its effects: the table a command is one
// row of, the choice of the command, the tool's help, and the scanner every
// command reads its options with, with the options the journal's commands
// share.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zelkctl {

// The exit code of a command line that cannot be carried out, distinct from
// every answer a command gives (status: 0 to 2, and 3 is "unknown" anyway;
// check: 0 to 2).
constexpr int kUsageError = 3;

// One command of zelkctl: a row of the table main.cpp dispatches by.
struct CommandEntry {
    const char* name;
    // Its lines under "Commands:" in the tool's help, each ending in "\n".
    const char* summary;
    // Its --help text.
    std::string (*help)();
    // Reads the whole command line (arguments[0] is the command's name) and
    // carries the command out: the exit code.
    int (*main)(const std::vector<std::string>& arguments);
};

// What the tool's arguments ask for. `*chosen` is the command's index in
// `commands`, or -1 with `*help` for the tool's own help; `*help` set with
// a command: that command's help. False with `*error` when no command or
// an unknown one is given.
bool ChooseCommand(const CommandEntry* const* commands, std::size_t count,
                   const std::vector<std::string>& arguments, int* chosen, bool* help,
                   std::string* error);

// The tool's --help: the usage, then each command's summary.
std::string ToolHelp(const CommandEntry* const* commands, std::size_t count);

// Reads a command's options one argument at a time, after its name:
// "--name value" or "--name=value".
class OptionScanner {
  public:
    // `arguments[0]` is the command's name, which errors quote.
    explicit OptionScanner(const std::vector<std::string>& arguments);

    // Moves to the next argument; false after the last.
    bool Next();
    // The argument as given, and its option name: the part before "=" of
    // "--name=value", else the whole argument.
    const std::string& Argument() const { return (*arguments_)[at_]; }
    const std::string& Name() const { return name_; }
    bool Is(const char* name) const { return name_ == name; }
    // `name` written without "=value", as a switch is.
    bool Switch(const char* name) const { return !hasValue_ && name_ == name; }
    // --help, -h or /? without "=value".
    bool Help() const;

    // The option's value: after "=", else the next argument (taken, whatever
    // it is). False, with "NAME needs a `noun`" in `*error`, when there is
    // none or it is empty.
    bool Value(const char* noun, std::string* value, std::string* error);
    // An optional value (--watch [SECONDS]): after "=", else the next
    // argument when it is no option (taken). False when there is none.
    bool OptionalValue(std::string* value);
    // Always false, with "unknown option ARGUMENT of COMMAND" in `*error`,
    // or for an argument that is no option, "unexpected argument "ARGUMENT"
    // of COMMAND".
    bool Unexpected(std::string* error) const;

  private:
    const std::vector<std::string>* arguments_;
    std::size_t at_ = 0;
    std::string name_;
    std::string value_;
    bool hasValue_ = false;
};

// Sets `*target` to `value` unless it is set already: false, with "NAME
// given twice" in `*error`, then.
bool SetOnce(const std::string& name, const std::string& value, std::string* target,
             std::string* error);

// True when `text` ends in `end` (lower case), compared without regard to
// ASCII letter case.
bool EndsWithNoCase(const std::string& text, const std::string& end);

// Where the journal's commands (history, timeline) find the journal, and
// for which applications.
struct JournalChoice {
    std::string configPath;         // --config; empty: the config.xml beside zelkctl
    std::string journalFolder;      // --journal: the journal's folder itself
    std::vector<std::string> apps;  // --app, each time given; empty: every one
};

// Whether the scanner stands at --config, --journal or --app.
bool IsJournalOption(const OptionScanner& scan);
// Takes the `value` of the journal option `name` into `*choice`; false with
// `*error` set ("--config given twice").
bool TakeJournalOption(const std::string& name, const std::string& value, JournalChoice* choice,
                       std::string* error);
// True unless both `configPath` and `other` are set: then false, with
// "--config and OTHERNAME exclude each other" in `*error`.
bool ConfigExcludes(const std::string& configPath, const std::string& other, const char* otherName,
                    std::string* error);

// The check once every option is read: --config and --journal exclude each
// other. False with `*error` set.
bool CheckJournalChoice(const JournalChoice& choice, std::string* error);

// The journal's kinds as "a, b, c", for help texts and errors.
std::string KindList();

}  // namespace zelkctl
