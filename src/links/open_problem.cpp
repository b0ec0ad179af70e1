#include "links/open_problem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

constexpr const char* Brltty = "brltty";

std::string GroupOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return {};
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(4096);
    if (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::to_string(info.st_gid);
    return found->gr_name;
}

// The pids in /proc.
std::vector<fs::path> ProcessFolders() {
    std::vector<fs::path> folders;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() &&
            std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            folders.push_back(entry.path());
    }
    return folders;
}

std::string CommandName(const fs::path& processFolder) {
    std::ifstream file(processFolder / "comm");
    std::string name;
    std::getline(file, name);
    return name;
}

std::string BrlttyHint() {
    return Translate("служба brltty (для брайлевских дисплеев) захватывает USB-адаптеры: остановите её "
                     "командой sudo systemctl stop brltty, а если брайлевский дисплей не нужен, отключите "
                     "(sudo systemctl mask brltty) или удалите пакет brltty");
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace

TOpenProblem DiagnoseOpenFailure(const std::string& path, int error, bool lockFailed) {
    TOpenProblem problem;
    problem.Path = path;
    problem.Error = error;
    if (lockFailed || error == EBUSY)
        problem.Fault = TOpenFault::Busy;
    else if (error == EACCES || error == EPERM)
        problem.Fault = TOpenFault::NoPermission;
    else if (error == ENOENT || error == ENODEV || error == ENXIO)
        problem.Fault = TOpenFault::Missing;
    else if (error == ENOTTY)
        problem.Fault = TOpenFault::NotSerial;
    if (problem.Fault == TOpenFault::NoPermission)
        problem.Group = GroupOf(path);
    if (problem.Fault == TOpenFault::Busy)
        problem.Holders = ProgramsHolding(path);
    if (problem.Fault == TOpenFault::Busy || problem.Fault == TOpenFault::Missing)
        problem.BrlttyRunning = ProgramRunning(Brltty);
    return problem;
}

std::string OpenProblemText(const TOpenProblem& problem) {
    const char* path = problem.Path.c_str();
    switch (problem.Fault) {
    case TOpenFault::NoPermission:
        if (problem.Group.empty() || problem.Group == "root")
            return TranslateFormat("%s: нет прав на доступ к порту; установите правило udev из пакета "
                                   "(60-velmora-ftdi.rules) или выдайте права на устройство",
                                   path);
        return TranslateFormat("%s: нет прав на доступ к порту (он принадлежит группе %s): выполните sudo "
                               "usermod -aG %s $USER и войдите в систему заново; для кабелей FTDI "
                               "достаточно правила udev из пакета (60-velmora-ftdi.rules)",
                               path, problem.Group.c_str(), problem.Group.c_str());
    case TOpenFault::Busy: {
        const bool brltty =
            std::find(problem.Holders.begin(), problem.Holders.end(), Brltty) != problem.Holders.end();
        if (brltty)
            return TranslateFormat("%s: порт занят программой %s", path, JoinNames(problem.Holders).c_str()) +
                   "; " + BrlttyHint();
        if (!problem.Holders.empty())
            return TranslateFormat("%s: порт занят программой %s; закройте её и попробуйте снова", path,
                                   JoinNames(problem.Holders).c_str());
        if (problem.BrlttyRunning)
            return TranslateFormat("%s: порт занят другой программой", path) + "; " + BrlttyHint();
        return TranslateFormat("%s: порт занят другой программой; закройте её и попробуйте снова", path);
    }
    case TOpenFault::Missing: {
        const std::string missing =
            TranslateFormat("%s: устройство не найдено; подключите адаптер или выберите другой порт", path);
        if (problem.BrlttyRunning && problem.Path.find("USB") != std::string::npos)
            return missing + "; " + BrlttyHint();
        return missing;
    }
    case TOpenFault::NotSerial:
        return TranslateFormat("%s: это не последовательный порт", path);
    case TOpenFault::Other:
        break;
    }
    return problem.Path + ": " + std::strerror(problem.Error);
}

std::vector<std::string> ProgramsHolding(const std::string& path) {
    std::error_code error;
    const fs::path device = fs::canonical(Utf8Path(path), error);
    if (error)
        return {};
    std::vector<std::string> names;
    for (const fs::path& process : ProcessFolders()) {
        for (const auto& fd : fs::directory_iterator(process / "fd", error)) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError) != device)
                continue;
            const std::string name = CommandName(process);
            if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
            break;
        }
    }
    return names;
}

bool ProgramRunning(const std::string& name) {
    const std::vector<fs::path> processes = ProcessFolders();
    return std::any_of(processes.begin(), processes.end(),
                       [&](const fs::path& process) { return CommandName(process) == name; });
}

} // namespace velmora
