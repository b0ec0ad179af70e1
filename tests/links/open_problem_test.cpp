// Why a serial device does not open: the cause and the fix named in the text, the errno classified,
// and a pseudo-terminal opened by a user without rights to it.
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "links/open_problem.h"
#include "links/serial_device.h"
#include "links/serial_listing.h"
#include "temp_folder.h"

namespace velmora {
namespace {

TEST(OpenProblem, TextNamesTheCauseAndTheFix) {
    struct TCase {
        TOpenProblem Problem;
        std::vector<std::string> Says;
        std::vector<std::string> DoesNotSay;
    };
    const TCase cases[] = {
        {{TOpenFault::NoPermission, "/dev/ttyUSB0", EACCES, "dialout", {}, false},
         {"/dev/ttyUSB0: нет прав", "группе dialout", "sudo usermod -aG dialout $USER",
          "60-velmora-ftdi.rules"},
         {"brltty"}},
        {{TOpenFault::NoPermission, "/dev/ttyUSB0", EACCES, "root", {}, false},
         {"нет прав", "60-velmora-ftdi.rules"},
         {"usermod"}},
        {{TOpenFault::Busy, "/dev/ttyUSB0", EWOULDBLOCK, "", {"brltty"}, true},
         {"занят программой brltty", "sudo systemctl stop brltty", "sudo systemctl mask brltty"},
         {}},
        {{TOpenFault::Busy, "/dev/ttyACM0", EBUSY, "", {"minicom", "velmora"}, false},
         {"/dev/ttyACM0: порт занят программой minicom, velmora; закройте её"},
         {"brltty"}},
        // Held by a process the user may not see, while brltty runs: brltty is the likely holder.
        {{TOpenFault::Busy, "/dev/ttyUSB0", EBUSY, "", {}, true},
         {"занят другой программой", "sudo systemctl stop brltty"},
         {}},
        {{TOpenFault::Busy, "/dev/ttyUSB0", EBUSY, "", {}, false},
         {"занят другой программой; закройте её"},
         {"brltty"}},
        {{TOpenFault::Missing, "/dev/ttyS9", ENOENT, "", {}, false},
         {"/dev/ttyS9: устройство не найдено; подключите адаптер или выберите другой порт"},
         {}},
        // brltty is known to take a USB adapter's device away right after it is plugged in.
        {{TOpenFault::Missing, "/dev/ttyUSB0", ENOENT, "", {}, true},
         {"устройство не найдено", "brltty"},
         {}},
        {{TOpenFault::NotSerial, "/dev/null", ENOTTY, "", {}, false},
         {"/dev/null: это не последовательный порт"},
         {}},
    };
    for (const TCase& c : cases) {
        const std::string text = OpenProblemText(c.Problem);
        for (const std::string& part : c.Says)
            EXPECT_NE(text.find(part), std::string::npos) << text << "\nlacks: " << part;
        for (const std::string& part : c.DoesNotSay)
            EXPECT_EQ(text.find(part), std::string::npos) << text << "\nshould not say: " << part;
    }
}

TEST(OpenProblem, ErrnoDecidesTheCause) {
    const std::tuple<int, bool, TOpenFault> cases[] = {
        {EACCES, false, TOpenFault::NoPermission}, {EPERM, false, TOpenFault::NoPermission},
        {EBUSY, false, TOpenFault::Busy},          {EWOULDBLOCK, true, TOpenFault::Busy},
        {ENOENT, false, TOpenFault::Missing},      {ENODEV, false, TOpenFault::Missing},
        {ENOTTY, false, TOpenFault::NotSerial},    {EIO, false, TOpenFault::Other},
    };
    for (const auto& [error, lockFailed, fault] : cases)
        EXPECT_EQ(DiagnoseOpenFailure("/dev/null", error, lockFailed).Fault, fault) << error;
}

// The slave side of a fresh pseudo-terminal; the master stays open for the test's life.
struct TPty {
    TPty() {
        Master = posix_openpt(O_RDWR | O_NOCTTY);
        if (Master >= 0 && grantpt(Master) == 0 && unlockpt(Master) == 0)
            SlavePath = ptsname(Master);
    }
    ~TPty() {
        if (Master >= 0)
            close(Master);
    }
    int Master = -1;
    std::string SlavePath;
};

std::string GroupName(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return {};
    const group* entry = getgrgid(info.st_gid);
    return entry ? entry->gr_name : std::to_string(info.st_gid);
}

// Opens `path` with OpenSerialDevice as the user "nobody" (when run as root, in a child process that
// drops its rights) or as this user after the device's rights were taken away; the error text.
std::string OpenWithoutRights(const std::string& path) {
    if (getuid() != 0) {
        chmod(path.c_str(), 0);
        std::string error;
        EXPECT_LT(OpenSerialDevice(path, error), 0);
        return error;
    }
    chmod(path.c_str(), 0660); // as a serial device: owner and group only
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        constexpr uid_t Nobody = 65534;
        std::string error = "could not become nobody";
        if (setgroups(0, nullptr) == 0 && setgid(Nobody) == 0 && setuid(Nobody) == 0) {
            error.clear();
            if (int fd = OpenSerialDevice(path, error); fd >= 0)
                error = "opened";
        }
        ssize_t written = write(pipeFds[1], error.data(), error.size());
        _exit(written == ssize_t(error.size()) ? 0 : 1);
    }
    close(pipeFds[1]);
    std::string error;
    char buffer[512];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        error.append(buffer, size_t(got));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return error;
}

TEST(OpenProblem, APseudoTerminalWithoutRightsNamesTheGroupAndTheFix) {
    TPty pty;
    ASSERT_FALSE(pty.SlavePath.empty());
    const std::string group = GroupName(pty.SlavePath);
    const std::string error = OpenWithoutRights(pty.SlavePath);
    EXPECT_NE(error.find(pty.SlavePath + ": нет прав"), std::string::npos) << error;
    if (group != "root") { // the fix is joining the device's group
        EXPECT_NE(error.find("usermod -aG " + group), std::string::npos) << error;
    }
}

TEST(OpenProblem, ProgramsHoldingADeviceAreFoundThroughItsLinks) {
    TPty pty;
    ASSERT_FALSE(pty.SlavePath.empty());
    EXPECT_TRUE(ProgramsHolding(pty.SlavePath).empty()) << "only the master side is open";
    testing::TTempFolder folder;
    const std::filesystem::path link = folder.Path() / "usb-Maker_Cable_A1-if00-port0";
    std::filesystem::create_symlink(pty.SlavePath, link);
    const int slave = open(pty.SlavePath.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    EXPECT_EQ(ProgramsHolding(link.string()), std::vector<std::string>{"links_tests"});
    close(slave);
    EXPECT_TRUE(ProgramsHolding("/no/such/device").empty());
}

TEST(SerialListing, StableNamesLeadToTheirDevices) {
    testing::TTempFolder folder;
    const std::filesystem::path ttyUsb0 = folder.WriteFile("dev/ttyUSB0", "");
    const std::filesystem::path ttyAcm0 = folder.WriteFile("dev/ttyACM0", "");
    std::filesystem::create_directories(folder.Path() / "by-id");
    std::filesystem::create_symlink("../dev/ttyUSB0", folder.Path() / "by-id/usb-FTDI_FT232R_A1-if00-port0");
    std::filesystem::create_symlink(ttyAcm0, folder.Path() / "by-id/usb-Maker_ELM327_B2-if00");
    std::filesystem::create_symlink("../dev/gone", folder.Path() / "by-id/usb-Unplugged-if00"); // dangling
    const std::string byId = (folder.Path() / "by-id").string();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {std::filesystem::canonical(ttyAcm0).string(), byId + "/usb-Maker_ELM327_B2-if00"},
        {std::filesystem::canonical(ttyUsb0).string(), byId + "/usb-FTDI_FT232R_A1-if00-port0"},
    };
    EXPECT_EQ(StableNames(byId), expected);
    EXPECT_TRUE(StableNames((folder.Path() / "none").string()).empty());
}

} // namespace
} // namespace velmora
