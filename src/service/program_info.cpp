#include "service/program_info.h"

#include "zelk/version.h"

std::string ProgramInfo(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "--version") {
            return std::string("ZELK_Daemon ") + kZelkVersion + "\n";
        }
        if (argument == "--help" || argument == "-h" || argument == "/?") {
            return std::string("ZELK_Daemon ") + kZelkVersion +
                   R"(: the supervisor of a trackside station's applications.

For each application named in config.xml, beside this program, it keeps a
connection on which the application sends its handshake and train messages;
an application that falls silent is terminated and launched again, and the
result files of each train are checked. It logs to ZELK_LOG beside it.

Run modes:
  service  started by the service manager as the service "ZELK_Daemon"
           (Windows), or by systemd as a notify service (Linux)
  console  started any other way: it runs until a key is pressed

It takes no other arguments: --help, -h and /? print this, --version the
version, and nothing is started.

zelkctl, beside it, shows what it watches (zelkctl status) and checks
config.xml (zelkctl check).
)";
        }
    }
    return std::string();
}
