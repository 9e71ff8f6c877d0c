#include "tests/e2e/PlayerRun.h"

#include "tests/e2e/TestBank.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

PlayerRun::PlayerRun() : PlayerRun(SCRIPTED_PLAYER)
{}

PlayerRun::PlayerRun(const std::string& player)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "strumkey-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        return;
    folder = pattern;
    std::filesystem::copy_file(player, Executable());
    TestBank::Write(folder);
}

PlayerRun::~PlayerRun()
{
    for (ChildProcess* child : started) {
        child->Kill();
        delete child;
    }
    std::error_code ignored;
    if (!folder.empty())
        std::filesystem::remove_all(folder, ignored);
}

void PlayerRun::WriteSettings(const std::string& text) const
{
    std::ofstream(SettingsFile(), std::ios::binary) << text;
}

std::string PlayerRun::Settings() const
{
    std::ifstream in(SettingsFile(), std::ios::binary);
    if (!in)
        return "(none)";
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> PlayerRun::Environment(const std::string& outputFile) const
{
    std::vector<std::string> variables = TestBank::DiskAudio(outputFile, bufferFrames);
    variables.push_back("QT_QPA_PLATFORM=offscreen");
    for (const std::string& assignment : environment) {
        const std::string name = assignment.substr(0, assignment.find('=') + 1);
        std::erase_if(variables, [&name](const std::string& set) { return set.rfind(name, 0) == 0; });
        variables.push_back(assignment);
    }
    return variables;
}

std::vector<std::string> PlayerRun::CommandLine(const std::string& script) const
{
    std::vector<std::string> command = runUnder;
    command.push_back(Executable());
    command.push_back(script);
    return command;
}

std::string PlayerRun::WriteScript(const std::vector<std::string>& script)
{
    const std::string path = folder + "/script" + std::to_string(++scripts) + ".txt";
    std::ofstream out(path);
    for (const std::string& line : script)
        out << line << "\n";
    return path;
}

ProcessResult PlayerRun::Play(const std::vector<std::string>& script)
{
    ChildProcess child(CommandLine(WriteScript(script)), Environment(OutputFile()), {"DISPLAY", "WAYLAND_DISPLAY"});
    ProcessResult result = child.Finish();
    out = result.out;
    return result;
}

ChildProcess* PlayerRun::Start(const std::vector<std::string>& script, const std::string& outputFile)
{
    started.push_back(
        new ChildProcess(CommandLine(WriteScript(script)), Environment(outputFile), {"DISPLAY", "WAYLAND_DISPLAY"}));
    return started.back();
}

std::vector<std::string> PlayerRun::Lines(const std::string& prefix) const
{
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0)
            lines.push_back(line.substr(prefix.size()));
    return lines;
}

long PlayerRun::Mark(const std::string& name) const
{
    for (const std::string& line : Lines("mark " + name + " "))
        return std::stol(line);
    return -1;
}

std::string SettingsText(const std::vector<std::string>& lines)
{
    std::string text = "[Setting]\r\n";
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string SettingOf(const std::string& text, const std::string& key)
{
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    }
    return "";
}
