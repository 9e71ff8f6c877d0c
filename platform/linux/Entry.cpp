// The process entry: main hands over to the program's WinMain. Linked into
// the executable only; test programs have their own main.

#include "platform/linux/ui/Resources.h"
#include "platform/Text.h"
#include "platform/linux/ui/UserInterface.h"
#include "platform/Win32.h"

#include <string>

namespace {

// The arguments after the program name as one command line, quoted where
// they hold blanks, in cp932.
std::string CommandLine(int argc, char** argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (!line.empty())
            line += ' ';
        std::string argument = platform::Utf8NameToCp932(argv[i]);
        if (argument.find_first_of(" \t") != std::string::npos || argument.empty())
            line += '"' + argument + '"';
        else
            line += argument;
    }
    return line;
}

}  // namespace

int main(int argc, char** argv)
{
    platform::SetApplicationArguments(argc, argv);
    HINSTANCE instance = platform::ModuleHandle(platform::ExecutableResources());
    platform::SetProcessModule(instance);
    std::string commandLine = CommandLine(argc, argv);
    int result = WinMain(instance, nullptr, commandLine.data(), SW_SHOWNORMAL);
    platform::EndUserInterface();
    // A program whose window could not be shown has failed, whatever it says.
    if (result == 0 && platform::UserInterfaceFailed())
        result = 1;
    return result;
}
