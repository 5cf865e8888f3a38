// The writer when the driver cannot say whether a byte has left: the byte was handed over,
// so it must not go out twice. ioctl is replaced for this program alone to make TIOCOUTQ fail.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>

#include "Port.h"
#include "Pty.h"

namespace {

std::atomic<bool> g_outputQueueFails{false};

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    if (request == TIOCOUTQ && g_outputQueueFails.load()) {
        errno = EIO;
        return -1;
    }
    using Ioctl = int (*)(int, unsigned long, ...);
    static const auto real = reinterpret_cast<Ioctl>(::dlsym(RTLD_NEXT, "ioctl"));
    return real(fd, request, argument);
}

namespace {

using namespace std::chrono_literals;

TEST(OutputQueueFault, EachByteGoesOutOnceWhenTheQueueCannotBeRead) {
    Pty pty;
    CPort port([&](const std::u16string&) { return pty.Path(); });
    port.SetPort(u"PTY");
    int open = 0;
    port.IsOpen(&open);
    ASSERT_EQ(open, 1);
    g_outputQueueFails = true;
    ASSERT_EQ(port.Write("{A19"), 0);
    EXPECT_EQ(pty.Read(4, 5s), "{A19");
    EXPECT_EQ(pty.Read(1, 300ms), "");
    g_outputQueueFails = false;
}

}  // namespace
