#pragma once

#include <string>

// Sets a terminal raw at 9600 baud, 8 data bits, no parity, one stop bit and
// no flow control. Returns false when fd is not a terminal or refuses.
bool SetRawLine(int fd);

// The line the unit listens on: a new pseudo-terminal, whose other end the
// program under test opens, or a serial device. Reads are non-blocking.
class CUnitLine {
public:
    CUnitLine() = default;
    ~CUnitLine();
    CUnitLine(const CUnitLine&) = delete;
    CUnitLine& operator=(const CUnitLine&) = delete;

    bool OpenPseudoTerminal(std::string& strError);
    bool OpenDevice(const std::string& strPath, std::string& strError);

    // After a hang-up. A device is closed and opened again, which fails while
    // it is gone (an adapter unplugged); a pseudo-terminal stays as it is.
    bool Reopen();

    // The descriptor to poll and read; -1 while a device is gone.
    int ReadFd() const { return m_hLine; }
    // On a pseudo-terminal, readable when others have closed the device; -1 else.
    int WatchFd() const { return m_hWatch; }
    // Takes what WatchFd has to tell. Once nobody else has the device open, an exclusive
    // claim still on it was left by a program that ended without letting go (killed,
    // crashed): it is dropped, else no program could open the device again while the unit
    // holds its end. True when a claim was dropped.
    bool DropLeftClaim();
    // The path the program under test opens.
    const std::string& Path() const { return m_strPath; }

private:
    void Close();

    int m_hLine = -1;
    // Our own descriptor of the pseudo-terminal's far end. While it is open
    // the near end never hangs up when the program closes the device, so the
    // unit keeps serving across reopens without polling a dead line. It takes
    // no lock and is opened before anyone can set TIOCEXCL, so a program that
    // holds the device exclusively can still open it.
    int m_hSlave = -1;
    // Closes of the device, from inotify.
    int m_hWatch = -1;
    std::string m_strPath;
    bool m_bPseudoTerminal = false;
};
