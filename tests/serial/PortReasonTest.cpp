#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Port.h"
#include "PortReason.h"
#include "Pty.h"

namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The reason of each way an opening fails, in the words the operator reads.
TEST(PortReason, EachFailureSaysWhyAndWhatToDo) {
    const fs::path dir = fs::temp_directory_path() / ("tessora-why-" + std::to_string(::getpid()));
    fs::create_directories(dir / "folder");
    std::ofstream(dir / "file").close();
    Pty pty;
    CPort holder(MappedPortDevices({{u"COM1", pty.Path()}}));
    holder.SetPort(u"COM1");
    ASSERT_EQ(holder.State(), CPort::LineState::Live);

    struct Case {
        std::string device;
        std::errc reason;
        std::string hint;
    };
    const Case cases[] = {
        {(dir / "missing").string(), std::errc::no_such_file_or_directory, "[Ports] in my.conf"},
        {(dir / "file").string(), std::errc::no_such_device, "not a serial device"},
        {(dir / "folder").string(), std::errc::no_such_device, "not a serial device"},
        {"/dev/null", std::errc::inappropriate_io_control_operation, "not a serial device"},
        {pty.Path(), std::errc::device_or_resource_busy,
         "this program (" + std::to_string(::getpid())},
    };
    for (const Case& c : cases) {
        CPort port(MappedPortDevices({{u"COM1", c.device}}));
        port.SetPort(u"COM1");
        ASSERT_EQ(port.LastError(), c.reason) << c.device;
        const std::string why = DescribePortFailure(c.device, port.LastError(), "my.conf");
        EXPECT_EQ(why.rfind(c.device + ": ", 0), 0u) << why;
        EXPECT_TRUE(Has(why, c.hint)) << why;
        EXPECT_EQ(why.find('\n'), std::string::npos) << why;
    }

    // A name that maps to no device at all points at the settings as well.
    EXPECT_TRUE(
        Has(DescribePortFailure("", std::make_error_code(std::errc::no_such_device), "my.conf"),
            "[Ports] in my.conf"));
    fs::remove_all(dir);
}

TEST(PortReason, PermissionNamesTheGroupAndTheWayIn) {
    if (::geteuid() == 0) GTEST_SKIP() << "root opens any device";
    Pty pty;
    ASSERT_EQ(::chmod(pty.Path().c_str(), 0), 0);
    CPort port(MappedPortDevices({{u"COM1", pty.Path()}}));
    port.SetPort(u"COM1");
    ASSERT_EQ(port.LastError(), std::errc::permission_denied);
    const std::string why = DescribePortFailure(pty.Path(), port.LastError(), "my.conf");
    EXPECT_TRUE(Has(why, "sudo usermod -aG ")) << why;
    EXPECT_TRUE(Has(why, "log out and in")) << why;
}

// A sysfs and dev tree of our own: one USB adapter with a stable link, one on-board port
// that is really there, one legacy entry that is only a number in the kernel's table.
TEST(PortReason, TheListShowsRealDevicesWithTheirStablePaths) {
    const fs::path root =
        fs::temp_directory_path() / ("tessora-list-" + std::to_string(::getpid()));
    const fs::path sys = root / "sys", dev = root / "dev";
    const fs::path usb = sys / "devices/usb1/1-1";
    fs::create_directories(usb / "1-1:1.0/ttyUSB0");
    std::ofstream(usb / "product") << "FT232R USB UART\n";
    fs::create_directories(sys / "devices/platform/serial8250/tty/ttyS0");
    fs::create_directories(sys / "devices/platform/serial8250/tty/ttyS1");
    fs::create_directories(sys / "class/tty/ttyUSB0");
    fs::create_directories(sys / "class/tty/ttyS0");
    fs::create_directories(sys / "class/tty/ttyS1");
    fs::create_directories(sys / "class/tty/tty0");  // a console: no device behind it
    fs::create_directory_symlink(usb / "1-1:1.0", sys / "class/tty/ttyUSB0/device");
    fs::create_directory_symlink(sys / "devices/platform/serial8250",
                                 sys / "class/tty/ttyS0/device");
    fs::create_directory_symlink(sys / "devices/platform/serial8250",
                                 sys / "class/tty/ttyS1/device");
    std::ofstream(sys / "class/tty/ttyS0/port") << "0x3F8\n";
    std::ofstream(sys / "class/tty/ttyS1/port") << "0x0\n";
    fs::create_directories(dev / "serial/by-id");
    std::ofstream(dev / "ttyUSB0").close();
    std::ofstream(dev / "ttyS0").close();
    fs::create_symlink("../../ttyUSB0", dev / "serial/by-id/usb-FTDI_FT232R-if00-port0");

    const std::vector<SerialDevice> list = ListSerialDevices(sys.string(), dev.string());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].kernelPath, (dev / "ttyS0").string());
    EXPECT_EQ(list[0].path, list[0].kernelPath);
    EXPECT_EQ(list[1].kernelPath, (dev / "ttyUSB0").string());
    EXPECT_EQ(list[1].path, (dev / "serial/by-id/usb-FTDI_FT232R-if00-port0").string());
    EXPECT_EQ(list[1].description, "FT232R USB UART");
    EXPECT_TRUE(list[1].usable);
    const std::string line = FormatSerialDevice(list[1]);
    EXPECT_EQ(line, list[1].path + "  " + list[1].kernelPath + "  FT232R USB UART  may open");
    fs::remove_all(root);
}

}  // namespace
